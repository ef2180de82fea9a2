// The favourites and settings files: any bytes decode to lines, and the
// lines written back decode to the same lines (so a path that is not text
// keeps its bytes).
#include "engine/TextLines.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList lines = sq::decodePathLines(bytes);
    if (sq::decodePathLines(sq::joinPathLinesCrLf(lines)) != lines) std::abort();
    const QStringList kept = sq::decodeLineBytes(bytes);
    if (sq::decodeLineBytes(sq::joinLinesCrLf(kept)) != kept) std::abort();
    return 0;
}
