#include "tests/support/IconFiles.h"

#include <QBuffer>
#include <QImage>
#include <QtEndian>

namespace sq::test {

namespace {

void put16(QByteArray& b, quint16 v)
{
    char d[2];
    qToLittleEndian(v, d);
    b.append(d, 2);
}
void put32(QByteArray& b, quint32 v)
{
    char d[4];
    qToLittleEndian(v, d);
    b.append(d, 4);
}
void set32(QByteArray& b, int at, quint32 v)
{
    qToLittleEndian(v, b.data() + at);
}
void set16(QByteArray& b, int at, quint16 v)
{
    qToLittleEndian(v, b.data() + at);
}
void align(QByteArray& b, int to)
{
    while (b.size() % to)
        b.append('\0');
}

bool transparentAt(int x, int y, int side)
{
    return x < side / 2 && y < side / 2;
}

} // namespace

QByteArray makeIconImage(const IconImageDesc& desc)
{
    const int side = desc.side;
    if (desc.bitCount == 0) {
        QImage image(side, side, QImage::Format_ARGB32);
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                image.setPixel(x, y, transparentAt(x, y, side) ? 0 : desc.colour.rgba());
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return png;
    }
    const int bpp = desc.bitCount;
    QByteArray b;
    put32(b, 40);
    put32(b, side);
    put32(b, 2 * side);
    put16(b, 1);
    put16(b, bpp);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    // Palette images: entry 0 black, entry 1 the colour (and the rest grey).
    if (bpp <= 8) {
        for (int i = 0; i < (1 << bpp); ++i) {
            const QColor c = i == 0 ? QColor(Qt::black) : i == 1 ? desc.colour : QColor(Qt::gray);
            b.append(char(c.blue())).append(char(c.green())).append(char(c.red())).append('\0');
        }
    }
    const int stride = (side * bpp + 31) / 32 * 4;
    for (int row = side - 1; row >= 0; --row) { // bottom-up
        QByteArray line(stride, '\0');
        for (int x = 0; x < side; ++x) {
            const bool clear = transparentAt(x, row, side);
            switch (bpp) {
            case 1:
                if (!clear)
                    line[x / 8] = char(line[x / 8] | (0x80 >> (x % 8)));
                break;
            case 4:
                if (!clear)
                    line[x / 2] = char(line[x / 2] | (x % 2 ? 0x01 : 0x10));
                break;
            case 8:
                line[x] = clear ? 0 : 1;
                break;
            case 24:
                line[3 * x] = char(desc.colour.blue());
                line[3 * x + 1] = char(desc.colour.green());
                line[3 * x + 2] = char(desc.colour.red());
                break;
            default:
                line[4 * x] = char(desc.colour.blue());
                line[4 * x + 1] = char(desc.colour.green());
                line[4 * x + 2] = char(desc.colour.red());
                line[4 * x + 3] = char(clear ? 0 : 255);
                break;
            }
        }
        b.append(line);
    }
    const int maskStride = (side + 31) / 32 * 4;
    for (int row = side - 1; row >= 0; --row) {
        QByteArray line(maskStride, '\0');
        for (int x = 0; x < side; ++x)
            if (transparentAt(x, row, side))
                line[x / 8] = char(line[x / 8] | (0x80 >> (x % 8)));
        b.append(line);
    }
    return b;
}

QByteArray makeIcoFile(const QList<IconImageDesc>& images, bool cursor)
{
    QByteArray b;
    put16(b, 0);
    put16(b, cursor ? 2 : 1);
    put16(b, quint16(images.size()));
    QList<QByteArray> data;
    for (const auto& desc : images)
        data.append(makeIconImage(desc));
    quint32 offset = 6 + 16 * images.size();
    for (int i = 0; i < images.size(); ++i) {
        const int side = images[i].side;
        b.append(char(side >= 256 ? 0 : side)).append(char(side >= 256 ? 0 : side));
        b.append('\0').append('\0');
        put16(b, cursor ? quint16(side / 2) : 1); // hotspot x, or planes
        put16(b, cursor ? quint16(side / 3) : quint16(images[i].bitCount ? images[i].bitCount : 32));
        put32(b, quint32(data[i].size()));
        put32(b, offset);
        offset += data[i].size();
    }
    for (const auto& d : data)
        b.append(d);
    return b;
}

QByteArray makeAniFile(const QList<QByteArray>& frames, const QList<quint32>& sequence)
{
    auto chunk = [](const char* id, const QByteArray& body) {
        QByteArray c(id, 4);
        put32(c, quint32(body.size()));
        c.append(body);
        align(c, 2);
        return c;
    };
    QByteArray anih;
    put32(anih, 36);
    put32(anih, quint32(frames.size()));
    put32(anih, quint32(sequence.isEmpty() ? frames.size() : sequence.size()));
    for (int i = 0; i < 4; ++i)
        put32(anih, 0); // size and depth unused for icon frames
    put32(anih, 10);    // display rate in jiffies
    put32(anih, sequence.isEmpty() ? 1 : 3); // AF_ICON, AF_SEQUENCE
    QByteArray body("ACON", 4);
    body.append(chunk("anih", anih));
    if (!sequence.isEmpty()) {
        QByteArray seq;
        for (quint32 s : sequence)
            put32(seq, s);
        body.append(chunk("seq ", seq));
    }
    QByteArray fram("fram", 4);
    for (const auto& f : frames)
        fram.append(chunk("icon", f));
    body.append(chunk("LIST", fram));
    QByteArray riff("RIFF", 4);
    put32(riff, quint32(body.size()));
    return riff + body;
}

namespace {

constexpr quint32 kSectionRva = 0x1000;
constexpr quint32 kFileAlign = 0x200;

// Headers of a PE with one section; rsrc may be empty (no resource table).
QByteArray peWithSection(const QByteArray& rsrc, bool pe32plus)
{
    QByteArray b(0x40, '\0');
    b[0] = 'M';
    b[1] = 'Z';
    set32(b, 0x3C, 0x40);
    b.append("PE\0\0", 4);
    const quint16 optSize = pe32plus ? 240 : 224;
    put16(b, pe32plus ? 0x8664 : 0x14C);
    put16(b, rsrc.isEmpty() ? 0 : 1);
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put16(b, optSize);
    put16(b, 0x0102);
    const int opt = b.size();
    b.append(QByteArray(optSize, '\0'));
    set16(b, opt, pe32plus ? 0x20B : 0x10B);
    const int dirCountAt = opt + (pe32plus ? 108 : 92);
    set32(b, dirCountAt, 16);
    const quint32 rawSize = quint32((rsrc.size() + kFileAlign - 1) / kFileAlign * kFileAlign);
    if (!rsrc.isEmpty()) {
        set32(b, dirCountAt + 4 + 2 * 8, kSectionRva);
        set32(b, dirCountAt + 4 + 2 * 8 + 4, quint32(rsrc.size()));
        QByteArray section(".rsrc\0\0\0", 8);
        put32(section, quint32(rsrc.size()));
        put32(section, kSectionRva);
        put32(section, rawSize);
        put32(section, kFileAlign);
        section.append(QByteArray(12, '\0'));
        put32(section, 0x40000040);
        b.append(section);
    }
    b.append(QByteArray(kFileAlign - b.size(), '\0'));
    QByteArray raw = rsrc;
    raw.append(QByteArray(rawSize - rsrc.size(), '\0'));
    return b + raw;
}

} // namespace

QByteArray makePeFile(const QList<QList<IconImageDesc>>& groups, bool pe32plus)
{
    // Resources: RT_ICON ids 1..n, RT_GROUP_ICON ids 101.. in group order.
    struct Res
    {
        quint32 id;
        QByteArray data;
    };
    QList<Res> icons, groupRes;
    quint16 nextId = 1;
    for (int g = 0; g < groups.size(); ++g) {
        QByteArray dir;
        put16(dir, 0);
        put16(dir, 1);
        put16(dir, quint16(groups[g].size()));
        for (const auto& desc : groups[g]) {
            const QByteArray image = makeIconImage(desc);
            dir.append(char(desc.side >= 256 ? 0 : desc.side))
                .append(char(desc.side >= 256 ? 0 : desc.side));
            dir.append('\0').append('\0');
            put16(dir, 1);
            put16(dir, quint16(desc.bitCount ? desc.bitCount : 32));
            put32(dir, quint32(image.size()));
            put16(dir, nextId);
            icons.append({nextId, image});
            ++nextId;
        }
        groupRes.append({quint32(101 + g), dir});
    }
    const QList<QPair<quint32, QList<Res>>> types = {{3, icons}, {14, groupRes}};

    // Layout: root, one name directory per type, one language directory per
    // resource, the data entries, then the data.
    int at = 16 + 8 * types.size();
    QList<int> nameDirAt;
    for (const auto& t : types) {
        nameDirAt.append(at);
        at += 16 + 8 * t.second.size();
    }
    QList<QList<int>> langDirAt(types.size());
    for (int t = 0; t < types.size(); ++t)
        for (int i = 0; i < types[t].second.size(); ++i) {
            langDirAt[t].append(at);
            at += 16 + 8;
        }
    QList<QList<int>> dataEntryAt(types.size());
    for (int t = 0; t < types.size(); ++t)
        for (int i = 0; i < types[t].second.size(); ++i) {
            dataEntryAt[t].append(at);
            at += 16;
        }
    QByteArray r(at, '\0');
    auto dir = [&](int pos, int ids) { set16(r, pos + 14, quint16(ids)); };
    dir(0, types.size());
    for (int t = 0; t < types.size(); ++t) {
        set32(r, 16 + 8 * t, types[t].first);
        set32(r, 20 + 8 * t, 0x80000000u | nameDirAt[t]);
        dir(nameDirAt[t], types[t].second.size());
        for (int i = 0; i < types[t].second.size(); ++i) {
            set32(r, nameDirAt[t] + 16 + 8 * i, types[t].second[i].id);
            set32(r, nameDirAt[t] + 20 + 8 * i, 0x80000000u | langDirAt[t][i]);
            dir(langDirAt[t][i], 1);
            set32(r, langDirAt[t][i] + 16, 0x409);
            set32(r, langDirAt[t][i] + 20, dataEntryAt[t][i]);
        }
    }
    for (int t = 0; t < types.size(); ++t)
        for (int i = 0; i < types[t].second.size(); ++i) {
            align(r, 4);
            const QByteArray& d = types[t].second[i].data;
            set32(r, dataEntryAt[t][i], kSectionRva + quint32(r.size()));
            set32(r, dataEntryAt[t][i] + 4, quint32(d.size()));
            r.append(d);
        }
    return peWithSection(r, pe32plus);
}

QByteArray makePeFileWithoutResources()
{
    return peWithSection({}, false);
}

} // namespace sq::test
