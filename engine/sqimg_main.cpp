// sqimg: the image engine from the command line, for users and for checks.
//   sqimg load FILE [--size WxH] [--get-type normal|preview|stretch|fit]
//              [--text-ext EXT] [--avi-pos PERCENT] [--out OUT.bmp|OUT.png]
//   sqimg resize IN.bmp W H OUT.bmp
//   sqimg fit IN.bmp W H RULE OUT.bmp
//   sqimg smooth IN.bmp W H OUT.bmp    (the loupe's bilinear rule)
//   sqimg thumbs [--box WxH] [--cache DIR] FILE_OR_FOLDER...
#include "engine/BmpFile.h"
#include "engine/ImgUtils.h"
#include "engine/PictureLoader.h"
#include "engine/Stretch.h"
#include "platform/AtomicFile.h"
#include "platform/NativePath.h"
#include "platform/PathOps.h"
#include "platform/SafeRead.h"
#include "platform/ShellFolder.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const char* const kKindNames[] = {"iitNone", "iitSusie", "iitBmp", "iitJpeg",   "iitIco", "iitCur",
                                  "iitAni",  "iitEmf",   "iitWmf", "iitExe",    "iitDll", "iitHtml",
                                  "iitTxt",  "iitEml",   "iitDir", "iitCustom", "iitAvi"};

const char kUsage[] = "usage: sqimg load FILE [--size WxH] [--get-type normal|preview|stretch|fit] "
                      "[--text-ext EXT] [--avi-pos PERCENT] [--out OUT.bmp|OUT.png]\n"
                      "       sqimg resize IN.bmp W H OUT.bmp\n"
                      "       sqimg fit IN.bmp W H RULE OUT.bmp\n"
                      "       sqimg smooth IN.bmp W H OUT.bmp\n"
                      "       sqimg thumbs [--box WxH] [--cache DIR] FILE_OR_FOLDER...\n"
                      "       sqimg --help | --version\n";

// A wrong command line: the usage on stderr, exit status 2.
int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

bool parseSize(const QString& text, int& w, int& h)
{
    const QStringList parts = text.split(QLatin1Char('x'));
    bool okW = false, okH = false;
    if (parts.size() == 2) {
        w = parts[0].toInt(&okW);
        h = parts[1].toInt(&okH);
    }
    return okW && okH && w > 0 && h > 0;
}

bool parseRule(const QString& text, TGetType& rule)
{
    static const char* const names[] = {"normal", "preview", "stretch", "fit"};
    for (int i = 0; i < 4; ++i)
        if (text == QLatin1String(names[i])) {
            rule = TGetType(i);
            return true;
        }
    return false;
}

// Paths are carriers of argv's bytes: messages print those bytes as given.
QByteArray shown(const QString& path)
{
    return sq::platform::nativePath(path);
}

bool saveBmp(const QImage& image, const QString& path)
{
    const QImage out = image.format() == QImage::Format_RGB888
                           ? image
                           : image.convertToFormat(QImage::Format_RGB888);
    const char* format = path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) ? "PNG" : "BMP";
    // Encoded in memory and written by the path's bytes: QImage::save would
    // take the name as UTF-8 text.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!out.save(&buffer, format)) {
        std::fprintf(stderr, "sqimg: cannot encode %s\n", shown(path).constData());
        return false;
    }
    if (const int error = sq::platform::writeFileAtomically(path, bytes)) {
        std::fprintf(stderr, "sqimg: cannot write %s: %s\n", shown(path).constData(),
                     std::strerror(error));
        return false;
    }
    return true;
}

bool readPicture(const QString& path, QImage& image)
{
    sq::platform::SafeFile file(path, sq::kMaxBmpFileBytes);
    if (!file.isOpen()) {
        std::fprintf(stderr, "sqimg: cannot read %s\n", shown(path).constData());
        return false;
    }
    const std::unique_ptr<QFile> device = file.device();
    QImageReader reader(device.get());
    image = reader.read();
    if (image.isNull()) {
        std::fprintf(stderr, "sqimg: cannot read %s: %s\n", shown(path).constData(),
                     qPrintable(reader.errorString()));
        return false;
    }
    return true;
}

// mkdir -p by the path's bytes.
bool makeFolders(const QString& path)
{
    const QByteArray native = sq::platform::nativePath(sq::platform::absolutePathOf(path));
    for (qsizetype i = 1; i <= native.size(); ++i) {
        if (i < native.size() && native[i] != '/') continue;
        const QByteArray part = native.left(i);
        if (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST) return false;
    }
    return sq::platform::isFolderPath(path);
}

// The files of a folder in name order, by their bytes.
QStringList filesIn(const QString& folder)
{
    const sq::platform::ShellFolder shell(sq::platform::absolutePathOf(folder));
    std::vector<QByteArray> names;
    shell.enumObjects(sq::platform::ContNonFolders | sq::platform::ContIncludeHidden,
                      [&names](sq::platform::EnumItem&& e) {
                          names.push_back(std::move(e.name));
                          return true;
                      });
    std::sort(names.begin(), names.end());
    QStringList files;
    for (const QByteArray& name : names)
        files << sq::platform::joinPath(folder, sq::platform::pathFromNative(name));
    return files;
}

int cmdLoad(const QStringList& args)
{
    if (args.isEmpty()) return usage();
    QString file, out, textExt;
    int w = 160, h = 120;
    int aviPos = -1;
    TGetType rule = igtPreview;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QLatin1String("--size") && hasValue) {
            if (!parseSize(args[++i], w, h)) return usage();
        } else if (a == QLatin1String("--get-type") && hasValue) {
            if (!parseRule(args[++i], rule)) return usage();
        } else if (a == QLatin1String("--text-ext") && hasValue) {
            textExt = args[++i];
        } else if (a == QLatin1String("--avi-pos") && hasValue) {
            bool ok = false;
            aviPos = args[++i].toInt(&ok);
            if (!ok) return usage();
        } else if (a == QLatin1String("--out") && hasValue) {
            out = args[++i];
        } else if (file.isEmpty() && !a.startsWith(QLatin1String("--"))) {
            file = a;
        } else {
            return usage();
        }
    }
    TImgUtil util;
    sq::installPictureLoader(util);
    util.setGetType(rule);
    util.setTextExt(textExt);
    if (aviPos != -1) util.setAviFramePos(aviPos);
    const int result = util.LoadImage(file, w, h);
    std::printf("result=%d type=%s image=%dx%d bitmap=%dx%d icons=%d\n", result,
                kKindNames[util.ImageType()], util.ImageWidth(), util.ImageHeight(),
                util.Bitmap().width(), util.Bitmap().height(), util.IconCount());
    if (!out.isEmpty() && !util.Bitmap().isEmpty() && !saveBmp(util.Bitmap().image(), out))
        return 1;
    return 0;
}

int cmdResize(const QStringList& args, bool fit)
{
    if (args.size() != (fit ? 5 : 4)) return usage();
    bool okW = false, okH = false;
    const int w = args[1].toInt(&okW), h = args[2].toInt(&okH);
    TGetType rule = igtFit;
    if (!okW || !okH || w <= 0 || h <= 0 || (fit && !parseRule(args[3], rule))) return usage();
    QImage image;
    if (!readPicture(args[0], image)) return 1;
    if (fit)
        sq::FitBitmap(image, rule, w, h);
    else
        sq::ResizeBitmap(image, w, h);
    return saveBmp(image, args.last()) ? 0 : 1;
}

// The loupe's bilinear resampler on a 24-bit BMP. Paths are taken as the
// bytes given (argv), sizes must be whole numbers from 1 to 32768.
int cmdSmooth(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "sqimg smooth: expected IN.bmp W H OUT.bmp\n");
        return usage();
    }
    const QString in = sq::platform::pathFromNative(QByteArray(argv[2]));
    const QString out = sq::platform::pathFromNative(QByteArray(argv[5]));
    int size[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
        bool ok = false;
        size[k] = QByteArray(argv[3 + k]).toInt(&ok);
        if (!ok || size[k] < 1 || size[k] > 32768) {
            std::fprintf(stderr, "sqimg smooth: bad size '%s' (a whole number from 1 to 32768)\n",
                         argv[3 + k]);
            return 2;
        }
    }
    if (qint64(size[0]) * size[1] > (qint64(1) << 26)) {
        std::fprintf(stderr, "sqimg smooth: %dx%d is too large (at most 67108864 pixels)\n",
                     size[0], size[1]);
        return 2;
    }
    QImage image;
    QString error;
    if (!sq::readBmpFile(in, image, &error)) {
        std::fprintf(stderr, "sqimg smooth: cannot read %s: %s\n", argv[2], qPrintable(error));
        return 1;
    }
    const QImage smooth = sq::BilinearResize(image, size[0], size[1]);
    if (smooth.isNull()) {
        std::fprintf(stderr, "sqimg smooth: cannot make a %dx%d picture\n", size[0], size[1]);
        return 1;
    }
    if (!sq::writeBmpFile(out, smooth, &error)) {
        std::fprintf(stderr, "sqimg smooth: cannot write %s: %s\n", argv[5], qPrintable(error));
        return 1;
    }
    return 0;
}

int cmdThumbs(const QStringList& args)
{
    int w = 160, h = 120;
    QString cacheFolder;
    QStringList files;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--box") && i + 1 < args.size()) {
            if (!parseSize(args[++i], w, h)) return usage();
            continue;
        }
        if (args[i] == QLatin1String("--cache") && i + 1 < args.size()) {
            cacheFolder = args[++i];
            continue;
        }
        if (sq::platform::isFolderPath(args[i]))
            files << filesIn(args[i]);
        else
            files << args[i];
    }
    if (files.isEmpty()) return usage();
    TImgUtil util;
    sq::installPictureLoader(util);
    util.setGetType(igtStretch);
    TThumb thumb;
    if (!cacheFolder.isEmpty()) {
        if (!makeFolders(cacheFolder)) {
            std::fprintf(stderr, "sqimg: cannot make the folder %s\n",
                         shown(cacheFolder).constData());
            return 1;
        }
        thumb.setPath(cacheFolder);
        thumb.setPathType(iptFree);
        util.setThumbnail(&thumb);
        util.setAutoThumb(true);
    }
    int ok = 0, icons = 0, missing = 0, hits = 0;
    QElapsedTimer timer;
    timer.start();
    for (const QString& file : files) {
        const int r = util.LoadImage(file, w, h);
        hits += util.LastFromCache();
        if (r == 0)
            ++ok;
        else if (r == -1)
            ++icons;
        else
            ++missing;
    }
    std::printf("files=%lld ok=%d icons=%d missing=%d", (long long)files.size(), ok, icons,
                missing);
    if (!cacheFolder.isEmpty()) std::printf(" hits=%d", hits);
    std::printf(" seconds=%.3f\n", timer.nsecsElapsed() / 1e9);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // Answered before any Qt platform is set up.
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("sqimg %s\n", SQ_VERSION);
        return 0;
    }
    // Text pictures need fonts, which need a GUI platform; none is shown.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    // Qt's own options are taken out of argv by now. The rest are read by
    // their bytes: arguments() decodes them as UTF-8 and loses a file name
    // that is not.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << sq::platform::pathFromNative(QByteArray(argv[i]));
    if (args.isEmpty()) return usage();
    const QString command = args.takeFirst();
    if (command == QLatin1String("load")) return cmdLoad(args);
    if (command == QLatin1String("resize")) return cmdResize(args, false);
    if (command == QLatin1String("fit")) return cmdResize(args, true);
    if (command == QLatin1String("smooth")) return cmdSmooth(argc, argv);
    if (command == QLatin1String("thumbs")) return cmdThumbs(args);
    return usage();
}
