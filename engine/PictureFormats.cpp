#include "engine/PictureFormats.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

const char* const kRawExtensions[] = {".cr2", ".cr3", ".nef", ".arw", ".dng", ".orf", ".raf", ".rw2"};

// ISO base media file brands of still pictures; movies (isom, mp42, qt ...)
// are not among them.
const char* const kHeifBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx",
                                   "mif1", "msf1", "avif", "avis"};

bool heifBrand(const QByteArray& brand)
{
    return std::any_of(std::begin(kHeifBrands), std::end(kHeifBrands),
                       [&brand](const char* b) { return brand == b; });
}

} // namespace

namespace sq {

PhotoCodec photoCodecOf(const QByteArray& head)
{
    if (head.startsWith("\xff\x0a") ||
        head.startsWith(QByteArray("\0\0\0\x0cJXL \r\n\x87\n", 12)))
        return PhotoCodec::Jxl;
    if (head.size() >= 12 && head.mid(4, 4) == "ftyp") {
        // The major brand, then the compatible brands the head holds.
        const quint32 boxSize = quint32(uchar(head[0])) << 24 | quint32(uchar(head[1])) << 16 |
                                quint32(uchar(head[2])) << 8 | quint32(uchar(head[3]));
        if (heifBrand(head.mid(8, 4))) return PhotoCodec::Heif;
        const qsizetype end = std::min<qsizetype>(head.size(), qsizetype(std::min<quint32>(boxSize, 4096)));
        for (qsizetype at = 16; at + 4 <= end; at += 4)
            if (heifBrand(head.mid(at, 4))) return PhotoCodec::Heif;
    }
    return PhotoCodec::None;
}

bool isRawName(const QString& fileName)
{
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash) return false;
    const QString ext = fileName.mid(dot).toLower();
    return std::any_of(std::begin(kRawExtensions), std::end(kRawExtensions),
                       [&ext](const char* e) { return ext == QLatin1String(e); });
}

bool sourceCoversBox(QSize source, QSize full, QSize box)
{
    if (source.isEmpty() || full.isEmpty() || box.isEmpty()) return false;
    if (source.width() >= full.width() && source.height() >= full.height()) return true;
    // The full picture fitted into the box (enlarged too, where the view
    // stretches small pictures): the source must be at least that large.
    const double scale = std::min(double(box.width()) / full.width(),
                                  double(box.height()) / full.height());
    const int needW = std::max(1, int(std::floor(full.width() * scale)));
    const int needH = std::max(1, int(std::floor(full.height() * scale)));
    return source.width() >= needW && source.height() >= needH;
}

qint64 photoDecodeCost(const platform::SafeFile& file, PhotoCodec codec, QSize box,
                       qint64 maxPixels)
{
    switch (codec) {
    case PhotoCodec::Heif: return heifDecodeCost(file, box, maxPixels);
    case PhotoCodec::Jxl: return jxlDecodeCost(file, maxPixels);
    case PhotoCodec::Raw: return rawDecodeCost(file, box, maxPixels);
    case PhotoCodec::None: break;
    }
    return 0;
}

} // namespace sq
