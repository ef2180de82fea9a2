#include "engine/ImgUtils_susie.h"

#include "platform/NativePath.h"
#include "platform/SafeRead.h"

#include <QtEndian>

#include <cstdlib>
#include <dlfcn.h>
#include <malloc.h>

TSPlugin::TSPlugin() = default;

TSPlugin::~TSPlugin()
{
    for (Entry& e : m_entries)
        ::dlclose(e.library);
}

bool TSPlugin::addPlugin(const QString& libraryPath)
{
    void* lib = ::dlopen(sq::platform::nativePath(libraryPath).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!lib)
        return false;
    Entry e;
    e.name = libraryPath;
    e.library = lib;
    e.isSupported = reinterpret_cast<SusieIsSupported>(::dlsym(lib, "IsSupported"));
    e.getPicture = reinterpret_cast<SusieGetPicture>(::dlsym(lib, "GetPicture"));
    e.getPreview = reinterpret_cast<SusieGetPicture>(::dlsym(lib, "GetPreview"));
    if (!e.isSupported || !e.getPicture) {
        ::dlclose(lib);
        return false;
    }
    m_entries.push_back(e);
    return true;
}

bool TSPlugin::accepts(const Entry& e, const QString& fileName) const
{
    // A plug-in opens the file itself: it never sees anything but a
    // regular file, so that it cannot be made to wait on a FIFO.
    sq::platform::SafeFile file(fileName);
    if (!file.isOpen()) return false;
    char head[HeadSize] = {};
    if (file.read(head, HeadSize) < 0) return false;
    return e.isSupported(sq::platform::nativePath(fileName).constData(), head) != 0;
}

int TSPlugin::FindPlugin(const QString& fileName) const
{
    int found = -1;
    for (int i = 0; i < count(); ++i)
        if (accepts(m_entries[size_t(i)], fileName))
            found = i;
    return found;
}

int TSPlugin::load(Entry& e, const QString& fileName, QImage& bitmap)
{
    const QByteArray name = sq::platform::nativePath(fileName);
    void* info = nullptr;
    void* bits = nullptr;
    int code = -1;
    if (e.preview && e.getPreview)
        code = e.getPreview(name.constData(), 0, 0, &info, &bits, nullptr, 0);
    if (code != 0) {
        std::free(info);
        std::free(bits);
        info = bits = nullptr;
        code = e.getPicture(name.constData(), 0, 0, &info, &bits, nullptr, 0);
    }
    if (code == 0) {
        const QImage img = info && bits ? dibToImage(info, malloc_usable_size(info), bits,
                                                     malloc_usable_size(bits))
                                        : QImage();
        if (img.isNull())
            code = BrokenData;
        else
            bitmap = img;
    }
    std::free(info);
    std::free(bits);
    return code;
}

int TSPlugin::LoadBitmap(const QString& fileName, QImage& bitmap)
{
    int result = NoPlugin;
    for (Entry& e : m_entries) {
        if (!accepts(e, fileName))
            continue;
        e.preview = m_preview;
        result = load(e, fileName, bitmap);
        if (result == 0)
            break;
    }
    return result;
}

QImage dibToImage(const void* infoBlock, size_t infoSize, const void* bitsBlock, size_t bitsSize)
{
    const auto* info = static_cast<const uchar*>(infoBlock);
    const auto* bits = static_cast<const uchar*>(bitsBlock);
    if (infoSize < 40)
        return {};
    const quint32 headerSize = qFromLittleEndian<quint32>(info);
    const qint32 width = qFromLittleEndian<qint32>(info + 4);
    const qint32 rawHeight = qFromLittleEndian<qint32>(info + 8);
    const int bitCount = qFromLittleEndian<quint16>(info + 14);
    const quint32 compression = qFromLittleEndian<quint32>(info + 16);
    quint32 used = qFromLittleEndian<quint32>(info + 32);
    if (headerSize < 40 || headerSize > infoSize || width <= 0 || rawHeight == 0 ||
        rawHeight == INT32_MIN || compression != 0)
        return {};
    const qint64 height = rawHeight < 0 ? -qint64(rawHeight) : rawHeight;
    if (qint64(width) * height > TSPlugin::MaxPixels)
        return {};
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32)
        return {};
    QList<QRgb> palette;
    if (bitCount <= 8) {
        const quint32 maxColours = 1u << bitCount;
        if (used == 0 || used > maxColours)
            used = maxColours;
        if (headerSize + qint64(used) * 4 > qint64(infoSize))
            return {};
        for (quint32 i = 0; i < used; ++i) {
            const uchar* q = info + headerSize + 4 * i;
            palette << qRgb(q[2], q[1], q[0]);
        }
        while (palette.size() < int(maxColours))
            palette << qRgb(0, 0, 0);
    }
    const qint64 stride = (qint64(bitCount) * width + 31) / 32 * 4;
    if (stride * height > qint64(bitsSize))
        return {};
    QImage out(width, int(height), QImage::Format_RGB888);
    if (out.isNull())
        return {};
    for (int y = 0; y < int(height); ++y) {
        const uchar* row = bits + stride * (rawHeight < 0 ? y : height - 1 - y);
        uchar* o = out.scanLine(y);
        for (int x = 0; x < width; ++x, o += 3) {
            QRgb c;
            switch (bitCount) {
            case 24: c = qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]); break;
            case 32: c = qRgb(row[4 * x + 2], row[4 * x + 1], row[4 * x]); break;
            case 8: c = palette[row[x]]; break;
            case 4: c = palette[(row[x / 2] >> (x % 2 ? 0 : 4)) & 15]; break;
            default: c = palette[(row[x / 8] >> (7 - x % 8)) & 1]; break;
            }
            o[0] = uchar(qRed(c));
            o[1] = uchar(qGreen(c));
            o[2] = uchar(qBlue(c));
        }
    }
    return out;
}
