// ICO/CUR reader: the directory, the choice of image and its decoding (DIB
// with AND mask, or PNG).
#include "engine/IconResources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const sq::icons::Bytes bytes(data, size);
    (void)sq::icons::readIconFile(bytes);
    // The bare image decoder too, as ANI frames without the icon flag use it.
    (void)sq::icons::decodeIconImage(bytes);
    return 0;
}
