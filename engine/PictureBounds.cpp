#include "engine/PictureBounds.h"

namespace {

quint32 be32(const QByteArray& b, int at)
{
    return quint32(uchar(b[at])) << 24 | quint32(uchar(b[at + 1])) << 16 |
           quint32(uchar(b[at + 2])) << 8 | quint32(uchar(b[at + 3]));
}

quint32 le16(const QByteArray& b, int at)
{
    return quint32(uchar(b[at])) | quint32(uchar(b[at + 1])) << 8;
}

quint32 le24(const QByteArray& b, int at)
{
    return le16(b, at) | quint32(uchar(b[at + 2])) << 16;
}

quint32 le32(const QByteArray& b, int at)
{
    return le24(b, at) | quint32(uchar(b[at + 3])) << 24;
}

// Deflate writes at most 258 bytes for two bits (a match of the longest
// length at distance 1, both codes one bit long): 1032 bytes of rows for
// one byte of data. Twice that is allowed for.
constexpr qint64 kDeflateBytesPerByte = 1032 * 2;

// Every macroblock of a VP8 key frame codes its luma mode and its chroma
// mode in the first partition, each a first branch of fixed probability
// 145/256 or 142/256: over 1.6 bits a macroblock. An eighth of a bit is
// asked for.
constexpr qint64 kVp8MacroblocksPerByte = 64;

sq::DeclaredPicture png(const QByteArray& head)
{
    sq::DeclaredPicture d;
    // Signature, IHDR length and type, width, height, depth, colour type.
    if (head.size() < 26 || head.mid(12, 4) != "IHDR") return d;
    const quint32 w = be32(head, 16), h = be32(head, 20);
    if (w == 0 || h == 0 || w > 0x7fffffff || h > 0x7fffffff) return d;
    const int depth = uchar(head[24]);
    int channels = 0;
    switch (uchar(head[25])) {
    case 0:
        channels = 1;
        break; // grey
    case 2:
        channels = 3;
        break; // RGB
    case 3:
        channels = 1;
        break; // palette
    case 4:
        channels = 2;
        break; // grey and alpha
    case 6:
        channels = 4;
        break; // RGBA
    default:
        return d;
    }
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16) return d;
    d.format = "png";
    d.size = QSize(int(qMin<quint32>(w, 0x7fffffff)), int(qMin<quint32>(h, 0x7fffffff)));
    // Interlaced or not, the rows hold every pixel's bits at least.
    const long double rowBits = (long double)w * h * depth * channels;
    const long double least = rowBits / 8 / kDeflateBytesPerByte;
    d.leastFileBytes = least > (long double)(qint64(1) << 62) ? qint64(1) << 62 : qint64(least);
    return d;
}

sq::DeclaredPicture webp(const QByteArray& head)
{
    sq::DeclaredPicture d;
    if (head.size() < 30) return d;
    const QByteArray chunk = head.mid(12, 4);
    if (chunk == "VP8 ") {
        // The frame tag: a key frame's start code, then 14-bit sizes.
        const quint32 tag = le24(head, 20);
        if ((tag & 1) != 0 || head.mid(23, 3) != QByteArray("\x9d\x01\x2a", 3)) return d;
        const int w = int(le16(head, 26) & 0x3fff), h = int(le16(head, 28) & 0x3fff);
        if (w == 0 || h == 0) return d;
        d.format = "webp";
        d.size = QSize(w, h);
        const qint64 macroblocks = qint64((w + 15) / 16) * ((h + 15) / 16);
        d.leastFileBytes = 30 + macroblocks / kVp8MacroblocksPerByte;
    } else if (chunk == "VP8L") {
        if (uchar(head[20]) != 0x2f) return d;
        const quint32 bits = le32(head, 21);
        d.format = "webp";
        d.size = QSize(int(bits & 0x3fff) + 1, int((bits >> 14) & 0x3fff) + 1);
        d.losslessWebp = true;
    } else if (chunk == "VP8X") {
        d.format = "webp";
        d.size = QSize(int(le24(head, 24)) + 1, int(le24(head, 27)) + 1);
        // The image chunk follows the optional ones; whether it is lossless
        // is not known from here, so the dearer case is assumed.
        d.losslessWebp = true;
    }
    return d;
}

sq::DeclaredPicture gif(const QByteArray& head)
{
    sq::DeclaredPicture d;
    if (head.size() < 13) return d;
    const int w = int(le16(head, 6)), h = int(le16(head, 8));
    if (w == 0 || h == 0) return d;
    d.format = "gif";
    d.size = QSize(w, h);
    return d;
}

sq::DeclaredPicture bmp(const QByteArray& head)
{
    sq::DeclaredPicture d;
    if (head.size() < 34 || le32(head, 14) < 40) return d;
    const qint64 w = qint32(le32(head, 18)), h = qint32(le32(head, 22));
    const qint64 bits = le16(head, 28);
    if (w <= 0 || h == 0 || w > 0x7fffffff || qAbs(h) > 0x7fffffff) return d;
    d.format = "bmp";
    d.size = QSize(int(w), int(qAbs(h)));
    const quint32 compression = le32(head, 30);
    if ((compression == 0 || compression == 3) && bits > 0 && bits <= 32)
        d.leastFileBytes = qint64(le32(head, 10)) + ((bits * w + 31) / 32) * 4 * qAbs(h);
    return d;
}

} // namespace

namespace sq {

DeclaredPicture declaredPicture(const QByteArray& head)
{
    if (head.startsWith("\x89PNG\r\n\x1a\n")) return png(head);
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a")) return gif(head);
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP") return webp(head);
    if (head.startsWith("BM")) return bmp(head);
    return {};
}

bool fileCanHoldDeclared(const QByteArray& head, qint64 fileSize)
{
    return fileSize >= declaredPicture(head).leastFileBytes;
}

} // namespace sq
