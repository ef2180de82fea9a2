// Thumbnail cost of a 12 MP HEIC, AVIF, JPEG XL and DNG file made from one
// JPEG photograph: the engine's thumbnail (120 x 90, through the picture
// loader) beside the library's own fastest path for the same file (the
// HEIF thumbnail item or the DNG's embedded preview decoded directly, a
// JPEG XL's whole decode) and the library's decode of the whole picture.
// Milliseconds, median of runs. Then the DNG's thumbnail read straight from
// the open file (what the loader does) beside the file read whole first and
// decoded from memory, with the bytes each reads. Usage: bench_photos JPEG [RUNS]
#include "engine/ImgUtils.h"
#include "engine/PictureFormats.h"
#include "engine/PictureLoader.h"
#include "platform/SafeRead.h"
#include "tests/support/PhotoFiles.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

#include <jxl/decode.h>
#include <libheif/heif.h>
#include <libraw/libraw.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace sq::test;

namespace {

double medianMs(int runs, const std::function<bool()>& work)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        if (!work()) return -1;
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// libheif alone: the primary image's first thumbnail item, decoded.
bool heifThumbnailDirect(const QByteArray& bytes)
{
    heif_context* ctx = heif_context_alloc();
    bool ok = false;
    heif_image_handle* primary = nullptr;
    heif_item_id id = 0;
    if (heif_context_read_from_memory_without_copy(ctx, bytes.constData(), size_t(bytes.size()), nullptr).code ==
            heif_error_Ok &&
        heif_context_get_primary_image_handle(ctx, &primary).code == heif_error_Ok &&
        heif_image_handle_get_list_of_thumbnail_IDs(primary, &id, 1) == 1) {
        heif_image_handle* thumb = nullptr;
        heif_image* image = nullptr;
        if (heif_image_handle_get_thumbnail(primary, id, &thumb).code == heif_error_Ok &&
            heif_decode_image(thumb, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr).code ==
                heif_error_Ok)
            ok = true;
        if (image) heif_image_release(image);
        if (thumb) heif_image_handle_release(thumb);
    }
    if (primary) heif_image_handle_release(primary);
    heif_context_free(ctx);
    return ok;
}

// LibRaw alone: the embedded preview unpacked, as its JPEG bytes (decoding
// them is the JPEG decoder's work, counted in the engine's row).
bool rawPreviewDirect(const QByteArray& bytes)
{
    auto raw = std::make_unique<LibRaw>();
    return raw->open_buffer(const_cast<char*>(bytes.constData()), size_t(bytes.size())) == LIBRAW_SUCCESS &&
           raw->unpack_thumb() == LIBRAW_SUCCESS && raw->imgdata.thumbnail.tlength > 0;
}

// LibRaw alone: the raw data developed at half size with the camera's white balance.
bool rawHalfDirect(const QByteArray& bytes)
{
    auto raw = std::make_unique<LibRaw>();
    raw->imgdata.params.half_size = 1;
    raw->imgdata.params.use_camera_wb = 1;
    if (raw->open_buffer(const_cast<char*>(bytes.constData()), size_t(bytes.size())) != LIBRAW_SUCCESS ||
        raw->unpack() != LIBRAW_SUCCESS || raw->dcraw_process() != LIBRAW_SUCCESS)
        return false;
    int err = 0;
    libraw_processed_image_t* p = raw->dcraw_make_mem_image(&err);
    LibRaw::dcraw_clear_mem(p);
    return p != nullptr;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_photos JPEG [RUNS]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    QImageReader reader(QString::fromLocal8Bit(argv[1]));
    reader.setAutoTransform(true);
    const QImage photo = reader.read().convertToFormat(QImage::Format_RGB888);
    if (photo.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    QTemporaryDir dir;
    const QImage small = photo.scaled(photo.size().scaled(1024, 1024, Qt::KeepAspectRatio),
                                      Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    struct File
    {
        const char* name;
        bool written;
    };
    // As phones and cameras write them: HEIC and AVIF with a 320-pixel
    // thumbnail item, the DNG with a 1024-pixel JPEG preview.
    const QString heic = dir.filePath("photo.heic"), avif = dir.filePath("photo.avif"),
                  jxl = dir.filePath("photo.jxl"), dng = dir.filePath("photo.dng");
    const File files[] = {
        {"heic", writeHeif(heic, photo, HeifCodec::Hevc, photo, 320, 1, 80)},
        {"avif", canWriteHeif(HeifCodec::Av1) && writeHeif(avif, photo, HeifCodec::Av1, photo, 320, 1, 70)},
        {"jxl", writeJxl(jxl, photo, 1, false, 3)},
        {"dng", writeDng(dng, photo, 1, small)},
    };
    std::printf("picture %dx%d (%.1f MP), thumbnail box 120x90, median of %d runs\n", photo.width(),
                photo.height(), photo.width() * photo.height() / 1e6, runs);
    std::printf("%-6s %10s %16s %22s %18s\n", "file", "size KB", "engine thumb ms", "library fastest ms",
                "library full ms");
    for (const File& f : files) {
        if (!f.written) {
            std::printf("%-6s not written\n", f.name);
            continue;
        }
        const QString path = dir.filePath(QStringLiteral("photo.") + QLatin1String(f.name));
        const QByteArray bytes = readAll(path);
        const double engine = medianMs(runs, [&] {
            TImgUtil e;
            sq::installPictureLoader(e);
            e.setGetType(igtPreview);
            return e.LoadImage(path, 120, 90) == 0 && e.ImageType() == iitCustom;
        });
        double fastest = -1, full = -1;
        const QString name = QLatin1String(f.name);
        if (name == "heic" || name == "avif") {
            fastest = medianMs(runs, [&] { return heifThumbnailDirect(bytes); });
            full = medianMs(runs, [&] { return !sq::decodeHeif(bytes).image.isNull(); });
        } else if (name == "jxl") {
            full = medianMs(runs, [&] { return !sq::decodeJxl(bytes).image.isNull(); });
            fastest = full; // no smaller source in the file
        } else {
            fastest = medianMs(runs, [&] { return rawPreviewDirect(bytes); });
            full = medianMs(runs, [&] { return rawHalfDirect(bytes); });
        }
        std::printf("%-6s %10lld %16.1f %22.1f %18.1f\n", f.name, (long long)(bytes.size() / 1024), engine,
                    fastest, full);
    }
    std::printf("dng full = LibRaw half-size development; jxl fastest = its whole decode\n");
    if (files[3].written) {
        const QSize box(120, 90);
        qint64 read = 0;
        const double fromFile = medianMs(runs, [&] {
            const sq::platform::SafeFile file(dng);
            return !sq::decodeRawFile(file, box, TImgUtil::MaxPixels, &read).image.isNull();
        });
        qint64 whole = 0;
        const double fromBytes = medianMs(runs, [&] {
            const QByteArray bytes = sq::platform::readWholeFile(dng, sq::kMaxPhotoFileBytes);
            whole = bytes.size();
            return !sq::decodeRaw(bytes, box).image.isNull();
        });
        std::printf("dng thumbnail from the open file %8.1f ms, %8lld KB read\n", fromFile,
                    (long long)(read / 1024));
        std::printf("dng thumbnail from the whole file %7.1f ms, %8lld KB read (ratio %.1fx)\n",
                    fromBytes, (long long)(whole / 1024), fromFile > 0 ? fromBytes / fromFile : 0.0);
    }
    return 0;
}
