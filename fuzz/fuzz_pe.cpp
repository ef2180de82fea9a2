// PE resource reader: the icon groups of an executable and each group's image.
#include "engine/IconResources.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const sq::icons::Bytes bytes(data, size);
    // What the loader reads of a large file: the headers' answer.
    (void)sq::icons::peResourceRange(bytes.first(std::min<size_t>(size, 65536)));
    const auto groups = sq::icons::readPeIconGroups(bytes);
    const size_t n = std::min<size_t>(groups.groups.size(), 4);
    for (size_t k = 0; k < n; ++k)
        (void)sq::icons::readPeIcon(bytes, int(k));
    return 0;
}
