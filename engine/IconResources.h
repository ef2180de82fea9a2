// Readers of the icons that files carry themselves: ICO and CUR files, the
// first frame of ANI animated cursors and the RT_GROUP_ICON resources of PE
// executables and libraries. Used by the engine's icon drawing and by the
// fuzz targets. Pure functions over a byte span, safe on any thread.
#pragma once

#include <QImage>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace sq::icons {

using Bytes = std::span<const uint8_t>;

// No real icon is larger than 256 x 256; PNG-compressed ones may be, but a
// side beyond this is taken as damage rather than decoded.
constexpr int kMaxIconSide = 1024;
// Directories with more entries than this are not icons but damage.
constexpr int kMaxIconEntries = 512;
// The large icon size of the desktop: what an icon is drawn at.
constexpr int kLargeIconSide = 32;

// One image of an icon directory (file form or resource-group form).
struct IconEntry
{
    int width = 0; // 0 in the file means 256
    int height = 0;
    int bitCount = 0;
    uint32_t bytes = 0;
    uint32_t offset = 0; // ICO/CUR files: where the image starts
    uint16_t id = 0;     // resource groups: the RT_ICON id of the image
};

// The directory of an ICO (type 1) or CUR (type 2) file. Empty when the bytes
// are not one, or an entry's image lies outside the file.
std::vector<IconEntry> readIconDirectory(Bytes file);

// The entry to draw at side x side: an exact match of the highest colour depth,
// else the smallest larger one (shrunk looks better than grown), else the
// largest. -1 for an empty list.
int chooseIconEntry(const std::vector<IconEntry>& entries, int side = kLargeIconSide);

// One icon image: a PNG stream or a DIB (BITMAPINFOHEADER, colour bits, then
// the AND mask) as ARGB32 with the mask applied. Null when damaged.
QImage decodeIconImage(Bytes image);

// The image of an ICO or CUR file that best fits side x side, at its own size.
// A cursor's hotspot plays no part in drawing it. Null when damaged.
QImage readIconFile(Bytes file, int side = kLargeIconSide);

// The first frame of an ANI file (RIFF "ACON"): the frame its sequence shows
// first, else its first "icon" chunk. Null when damaged or absent.
QImage readAniFirstFrame(Bytes file, int side = kLargeIconSide);

// The icon groups of a PE file, in resource directory order.
struct PeIconGroups
{
    bool valid = false; // a PE file whose headers could be read
    std::vector<std::vector<IconEntry>> groups;
};
PeIconGroups readPeIconGroups(Bytes file);

// The file range of the section holding the resource table, from the first
// bytes of a PE file (its headers): what must be read of a large file for
// its icons. Empty when the headers are not readable or there is no table.
struct FileRange
{
    uint64_t offset = 0;
    uint64_t size = 0;
};
std::optional<FileRange> peResourceRange(Bytes head);

// The image of group `group` (0 = first) that best fits side x side. Null when
// there is no such group or its image is damaged.
QImage readPeIcon(Bytes file, int group, int side = kLargeIconSide);

} // namespace sq::icons
