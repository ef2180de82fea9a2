#include "tests/support/PhotoFiles.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QPainter>

#include <jxl/encode.h>
#include <libheif/heif.h>

#include <memory>
#include <vector>

namespace sq::test {

namespace {

heif_compression_format formatOf(HeifCodec codec)
{
    return codec == HeifCodec::Hevc ? heif_compression_HEVC : heif_compression_AV1;
}

// A libheif picture of an RGB888 copy of picture.
heif_image* heifImageOf(const QImage& picture)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    heif_image* image = nullptr;
    if (heif_image_create(rgb.width(), rgb.height(), heif_colorspace_RGB,
                          heif_chroma_interleaved_RGB, &image)
            .code != heif_error_Ok)
        return nullptr;
    if (heif_image_add_plane(image, heif_channel_interleaved, rgb.width(), rgb.height(), 8).code !=
        heif_error_Ok) {
        heif_image_release(image);
        return nullptr;
    }
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    for (int y = 0; y < rgb.height(); ++y)
        std::copy_n(rgb.constScanLine(y), rgb.width() * 3, plane + qsizetype(y) * stride);
    return image;
}

heif_orientation heifOrientation(int orientation)
{
    switch (orientation) {
    case 3: return heif_orientation_rotate_180;
    case 6: return heif_orientation_rotate_90_cw;
    case 8: return heif_orientation_rotate_270_cw;
    default: return heif_orientation_normal;
    }
}

void put16(QByteArray& out, quint32 v)
{
    out.append(char(v & 0xff)).append(char(v >> 8 & 0xff));
}
void put32(QByteArray& out, quint32 v)
{
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

// A little-endian TIFF IFD under construction: entries sorted by tag, values
// longer than four bytes placed after the IFD.
struct Ifd
{
    struct Entry
    {
        quint16 tag, type;
        quint32 count;
        QByteArray value; // little-endian, count items
    };
    std::vector<Entry> entries;

    void shorts(quint16 tag, std::initializer_list<quint32> v)
    {
        QByteArray b;
        for (quint32 x : v) put16(b, x);
        entries.push_back({tag, 3, quint32(v.size()), b});
    }
    void longs(quint16 tag, std::initializer_list<quint32> v)
    {
        QByteArray b;
        for (quint32 x : v) put32(b, x);
        entries.push_back({tag, 4, quint32(v.size()), b});
    }
    void bytes(quint16 tag, QByteArray b) { entries.push_back({tag, 1, quint32(b.size()), b}); }
    void ascii(quint16 tag, QByteArray s)
    {
        s.append('\0');
        entries.push_back({tag, 2, quint32(s.size()), s});
    }
    void rationals(quint16 tag, std::initializer_list<std::pair<quint32, quint32>> v)
    {
        QByteArray b;
        for (auto [n, d] : v) {
            put32(b, n);
            put32(b, d);
        }
        entries.push_back({tag, 5, quint32(v.size()), b});
    }
    qsizetype size() const
    {
        qsizetype n = 2 + 12 * qsizetype(entries.size()) + 4;
        for (const Entry& e : entries)
            if (e.value.size() > 4) n += e.value.size() + (e.value.size() & 1);
        return n;
    }
    // The IFD written at offset `at` of the file, next IFD offset `next`.
    QByteArray write(quint32 at, quint32 next)
    {
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
        QByteArray head, extra;
        put16(head, quint32(entries.size()));
        quint32 extraAt = at + 2 + 12 * quint32(entries.size()) + 4;
        for (const Entry& e : entries) {
            put16(head, e.tag);
            put16(head, e.type);
            put32(head, e.count);
            if (e.value.size() <= 4) {
                head.append(e.value.leftJustified(4, '\0'));
            } else {
                put32(head, extraAt + quint32(extra.size()));
                extra.append(e.value);
                if (e.value.size() & 1) extra.append('\0');
            }
        }
        put32(head, next);
        return head + extra;
    }
};

} // namespace

bool canWriteHeif(HeifCodec codec)
{
    return heif_have_encoder_for_format(formatOf(codec)) != 0;
}

bool writeHeif(const QString& path, const QImage& picture, HeifCodec codec,
               const QImage& thumbnail, int thumbnailSide, int orientation, int quality,
               const QByteArray& icc)
{
    std::unique_ptr<heif_context, void (*)(heif_context*)> ctx(heif_context_alloc(),
                                                                heif_context_free);
    heif_encoder* rawEncoder = nullptr;
    if (!ctx || heif_context_get_encoder_for_format(ctx.get(), formatOf(codec), &rawEncoder).code !=
                    heif_error_Ok)
        return false;
    std::unique_ptr<heif_encoder, void (*)(heif_encoder*)> encoder(rawEncoder, heif_encoder_release);
    heif_encoder_set_lossy_quality(encoder.get(), quality);
    std::unique_ptr<heif_image, void (*)(const heif_image*)> image(heifImageOf(picture),
                                                                   heif_image_release);
    if (!image) return false;
    if (!icc.isEmpty() &&
        heif_image_set_raw_color_profile(image.get(), "prof", icc.constData(), size_t(icc.size()))
                .code != heif_error_Ok)
        return false;
    std::unique_ptr<heif_encoding_options, void (*)(heif_encoding_options*)> options(
        heif_encoding_options_alloc(), heif_encoding_options_free);
    options->image_orientation = heifOrientation(orientation);
    heif_image_handle* handle = nullptr;
    if (heif_context_encode_image(ctx.get(), image.get(), encoder.get(), options.get(), &handle)
            .code != heif_error_Ok)
        return false;
    bool ok = true;
    if (!thumbnail.isNull() && thumbnailSide > 0) {
        std::unique_ptr<heif_image, void (*)(const heif_image*)> thumb(heifImageOf(thumbnail),
                                                                       heif_image_release);
        heif_image_handle* thumbHandle = nullptr;
        ok = thumb && heif_context_encode_thumbnail(ctx.get(), thumb.get(), handle, encoder.get(),
                                                    options.get(), thumbnailSide, &thumbHandle)
                              .code == heif_error_Ok;
        if (thumbHandle) heif_image_handle_release(thumbHandle);
    }
    heif_image_handle_release(handle);
    return ok && heif_context_write_to_file(ctx.get(), QFile::encodeName(path).constData()).code ==
                     heif_error_Ok;
}

bool writeJxl(const QString& path, const QImage& picture, int orientation, bool lossless,
              int effort)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    std::unique_ptr<JxlEncoder, void (*)(JxlEncoder*)> enc(JxlEncoderCreate(nullptr),
                                                           JxlEncoderDestroy);
    if (!enc) return false;
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = uint32_t(rgb.width());
    info.ysize = uint32_t(rgb.height());
    info.bits_per_sample = 8;
    info.num_color_channels = 3;
    info.orientation = JxlOrientation(orientation);
    info.uses_original_profile = lossless ? JXL_TRUE : JXL_FALSE;
    if (JxlEncoderSetBasicInfo(enc.get(), &info) != JXL_ENC_SUCCESS) return false;
    JxlColorEncoding colour;
    JxlColorEncodingSetToSRGB(&colour, JXL_FALSE);
    if (JxlEncoderSetColorEncoding(enc.get(), &colour) != JXL_ENC_SUCCESS) return false;
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(enc.get(), nullptr);
    JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, effort);
    if (lossless)
        JxlEncoderSetFrameLossless(settings, JXL_TRUE);
    else
        JxlEncoderSetFrameDistance(settings, 1.0f);
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, size_t(rgb.bytesPerLine())};
    if (JxlEncoderAddImageFrame(settings, &format, rgb.constBits(), size_t(rgb.sizeInBytes())) !=
        JXL_ENC_SUCCESS)
        return false;
    JxlEncoderCloseInput(enc.get());
    QByteArray out(1 << 16, '\0');
    size_t used = 0;
    for (;;) {
        uint8_t* next = reinterpret_cast<uint8_t*>(out.data()) + used;
        size_t avail = size_t(out.size()) - used;
        const JxlEncoderStatus s = JxlEncoderProcessOutput(enc.get(), &next, &avail);
        used = size_t(next - reinterpret_cast<uint8_t*>(out.data()));
        if (s == JXL_ENC_SUCCESS) break;
        if (s != JXL_ENC_NEED_MORE_OUTPUT) return false;
        out.resize(out.size() * 2);
    }
    out.resize(qsizetype(used));
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(out) == out.size();
}

QByteArray dngBytes(const QImage& picture, int orientation, const QImage& preview)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    const quint32 w = quint32(rgb.width()), h = quint32(rgb.height());
    QByteArray pixels;
    pixels.reserve(qsizetype(w) * h * 6);
    for (quint32 y = 0; y < h; ++y) {
        const uchar* row = rgb.constScanLine(int(y));
        for (quint32 i = 0; i < w * 3; ++i) put16(pixels, quint32(row[i]) * 257);
    }
    QByteArray jpeg;
    if (!preview.isNull()) {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setQuality(90);
        if (!writer.write(preview.convertToFormat(QImage::Format_RGB888))) return {};
    }
    const auto common = [&](Ifd& ifd) {
        ifd.ascii(271, "Sorrelquint");
        ifd.ascii(272, "Test Camera");
        ifd.shorts(274, {quint32(orientation)});
        ifd.bytes(50706, QByteArray("\1\4\0\0", 4)); // DNGVersion 1.4
        ifd.bytes(50707, QByteArray("\1\1\0\0", 4));
        ifd.ascii(50708, "Sorrelquint Test Camera");
        ifd.rationals(50728, {{1, 1}, {1, 1}, {1, 1}}); // AsShotNeutral
        // ColorMatrix1: XYZ to camera, the sRGB primaries' inverse.
        ifd.entries.push_back({50721, 10, 9, [] {
                                   QByteArray b;
                                   const int m[9] = {32404, -15371, -4985, -9692, 18760,
                                                     415,   556,    -2040, 10572};
                                   for (int v : m) {
                                       put32(b, quint32(v));
                                       put32(b, 10000);
                                   }
                                   return b;
                               }()});
        ifd.shorts(50778, {21}); // CalibrationIlluminant1: D65
    };
    Ifd raw;
    raw.longs(254, {0});
    raw.longs(256, {w});
    raw.longs(257, {h});
    raw.shorts(258, {16, 16, 16});
    raw.shorts(259, {1});
    raw.shorts(262, {34892}); // LinearRaw
    raw.shorts(277, {3});
    raw.longs(278, {h});
    raw.shorts(284, {1});
    raw.longs(50717, {65535}); // WhiteLevel
    raw.longs(273, {0});       // StripOffsets, set below
    raw.longs(279, {quint32(pixels.size())});
    if (jpeg.isEmpty()) common(raw);

    QByteArray out("II*\0", 4);
    put32(out, 8);
    if (jpeg.isEmpty()) {
        const quint32 dataAt = 8 + quint32(raw.size());
        for (auto& e : raw.entries)
            if (e.tag == 273) {
                e.value.clear();
                put32(e.value, dataAt);
            }
        out.append(raw.write(8, 0));
        out.append(pixels);
        return out;
    }
    const QImage pv = preview.convertToFormat(QImage::Format_RGB888);
    Ifd first;
    first.longs(254, {1});
    first.longs(256, {quint32(pv.width())});
    first.longs(257, {quint32(pv.height())});
    first.shorts(258, {8, 8, 8});
    first.shorts(259, {7});
    first.shorts(262, {6});
    first.shorts(277, {3});
    first.longs(278, {quint32(pv.height())});
    first.longs(273, {0});
    first.longs(279, {quint32(jpeg.size())});
    first.longs(330, {0}); // SubIFDs
    common(first);
    const quint32 firstSize = quint32(first.size());
    const quint32 rawAt = 8 + firstSize;
    const quint32 jpegAt = rawAt + quint32(raw.size());
    const quint32 pixelsAt = jpegAt + quint32(jpeg.size() + (jpeg.size() & 1));
    for (auto& e : first.entries) {
        if (e.tag == 273) {
            e.value.clear();
            put32(e.value, jpegAt);
        }
        if (e.tag == 330) {
            e.value.clear();
            put32(e.value, rawAt);
        }
    }
    for (auto& e : raw.entries)
        if (e.tag == 273) {
            e.value.clear();
            put32(e.value, pixelsAt);
        }
    out.append(first.write(8, 0));
    out.append(raw.write(rawAt, 0));
    out.append(jpeg);
    if (jpeg.size() & 1) out.append('\0');
    out.append(pixels);
    return out;
}

bool writeDng(const QString& path, const QImage& picture, int orientation, const QImage& preview)
{
    const QByteArray bytes = dngBytes(picture, orientation, preview);
    QFile file(path);
    return !bytes.isEmpty() && file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QImage quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    QPainter p(&image);
    const int hw = width / 2, hh = height / 2;
    p.fillRect(0, 0, hw, hh, QColor(255, 0, 0));
    p.fillRect(hw, 0, width - hw, hh, QColor(0, 255, 0));
    p.fillRect(0, hh, hw, height - hh, QColor(0, 0, 255));
    p.fillRect(hw, hh, width - hw, height - hh, QColor(255, 255, 255));
    return image;
}

bool near(QRgb c, QRgb want, int tolerance)
{
    return std::abs(qRed(c) - qRed(want)) <= tolerance &&
           std::abs(qGreen(c) - qGreen(want)) <= tolerance &&
           std::abs(qBlue(c) - qBlue(want)) <= tolerance;
}

} // namespace sq::test
