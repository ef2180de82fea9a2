#include "tests/support/PictureFiles.h"

#include "tests/support/TestFiles.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageWriter>

#include <array>

namespace sq::test {

namespace {

void put16(QByteArray& out, quint32 v)
{
    out += char(v & 0xff);
    out += char((v >> 8) & 0xff);
}

void put32be(QByteArray& out, quint32 v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char((v >> shift) & 0xff);
}

quint32 crc32(const QByteArray& bytes)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xffffffffu;
    for (const char b : bytes)
        c = table[(c ^ uchar(b)) & 0xff] ^ (c >> 8);
    return c ^ 0xffffffffu;
}

void pngChunk(QByteArray& out, const char* type, const QByteArray& data)
{
    put32be(out, quint32(data.size()));
    const QByteArray body = QByteArray(type, 4) + data;
    out += body;
    put32be(out, crc32(body));
}

// LZW codes of 9 bits written least significant bit first, as GIF packs them.
class GifCodes
{
public:
    void put(int code)
    {
        m_acc |= quint32(code) << m_bits;
        m_bits += 9;
        while (m_bits >= 8) {
            m_out += char(m_acc & 0xff);
            m_acc >>= 8;
            m_bits -= 8;
        }
    }
    QByteArray finish()
    {
        if (m_bits > 0) m_out += char(m_acc & 0xff);
        return m_out;
    }

private:
    QByteArray m_out;
    quint32 m_acc = 0;
    int m_bits = 0;
};

// Literal codes only, with a clear code often enough that the decoder's
// table never outgrows 9-bit codes: valid LZW without compressing.
QByteArray gifPixels(const QImage& frame)
{
    constexpr int kClear = 256, kEnd = 257, kRun = 250;
    GifCodes codes;
    int run = kRun;
    for (int y = 0; y < frame.height(); ++y) {
        const uchar* row = frame.constScanLine(y);
        for (int x = 0; x < frame.width(); ++x) {
            if (run == kRun) {
                codes.put(kClear);
                run = 0;
            }
            codes.put(row[x]);
            ++run;
        }
    }
    codes.put(kEnd);
    const QByteArray data = codes.finish();
    QByteArray out;
    out += char(8); // minimum code size
    for (qsizetype at = 0; at < data.size(); at += 255) {
        const QByteArray block = data.mid(at, 255);
        out += char(block.size());
        out += block;
    }
    out += char(0);
    return out;
}

quint32 get16(const QByteArray& b, qsizetype at)
{
    return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8;
}

quint32 get32(const QByteArray& b, qsizetype at)
{
    return get16(b, at) | get16(b, at + 2) << 16;
}

void set32(QByteArray& b, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 0xff);
}

int tiffTypeSize(quint32 type)
{
    switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
        return 1;
    case 3:
    case 8:
        return 2;
    case 4:
    case 9:
    case 11:
    case 13:
        return 4;
    case 5:
    case 10:
    case 12:
    case 16:
        return 8;
    default:
        return 0;
    }
}

// Appends the one-page little-endian TIFF page to chain and links its
// directory after the chain's last one.
bool appendTiffPage(QByteArray& chain, const QByteArray& page)
{
    if (page.size() < 8 || !page.startsWith("II")) return false;
    if (chain.size() % 2) chain += char(0);
    const quint32 base = quint32(chain.size());
    chain += page;
    const qsizetype ifd = base + get32(page, 4);
    if (ifd + 2 > chain.size()) return false;
    const int entries = int(get16(chain, ifd));
    for (int i = 0; i < entries; ++i) {
        const qsizetype e = ifd + 2 + 12 * i;
        if (e + 12 > chain.size()) return false;
        const quint32 tag = get16(chain, e), type = get16(chain, e + 2),
                      count = get32(chain, e + 4);
        const qint64 size = qint64(tiffTypeSize(type)) * count;
        if (size <= 0) return false;
        const bool offsets = tag == 273 || tag == 324; // strip and tile offsets
        if (size > 4) {
            const quint32 at = get32(chain, e + 8) + base;
            set32(chain, e + 8, at);
            if (offsets) {
                if (type != 4) return false;
                for (quint32 k = 0; k < count; ++k)
                    set32(chain, at + 4 * k, get32(chain, at + 4 * k) + base);
            }
        } else if (offsets) {
            if (type != 4 || count != 1) return false;
            set32(chain, e + 8, get32(chain, e + 8) + base);
        }
    }
    if (base == 0) return true;
    // The chain's last directory now points at the new one.
    qsizetype last = get32(chain, 4);
    for (;;) {
        const qsizetype next = last + 2 + 12 * qsizetype(get16(chain, last));
        const quint32 to = get32(chain, next);
        if (to == 0) {
            set32(chain, next, quint32(ifd));
            return true;
        }
        last = to;
    }
}

} // namespace

QImage alphaPattern(int width, int height)
{
    QImage img(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        QRgb* row = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const int a = x == 0 ? 0 : x == width - 1 ? 255 : x * 255 / std::max(1, width - 1);
            row[x] = qRgba((x * 37 + y * 11) & 0xff, (y * 255) / std::max(1, height - 1),
                           ((x / 8 + y / 8) % 2) ? 220 : 30, a);
        }
    }
    return img;
}

QImage palettePattern(int width, int height, int count, bool withClear, int seed)
{
    count = std::clamp(count, 2, 256);
    QImage img(width, height, QImage::Format_Indexed8);
    QList<QRgb> colours;
    for (int i = 0; i < count; ++i)
        colours << qRgba((i * 53 + seed * 17) & 0xff, (i * 97 + 40) & 0xff,
                         (i * 29 + seed * 71) & 0xff, withClear && i == 0 ? 0 : 255);
    img.setColorTable(colours);
    for (int y = 0; y < height; ++y) {
        uchar* row = img.scanLine(y);
        for (int x = 0; x < width; ++x)
            row[x] = uchar((x / 3 + y * 5 + seed) % count);
    }
    return img;
}

bool writePicture(const QString& path, const QImage& image, const char* format, int quality)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImageWriter writer(path, format);
    if (quality >= 0) writer.setQuality(quality);
    return writer.write(image);
}

namespace {

QImage gifFrame(const QImage& source, int w, int h)
{
    const QImage frame = source.format() == QImage::Format_Indexed8
                             ? source
                             : source.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    return frame.copy(0, 0, w, h);
}

// A colour table of 256 entries (the palette padded with black).
QByteArray gifTable(const QImage& frame)
{
    QByteArray out;
    const QList<QRgb> table = frame.colorTable();
    for (int i = 0; i < 256; ++i) {
        const QRgb c = table.value(i, qRgb(0, 0, 0));
        out += char(qRed(c));
        out += char(qGreen(c));
        out += char(qBlue(c));
    }
    return out;
}

} // namespace

QByteArray gifBytes(const QList<QImage>& frames, int transparentIndex, GifTables tables)
{
    if (frames.isEmpty()) return {};
    const int w = frames.first().width(), h = frames.first().height();
    const QByteArray global =
        tables == GifTables::Global ? gifTable(gifFrame(frames.first(), w, h)) : QByteArray();
    QByteArray out("GIF89a");
    put16(out, quint32(w));
    put16(out, quint32(h));
    out += char(global.isEmpty() ? 0 : 0x87); // a global table of 256 entries, or none
    out += char(0);
    out += char(0);
    out += global;
    out += QByteArray("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (const QImage& source : frames) {
        const QImage frame = gifFrame(source, w, h);
        out += QByteArray("\x21\xf9\x04", 3);
        out += char((1 << 2) | (transparentIndex >= 0 ? 1 : 0));
        put16(out, 10);
        out += char(transparentIndex >= 0 ? transparentIndex : 0);
        out += char(0);
        out += char(0x2c);
        put16(out, 0);
        put16(out, 0);
        put16(out, quint32(w));
        put16(out, quint32(h));
        const QByteArray table = gifTable(frame);
        if (table == global) {
            out += char(0); // the global table
        } else {
            out += char(0x87); // a local table of 256 entries
            out += table;
        }
        out += gifPixels(frame);
    }
    out += char(0x3b);
    return out;
}

bool writeGif(const QString& path, const QList<QImage>& frames, int transparentIndex,
              GifTables tables)
{
    const QByteArray bytes = gifBytes(frames, transparentIndex, tables);
    return !bytes.isEmpty() && writeFile(path, bytes);
}

QByteArray multiPageTiff(const QList<QImage>& pages)
{
    QByteArray chain;
    for (const QImage& page : pages) {
        QByteArray one;
        QBuffer buffer(&one);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "tiff");
        if (!writer.write(page) || !appendTiffPage(chain, one)) return {};
    }
    return chain;
}

QByteArray pngDeclaring(quint32 width, quint32 height, int idatBytes, int colourType)
{
    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    QByteArray ihdr;
    put32be(ihdr, width);
    put32be(ihdr, height);
    ihdr += char(8); // bit depth
    ihdr += char(colourType);
    ihdr += char(0);
    ihdr += char(0);
    ihdr += char(0);
    pngChunk(out, "IHDR", ihdr);
    if (colourType == 3) pngChunk(out, "PLTE", QByteArray("\x00\x00\x00\xff\xff\xff", 6));
    QByteArray idat("\x78\x01", 2);
    while (idat.size() < idatBytes) {
        const int n = std::min(65535, idatBytes - int(idat.size()));
        idat += char(0); // a stored block, not the last
        put16(idat, quint32(n));
        put16(idat, quint32(~n & 0xffff));
        idat += QByteArray(n, '\0');
    }
    pngChunk(out, "IDAT", idat);
    pngChunk(out, "IEND", {});
    return out;
}

QByteArray tiffDeclaring(quint32 width, quint32 height, int dataBytes)
{
    struct Entry
    {
        quint32 tag, type, value;
    };
    const Entry entries[] = {
        {256, 4, width}, {257, 4, height}, {258, 3, 8},
        {259, 3, 1},     {262, 3, 1},      {273, 4, 0},
        {277, 3, 1},     {278, 4, height}, {279, 4, quint32(dataBytes)},
    };
    const int count = int(std::size(entries));
    const quint32 data = 8 + 2 + 12 * count + 4;
    QByteArray out("II*\0", 4);
    QByteArray word(4, '\0');
    set32(word, 0, 8);
    out += word;
    put16(out, quint32(count));
    for (const Entry& e : entries) {
        put16(out, e.tag);
        put16(out, e.type);
        set32(word, 0, 1);
        out += word;
        set32(word, 0, e.tag == 273 ? data : e.value);
        out += word;
    }
    set32(word, 0, 0);
    out += word;
    out += QByteArray(dataBytes, '\0');
    return out;
}

QRgb overBackground(QRgb pixel, const QColor& background)
{
    const int a = qAlpha(pixel);
    auto mix = [a](int c, int bk) { return (c * a + bk * (255 - a) + 127) / 255; };
    return qRgb(mix(qRed(pixel), background.red()), mix(qGreen(pixel), background.green()),
                mix(qBlue(pixel), background.blue()));
}

namespace {

// Bits packed from the least significant end of each byte, as VP8L reads.
class BitWriter
{
public:
    void put(quint32 value, int bits)
    {
        for (int i = 0; i < bits; ++i) {
            if (m_used == 0) m_bytes += char(0);
            if (value >> i & 1)
                m_bytes[m_bytes.size() - 1] = char(uchar(m_bytes.back()) | 1 << m_used);
            m_used = (m_used + 1) % 8;
        }
    }
    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    int m_used = 0;
};

void put32le(QByteArray& out, quint32 v)
{
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

QByteArray riffWebp(const char* fourcc, QByteArray payload)
{
    QByteArray chunk(fourcc, 4);
    put32le(chunk, quint32(payload.size()));
    if (payload.size() % 2) payload += char(0);
    chunk += payload;
    QByteArray out("RIFF", 4);
    put32le(out, quint32(4 + chunk.size()));
    out += "WEBP";
    return out + chunk;
}

} // namespace

QByteArray solidLosslessWebp(int width, int height, QRgb colour)
{
    BitWriter bits;
    bits.put(0x2f, 8);
    bits.put(quint32(width - 1), 14);
    bits.put(quint32(height - 1), 14);
    bits.put(qAlpha(colour) != 255, 1);
    bits.put(0, 3); // version
    bits.put(0, 1); // no transform
    bits.put(0, 1); // no colour cache
    bits.put(0, 1); // one group of codes for the whole picture
    // Green, red, blue and alpha: simple codes of one 8-bit symbol each.
    for (const int c : {qGreen(colour), qRed(colour), qBlue(colour), qAlpha(colour)}) {
        bits.put(1, 1);
        bits.put(0, 1);
        bits.put(1, 1);
        bits.put(quint32(c), 8);
    }
    // Distances: one 1-bit symbol, never used.
    bits.put(1, 1);
    bits.put(0, 1);
    bits.put(0, 1);
    bits.put(0, 1);
    return riffWebp("VP8L", bits.bytes());
}

QByteArray lossyWebpDeclaring(int width, int height, int dataBytes)
{
    QByteArray payload;
    const quint32 tag = 0x10 | quint32(dataBytes) << 5; // key frame, shown
    payload += char(tag & 0xff);
    payload += char(tag >> 8 & 0xff);
    payload += char(tag >> 16 & 0xff);
    payload += QByteArray("\x9d\x01\x2a", 3);
    put16(payload, quint32(width));
    put16(payload, quint32(height));
    payload += QByteArray(dataBytes, '\0');
    return riffWebp("VP8 ", payload);
}

} // namespace sq::test
