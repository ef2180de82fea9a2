// The program's side of the formats module: the host table, the loader and
// the readers' names, each forwarding to the module. A reader whose module
// is missing fails as on a damaged file.

#include "engine/FormatModule.h"

#include "engine/ImgUtils.h"
#include "engine/ImgUtils_meta.h"
#include "engine/TextLines.h"
#include "platform/DataFolder.h"
#include "platform/NativePath.h"
#include "platform/SafeRead.h"

#include <dlfcn.h>

#include <cstdio>
#include <mutex>

namespace sq::formats {

namespace {

bool hostReadAt(const platform::SafeFile& file, qint64 pos, char* buf, qint64 len)
{
    return file.readAt(pos, buf, len);
}

const Host kHost{kVersion, sizeof(Host), &sq::decodeJpeg, &sq::jpegSize, &sq::decodeText,
                 &hostReadAt};

const Readers* openModule()
{
    QString errors;
    for (const QString& path : modulePaths()) {
        if (platform::pathKind(path) != platform::PathKind::Regular) continue;
        void* handle = ::dlopen(platform::nativePath(path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            errors += QString::fromLocal8Bit(::dlerror()) + QLatin1Char('\n');
            continue;
        }
        const auto entry = reinterpret_cast<EntryPoint>(::dlsym(handle, kEntryName));
        const Readers* r = entry ? entry(&kHost) : nullptr;
        if (r && r->version == kVersion && r->size == sizeof(Readers)) return r;
        errors += path + QStringLiteral(": not this program's formats module\n");
        ::dlclose(handle);
    }
    std::fprintf(stderr,
                 "sorrelquint: the formats module (sorrelquint-formats.so) cannot be "
                 "loaded; HEIF, JPEG XL, RAW, mail and metafile pictures are not shown\n%s",
                 errors.toLocal8Bit().constData());
    return nullptr;
}

} // namespace

QStringList modulePaths()
{
    const QString name = QStringLiteral("sorrelquint-formats.so");
    QStringList paths;
    const QString exe = platform::executableFolder();
    if (!exe.isEmpty()) {
        paths << exe + QLatin1Char('/') + name;
        paths << exe + QStringLiteral("/../lib/sorrelquint/modules/") + name;
    }
#ifdef SQ_FORMATS_BUILD_PATH
    // Tests and benchmarks run from folders of their own in the build tree.
    paths << QStringLiteral(SQ_FORMATS_BUILD_PATH);
#endif
    return paths;
}

const Readers* readers()
{
    static std::once_flag once;
    static const Readers* r = nullptr;
    std::call_once(once, [] { r = openModule(); });
    return r;
}

} // namespace sq::formats

namespace sq {

using formats::readers;

DecodedPicture decodeHeif(const QByteArray& bytes, QSize box, qint64 maxPixels)
{
    const auto* r = readers();
    return r ? r->decodeHeif(bytes, box, maxPixels) : DecodedPicture{};
}

bool heifDerivedItemsBounded(const QByteArray& bytes, qint64 maxPixels)
{
    const auto* r = readers();
    return r && r->heifDerivedItemsBounded(bytes, maxPixels);
}

qint64 heifDecodeCost(const platform::SafeFile& file, QSize box, qint64 maxPixels)
{
    const auto* r = readers();
    return r ? r->heifDecodeCost(file, box, maxPixels) : 0;
}

DecodedPicture decodeJxl(const QByteArray& bytes, QSize box, qint64 maxPixels)
{
    const auto* r = readers();
    return r ? r->decodeJxl(bytes, box, maxPixels) : DecodedPicture{};
}

qint64 jxlDecodeCost(const platform::SafeFile& file, qint64 maxPixels)
{
    const auto* r = readers();
    return r ? r->jxlDecodeCost(file, maxPixels) : 0;
}

DecodedPicture decodeRaw(const QByteArray& bytes, QSize box, qint64 maxPixels)
{
    const auto* r = readers();
    return r ? r->decodeRaw(bytes, box, maxPixels) : DecodedPicture{};
}

DecodedPicture decodeRawFile(const platform::SafeFile& file, QSize box, qint64 maxPixels,
                             qint64* bytesRead)
{
    if (bytesRead) *bytesRead = 0;
    const auto* r = readers();
    return r ? r->decodeRawFile(file, box, maxPixels, bytesRead) : DecodedPicture{};
}

qint64 rawDecodeCost(const platform::SafeFile& file, QSize box, qint64 maxPixels)
{
    const auto* r = readers();
    return r ? r->rawDecodeCost(file, box, maxPixels) : 0;
}

bool mail::parseMail(const QByteArray& bytes, MailParts* parts)
{
    const auto* r = readers();
    return r && r->parseMail(bytes, parts);
}

QSize meta::emfSize(const QByteArray& bytes, qsizetype* used)
{
    const auto* r = readers();
    return r ? r->emfSize(bytes, used) : QSize();
}

QImage meta::renderEmf(const QByteArray& bytes, QSize size, const QColor& background)
{
    const auto* r = readers();
    return r ? r->renderEmf(bytes, size, background) : QImage();
}

QSize meta::wmfSize(const QByteArray& bytes)
{
    const auto* r = readers();
    return r ? r->wmfSize(bytes) : QSize();
}

QImage meta::renderWmf(const QByteArray& bytes, QSize size, const QColor& background)
{
    const auto* r = readers();
    return r ? r->renderWmf(bytes, size, background) : QImage();
}

} // namespace sq
