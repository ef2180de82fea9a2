// ANI reader: RIFF chunks, the "fram" list and the first frame's icon.
#include "engine/IconResources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    (void)sq::icons::readAniFirstFrame(sq::icons::Bytes(data, size));
    return 0;
}
