#include "engine/IconResources.h"

#include <QPainter>

#include <algorithm>
#include <optional>

namespace sq::icons {

namespace {

// Little-endian reads that fail instead of reading past the end.
struct Reader
{
    Bytes bytes;

    bool has(size_t offset, size_t count) const
    {
        return offset <= bytes.size() && count <= bytes.size() - offset;
    }
    std::optional<uint8_t> u8(size_t at) const
    {
        if (!has(at, 1))
            return std::nullopt;
        return bytes[at];
    }
    std::optional<uint16_t> u16(size_t at) const
    {
        if (!has(at, 2))
            return std::nullopt;
        return uint16_t(bytes[at] | bytes[at + 1] << 8);
    }
    std::optional<uint32_t> u32(size_t at) const
    {
        if (!has(at, 4))
            return std::nullopt;
        return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
               uint32_t(bytes[at + 3]) << 24;
    }
    std::optional<int32_t> i32(size_t at) const
    {
        auto v = u32(at);
        if (!v)
            return std::nullopt;
        return int32_t(*v);
    }
    Bytes sub(size_t offset, size_t count) const
    {
        if (!has(offset, count))
            return {};
        return bytes.subspan(offset, count);
    }
};

bool startsWith(Bytes b, const char* magic, size_t n)
{
    return b.size() >= n && std::equal(b.begin(), b.begin() + n, reinterpret_cast<const uint8_t*>(magic));
}

QImage decodePng(Bytes png)
{
    // IHDR must come first; its size is checked before libpng allocates rows.
    if (png.size() < 24 || !startsWith(png, "\x89PNG\r\n\x1a\n", 8) ||
        !startsWith(png.subspan(12), "IHDR", 4))
        return {};
    auto be32 = [&](size_t at) -> uint32_t {
        return uint32_t(png[at]) << 24 | uint32_t(png[at + 1]) << 16 | uint32_t(png[at + 2]) << 8 | png[at + 3];
    };
    const uint32_t w = be32(16), h = be32(20);
    if (w == 0 || h == 0 || w > kMaxIconSide || h > kMaxIconSide)
        return {};
    QImage image = QImage::fromData(png.data(), int(png.size()), "PNG");
    if (image.isNull() || image.width() != int(w) || image.height() != int(h))
        return {};
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage decodeDib(Bytes dib)
{
    Reader r{dib};
    const auto headerSize = r.u32(0);
    const auto width = r.i32(4), height = r.i32(8);
    const auto planes = r.u16(12), bitCount = r.u16(14);
    const auto compression = r.u32(16), clrUsed = r.u32(32);
    if (!headerSize || !clrUsed || *headerSize < 40 || !r.has(0, *headerSize))
        return {};
    // The height covers the colour bits and the AND mask; a negative (top-down)
    // height is not allowed in icons.
    if (*width <= 0 || *width > kMaxIconSide || *height <= 0 || *height > 2 * kMaxIconSide ||
        *planes > 1)
        return {};
    const int w = *width;
    const int h = *height / 2;
    if (h <= 0)
        return {};
    const int bpp = *bitCount;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
        return {};
    if (*compression != 0 && !(*compression == 3 && bpp == 32))
        return {};

    size_t colours = 0;
    if (bpp <= 8) {
        colours = *clrUsed ? *clrUsed : (1u << bpp);
        if (colours > (1u << bpp))
            return {};
    }
    size_t at = *headerSize;
    // BI_BITFIELDS with a plain 40-byte header keeps three masks after it;
    // icons use only the standard BGRA layout, so they are skipped, not used.
    if (*compression == 3 && *headerSize == 40)
        at += 12;
    const size_t paletteAt = at;
    at += colours * 4;
    const size_t xorStride = (size_t(w) * bpp + 31) / 32 * 4;
    const size_t andStride = (size_t(w) + 31) / 32 * 4;
    const size_t xorAt = at;
    const size_t andAt = xorAt + xorStride * h;
    if (!r.has(paletteAt, colours * 4) || !r.has(xorAt, xorStride * h))
        return {};
    // Some writers leave the mask out of 32-bit images; the alpha carries it.
    const bool hasMask = r.has(andAt, andStride * h);
    if (!hasMask && bpp != 32)
        return {};

    std::vector<QRgb> palette(colours);
    for (size_t i = 0; i < colours; ++i) {
        const uint8_t* p = dib.data() + paletteAt + 4 * i;
        palette[i] = qRgb(p[2], p[1], p[0]);
    }

    QImage image(w, h, QImage::Format_ARGB32);
    if (image.isNull())
        return {};
    bool anyAlpha = false;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = dib.data() + xorAt + xorStride * (h - 1 - y);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            QRgb c;
            switch (bpp) {
            case 1:
            case 4:
            case 8: {
                const int perByte = 8 / bpp;
                const int shift = 8 - bpp * (1 + x % perByte);
                const size_t index = (row[x / perByte] >> shift) & ((1 << bpp) - 1);
                c = index < palette.size() ? palette[index] : qRgb(0, 0, 0);
                break;
            }
            case 24:
                c = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]);
                break;
            default:
                c = qRgba(row[4 * x + 2], row[4 * x + 1], row[4 * x], row[4 * x + 3]);
                anyAlpha = anyAlpha || row[4 * x + 3] != 0;
                break;
            }
            out[x] = c;
        }
    }
    // A 32-bit image with any alpha uses it; otherwise the AND mask decides:
    // a set bit is a transparent pixel.
    if (bpp != 32 || !anyAlpha) {
        for (int y = 0; y < h; ++y) {
            auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
            const uint8_t* mask = hasMask ? dib.data() + andAt + andStride * (h - 1 - y) : nullptr;
            for (int x = 0; x < w; ++x) {
                const bool transparent = mask && (mask[x / 8] >> (7 - x % 8)) & 1;
                out[x] = transparent ? qRgba(0, 0, 0, 0) : (out[x] | 0xFF000000u);
            }
        }
    }
    return image;
}

// Entries of an ICO/CUR file (16 bytes each) or of a resource group (14 bytes
// each, an RT_ICON id in place of the offset).
std::vector<IconEntry> readEntries(Reader r, bool group)
{
    const auto reserved = r.u16(0), type = r.u16(2), count = r.u16(4);
    if (!reserved || *reserved != 0 || (*type != 1 && *type != 2) || *count == 0 ||
        *count > kMaxIconEntries)
        return {};
    const size_t entrySize = group ? 14 : 16;
    if (!r.has(6, entrySize * *count))
        return {};
    std::vector<IconEntry> entries;
    entries.reserve(*count);
    for (size_t i = 0; i < *count; ++i) {
        const size_t at = 6 + i * entrySize;
        IconEntry e;
        e.width = *r.u8(at) ? *r.u8(at) : 256;
        e.height = *r.u8(at + 1) ? *r.u8(at + 1) : 256;
        // In cursors these two words are the hotspot, not planes and depth.
        e.bitCount = *type == 1 ? *r.u16(at + 6) : 0;
        e.bytes = *r.u32(at + 8);
        if (group) {
            e.id = *r.u16(at + 12);
        } else {
            e.offset = *r.u32(at + 12);
            if (e.bytes == 0 || !r.has(e.offset, e.bytes))
                return {};
        }
        entries.push_back(e);
    }
    return entries;
}

QImage decodeIcoAt(Bytes file, int side)
{
    const auto entries = readIconDirectory(file);
    const int k = chooseIconEntry(entries, side);
    if (k < 0)
        return {};
    return decodeIconImage(file.subspan(entries[k].offset, entries[k].bytes));
}

} // namespace

std::vector<IconEntry> readIconDirectory(Bytes file)
{
    return readEntries(Reader{file}, false);
}

int chooseIconEntry(const std::vector<IconEntry>& entries, int side)
{
    int best = -1;
    auto better = [&](const IconEntry& a, const IconEntry& b) {
        // Distance: an exact fit first, then larger ones nearest first, then
        // smaller ones largest first.
        auto rank = [&](const IconEntry& e) {
            const int s = std::max(e.width, e.height);
            if (e.width == side && e.height == side)
                return 0;
            return s > side ? s - side : 100000 + (side - s);
        };
        if (rank(a) != rank(b))
            return rank(a) < rank(b);
        return a.bitCount > b.bitCount;
    };
    for (size_t i = 0; i < entries.size(); ++i)
        if (best < 0 || better(entries[i], entries[best]))
            best = int(i);
    return best;
}

QImage decodeIconImage(Bytes image)
{
    if (startsWith(image, "\x89PNG", 4))
        return decodePng(image);
    return decodeDib(image);
}

QImage readIconFile(Bytes file, int side)
{
    return decodeIcoAt(file, side);
}

QImage readAniFirstFrame(Bytes file, int side)
{
    Reader r{file};
    if (!startsWith(file, "RIFF", 4) || !startsWith(file.subspan(std::min<size_t>(8, file.size())), "ACON", 4))
        return {};
    const auto riffSize = r.u32(4);
    if (!riffSize)
        return {};
    const size_t end = std::min<size_t>(file.size(), size_t(*riffSize) + 8);

    std::vector<Bytes> frames;
    std::optional<uint32_t> firstStep;
    bool framesAreIcons = true;
    // Walks the chunks of [from, to); descends into the LIST "fram" once.
    auto walk = [&](auto&& self, size_t from, size_t to, bool inFrames) -> void {
        size_t at = from;
        while (at + 8 <= to) {
            const Bytes id = file.subspan(at, 4);
            const uint32_t size = *r.u32(at + 4);
            const size_t body = at + 8;
            if (size > to - body)
                return; // a chunk that runs past its parent ends the walk
            if (inFrames) {
                if (startsWith(id, "icon", 4) && frames.size() < size_t(kMaxIconEntries))
                    frames.push_back(file.subspan(body, size));
            } else if (startsWith(id, "anih", 4) && size >= 36) {
                framesAreIcons = (*r.u32(body + 32) & 1) != 0;
            } else if (startsWith(id, "seq ", 4) && size >= 4) {
                firstStep = *r.u32(body);
            } else if (startsWith(id, "LIST", 4) && size >= 4 &&
                       startsWith(file.subspan(body), "fram", 4)) {
                self(self, body + 4, body + size, true);
            }
            at = body + size + (size & 1);
        }
    };
    walk(walk, 12, end, false);
    if (frames.empty())
        return {};
    const size_t k = firstStep && *firstStep < frames.size() ? *firstStep : 0;
    // Without the icon flag a frame is a bare DIB (with its mask).
    return framesAreIcons ? decodeIcoAt(frames[k], side) : decodeIconImage(frames[k]);
}

namespace {

constexpr uint32_t kRtIcon = 3;
constexpr uint32_t kRtGroupIcon = 14;
// Resource trees have three levels; more entries than this in one directory
// is damage.
constexpr uint32_t kMaxDirEntries = 4096;

struct ResourceData
{
    uint32_t id = 0;
    Bytes data;
};

struct PeResources
{
    bool valid = false;
    std::vector<Bytes> groups;
    std::vector<ResourceData> icons;
};

// Where the section table and the resource table are, from the headers.
struct PeLayout
{
    size_t sectionsAt = 0;
    uint16_t sections = 0;
    uint32_t rsrcRva = 0;
    uint32_t rsrcSize = 0;
};

// Empty when the bytes do not start with readable PE headers; a layout with
// rsrcRva 0 when the file has no resource table.
std::optional<PeLayout> readPeLayout(Bytes file)
{
    Reader r{file};
    if (!startsWith(file, "MZ", 2)) return std::nullopt;
    const auto peAt = r.u32(0x3C);
    if (!peAt || !r.has(*peAt, 24) || !startsWith(file.subspan(*peAt), "PE\0\0", 4))
        return std::nullopt;
    const size_t coff = *peAt + 4;
    PeLayout layout;
    layout.sections = *r.u16(coff + 2);
    const uint16_t optSize = *r.u16(coff + 16);
    const size_t opt = coff + 20;
    const auto magic = r.u16(opt);
    if (!magic || !r.has(opt, optSize)) return std::nullopt;
    size_t dirCountAt, dirsAt;
    if (*magic == 0x10B) {
        dirCountAt = opt + 92;
        dirsAt = opt + 96;
    } else if (*magic == 0x20B) {
        dirCountAt = opt + 108;
        dirsAt = opt + 112;
    } else {
        return std::nullopt;
    }
    layout.sectionsAt = opt + optSize;
    if (dirCountAt + 4 > layout.sectionsAt ||
        !r.has(layout.sectionsAt, size_t(layout.sections) * 40))
        return std::nullopt;
    const uint32_t dirCount = *r.u32(dirCountAt);
    // Data directory 2 is the resource table.
    if (dirCount < 3 || dirsAt + 3 * 8 > layout.sectionsAt) return layout;
    layout.rsrcRva = *r.u32(dirsAt + 16);
    layout.rsrcSize = *r.u32(dirsAt + 20);
    if (layout.rsrcSize == 0) layout.rsrcRva = 0;
    return layout;
}

PeResources readResources(Bytes file)
{
    PeResources out;
    Reader r{file};
    const std::optional<PeLayout> layout = readPeLayout(file);
    if (!layout) return out;
    out.valid = true;
    const size_t sectionsAt = layout->sectionsAt;
    const uint16_t sections = layout->sections;
    const uint32_t rsrcRva = layout->rsrcRva;
    const uint32_t rsrcSize = layout->rsrcSize;
    if (rsrcRva == 0) return out;

    // An RVA becomes a file offset through the section that holds it.
    auto toOffset = [&](uint32_t rva, uint32_t size) -> std::optional<size_t> {
        for (size_t i = 0; i < sections; ++i) {
            const size_t s = sectionsAt + i * 40;
            const uint32_t vsize = *r.u32(s + 8), va = *r.u32(s + 12);
            const uint32_t rawSize = *r.u32(s + 16), raw = *r.u32(s + 20);
            const uint32_t span = std::max(vsize, rawSize);
            if (rva >= va && rva - va < span) {
                const uint64_t within = rva - va;
                if (within + size > rawSize)
                    return std::nullopt; // the part not in the file is no icon
                const uint64_t offset = uint64_t(raw) + within;
                if (!r.has(offset, size))
                    return std::nullopt;
                return size_t(offset);
            }
        }
        return std::nullopt;
    };
    // The resource table is read as one span so that every offset in it is
    // checked against its own size.
    uint32_t tableSize = rsrcSize;
    std::optional<size_t> tableAt = toOffset(rsrcRva, tableSize);
    if (!tableAt) {
        // Linkers often round the directory size up past the raw data.
        tableSize = 16;
        tableAt = toOffset(rsrcRva, tableSize);
        if (!tableAt)
            return out;
        const size_t available = file.size() - *tableAt;
        tableSize = uint32_t(std::min<size_t>(available, rsrcSize));
    }
    Reader table{file.subspan(*tableAt, tableSize)};

    struct DirEntry
    {
        uint32_t id;
        bool named;
        bool isDir;
        uint32_t offset;
    };
    auto readDir = [&](uint32_t at) {
        std::vector<DirEntry> entries;
        const auto named = table.u16(at + 12), ids = table.u16(at + 14);
        if (!named || !ids)
            return entries;
        const uint32_t n = uint32_t(*named) + *ids;
        if (n > kMaxDirEntries || !table.has(at + 16, size_t(n) * 8))
            return entries;
        for (uint32_t i = 0; i < n; ++i) {
            const uint32_t name = *table.u32(at + 16 + 8 * i);
            const uint32_t off = *table.u32(at + 20 + 8 * i);
            entries.push_back({name & 0x7FFFFFFF, (name & 0x80000000u) != 0,
                               (off & 0x80000000u) != 0, off & 0x7FFFFFFF});
        }
        return entries;
    };
    // The first data entry under a name (the first language).
    auto firstData = [&](const DirEntry& e) -> Bytes {
        DirEntry cur = e;
        for (int depth = 0; depth < 2 && cur.isDir; ++depth) {
            const auto sub = readDir(cur.offset);
            if (sub.empty())
                return {};
            cur = sub.front();
        }
        if (cur.isDir)
            return {};
        const auto rva = table.u32(cur.offset), size = table.u32(cur.offset + 4);
        if (!rva || !size || *size == 0)
            return {};
        const auto at = toOffset(*rva, *size);
        if (!at)
            return {};
        return file.subspan(*at, *size);
    };

    for (const DirEntry& type : readDir(0)) {
        if (type.named || !type.isDir || (type.id != kRtIcon && type.id != kRtGroupIcon))
            continue;
        for (const DirEntry& name : readDir(type.offset)) {
            const Bytes data = firstData(name);
            if (type.id == kRtGroupIcon) {
                // A group whose data cannot be read still counts: the shell
                // counts it, and drawing it falls back to the file's icon.
                if (out.groups.size() < kMaxDirEntries)
                    out.groups.push_back(data);
            } else if (!name.named && !data.empty()) {
                out.icons.push_back({name.id, data});
            }
        }
    }
    return out;
}

} // namespace

std::optional<FileRange> peResourceRange(Bytes head)
{
    const std::optional<PeLayout> layout = readPeLayout(head);
    if (!layout || layout->rsrcRva == 0) return std::nullopt;
    const Reader r{head};
    for (size_t i = 0; i < layout->sections; ++i) {
        const size_t s = layout->sectionsAt + i * 40;
        const uint32_t vsize = *r.u32(s + 8), va = *r.u32(s + 12);
        const uint32_t rawSize = *r.u32(s + 16), raw = *r.u32(s + 20);
        if (layout->rsrcRva >= va && layout->rsrcRva - va < std::max(vsize, rawSize))
            return FileRange{raw, rawSize};
    }
    return std::nullopt;
}

PeIconGroups readPeIconGroups(Bytes file)
{
    const PeResources res = readResources(file);
    PeIconGroups out;
    out.valid = res.valid;
    for (const Bytes& g : res.groups)
        out.groups.push_back(readEntries(Reader{g}, true));
    return out;
}

QImage readPeIcon(Bytes file, int group, int side)
{
    const PeResources res = readResources(file);
    if (group < 0 || size_t(group) >= res.groups.size())
        return {};
    const auto entries = readEntries(Reader{res.groups[group]}, true);
    // Entries whose RT_ICON is missing are passed over for the next best.
    std::vector<IconEntry> present;
    std::vector<Bytes> data;
    for (const IconEntry& e : entries) {
        auto it = std::find_if(res.icons.begin(), res.icons.end(),
                               [&](const ResourceData& d) { return d.id == e.id; });
        if (it != res.icons.end()) {
            present.push_back(e);
            data.push_back(it->data);
        }
    }
    const int k = chooseIconEntry(present, side);
    if (k < 0)
        return {};
    return decodeIconImage(data[k]);
}

} // namespace sq::icons
