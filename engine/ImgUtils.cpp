#include "engine/ImgUtils.h"

#include "engine/ColourManage.h"
#include "engine/ImgUtils_susie.h"
#include "engine/TextLines.h"
#include "platform/IconList.h"
#include "engine/ReadCeiling.h"
#include "platform/SafeRead.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <exception>

namespace {

// The part of the last path component from its last dot on, lower-cased.
QString extensionOf(const QString& fileName)
{
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash)
        return {};
    return fileName.mid(dot).toLower();
}

struct KindByExtension
{
    const char* ext;
    TImageType kind;
};

// Compared in this order, exactly.
const KindByExtension kKinds[] = {
    {".bmp", iitBmp},   {".jpg", iitJpeg}, {".jpeg", iitJpeg}, {".ico", iitIco},  {".cur", iitCur},
    {".ani", iitAni},   {".emf", iitEmf},  {".wmf", iitWmf},   {".exe", iitExe},  {".dll", iitDll},
    {".html", iitHtml}, {".htm", iitHtml}, {".eml", iitEml},   {".txt", iitTxt},  {".avi", iitAvi},
};


} // namespace

TImgUtil::TImgUtil() : m_colour(&sq::ColourSetting::program())
{
    m_font.setPointSize(12);
}

TImgUtil::~TImgUtil() = default;

void TImgUtil::setQuality(int quality)
{
    if (quality >= 1 && quality <= 100)
        m_quality = quality;
}

void TImgUtil::setBKColor(const QColor& color)
{
    if (color == m_bkColor)
        return;
    m_bkColor = color;
    if (OnChange)
        OnChange(this);
}

void TImgUtil::setAviFramePos(int pos)
{
    if (pos >= 0 && pos <= 100)
        m_aviFramePos = pos;
}

void TImgUtil::setTextExt(const QString& ext)
{
    if (ext != m_textExt)
        m_textExt = ext.toLower();
    QString list = m_textExt.toLower();
    if (!list.isEmpty()) {
        if (!list.startsWith(QLatin1Char(';')))
            list.prepend(QLatin1Char(';'));
        if (!list.endsWith(QLatin1Char(';')))
            list.append(QLatin1Char(';'));
        list.remove(QLatin1Char('*'));
    }
    m_textExtList = list;
}

bool TImgUtil::IsTextExt(const QString& fileName) const
{
    if (m_textExtList.isEmpty())
        return false;
    const QString ext = extensionOf(fileName);
    if (ext.isEmpty() || ext == QLatin1String("."))
        return false;
    return m_textExtList.contains(ext);
}

int TImgUtil::GetImageType(const QString& fileName)
{
    if (m_customLoader && m_customLoader->CanLoad(fileName)) {
        m_imageType = iitCustom;
        return 0;
    }
    const QString ext = extensionOf(fileName);
    if (ext.isEmpty()) {
        // A folder (the root "/" included) whose name has no extension.
        m_imageType = sq::platform::pathKind(fileName) == sq::platform::PathKind::Directory
                          ? iitDir
                          : iitNone;
        return m_imageType == iitDir ? 0 : 3;
    }
    for (const KindByExtension& k : kKinds)
        if (ext == QLatin1String(k.ext)) {
            m_imageType = k.kind;
            return 0;
        }
    if (IsTextExt(fileName)) {
        m_imageType = iitTxt;
        return 0;
    }
    if (m_splugin && m_splugin->FindPlugin(fileName) >= 0) {
        m_imageType = iitSusie;
        return 0;
    }
    m_imageType = iitNone;
    return 3;
}

void TImgUtil::Clear()
{
    m_imageType = iitNone;
    m_iconIndex = -1;
    m_iconCount = 0;
    m_lastFromCache = false;
    m_lastProfiled = false;
    m_lastConverted = false;
    m_lastWatched = false;
    m_bitmap.empty();
}

TImgResult TImgUtil::TakeResult()
{
    TImgResult r{m_bitmap.take(), m_imageType, m_imageWidth, m_imageHeight,
                 m_iconCount, m_iconIndex, m_lastFromCache};
    Clear();
    return r;
}

void TImgUtil::SetResult(TImgResult result)
{
    m_bitmap.setImage(std::move(result.Bitmap));
    m_imageType = result.ImageType;
    m_imageWidth = result.ImageWidth;
    m_imageHeight = result.ImageHeight;
    m_iconCount = result.IconCount;
    m_iconIndex = result.IconIndex;
    m_lastFromCache = result.FromCache;
    m_lastWatched = false;
}

int TImgUtil::LoadImage(const QString& fileName, int width, int height, int iconIndex)
{
    Clear();
    m_colourNow = m_colour ? m_colour->current() : nullptr;
    if (sq::platform::pathKind(fileName) == sq::platform::PathKind::Missing) return 1;
    if (GetImageType(fileName) == 3)
        return DrawFileIcon(fileName, iconIndex);
    if (sq::isIconKind(m_imageType))
        return DrawFileIcon(fileName, iconIndex);
    if (m_getType != igtNormal && m_autoThumb && LoadFromCache(fileName, width, height)) {
        m_lastFromCache = true;
        return 0;
    }
    const int r = DecodeImage(fileName, width, height);
    if (r == 0)
        SaveToCache(fileName);
    return r;
}

int TImgUtil::DecodeImage(const QString& fileName, int width, int height)
{
    int r = -1;
    try {
        // With SusiePriority a plug-in takes over every decoded kind, but
        // never the custom loader (the icon kinds never get here).
        const bool susie = m_splugin && m_imageType != iitCustom &&
                           (m_imageType == iitSusie || (m_susiePriority && m_splugin->FindPlugin(fileName) >= 0));
        // Memory for the picture is reserved before anything is decoded.
        const qint64 cost = susie || !m_budget ? 0 : decodeCost(fileName, width, height);
        sq::DecodeBudget::Hold hold;
        if (cost > 0) hold = m_budget->reserve(cost, m_cancel);
        if (cost > 0 && !hold) {
            r = -1; // stopped while it waited
        } else if (susie) {
            QImage picture;
            r = m_splugin->LoadBitmap(fileName, picture) == 0 ? 0 : -1;
            if (r == 0) {
                m_bitmap.setImage(std::move(picture));
                m_imageWidth = m_bitmap.width();
                m_imageHeight = m_bitmap.height();
                finishLoad(width, height);
            }
        } else {
            r = decodeByKind(fileName, width, height);
        }
    } catch (const std::exception&) {
        r = -1;
    } catch (...) {
        r = -1;
    }
    if (r != 0) {
        DrawFileIcon(fileName, 0);
        return r;
    }
    return 0;
}

int TImgUtil::decodeByKind(const QString& fileName, int width, int height)
{
    int r = -1;
    switch (m_imageType) {
    case iitCustom:
    {
        TLoadInfo info;
        const QSize box = m_getType != igtNormal ? QSize(width, height) : QSize();
        r = m_customLoader && m_customLoader->LoadToBitmapFor(fileName, m_bitmap, box, info) &&
                    !m_bitmap.isEmpty()
                ? 0
                : -1;
        if (r == 0) {
            const QByteArray profile = m_bitmap.IccProfile();
            // A picture with alpha is converted before it is laid on the
            // background, so that the background keeps its own colour; an
            // opaque one after it is fitted, which costs less.
            const bool alpha = m_bitmap.image().hasAlphaChannel();
            if (alpha && !profile.isEmpty()) {
                if (m_bitmap.image().format() != QImage::Format_ARGB32)
                    m_bitmap.setImage(m_bitmap.image().convertToFormat(QImage::Format_ARGB32));
                applyColour(profile);
            }
            m_bitmap.setImage(sq::flattenOnto(m_bitmap.image(), m_bkColor));
            const QSize own = info.pictureSize.isValid() ? info.pictureSize : m_bitmap.image().size();
            m_imageWidth = own.width();
            m_imageHeight = own.height();
            finishLoad(width, height);
            if (!alpha) applyColour(profile);
        }
        break;
    }
    case iitBmp:
        r = loadBmp(fileName);
        if (r == 0)
            finishLoad(width, height);
        break;
    case iitJpeg:
        r = loadJpeg(fileName, width, height); // fits the picture itself
        break;
    case iitTxt:
        r = loadText(fileName, width, height);
        if (r == 0)
            finishLoad(width, height);
        break;
    case iitEmf:
    case iitWmf:
        r = loadMetafile(fileName);
        if (r == 0)
            finishLoad(width, height);
        break;
    case iitHtml:
    case iitEml:
        r = loadDocument(fileName, width, height); // resizes the page itself
        break;
    case iitAvi:
        r = loadAvi(fileName);
        if (r == 0)
            finishLoad(width, height);
        break;
    default:
        r = -1;
        break;
    }
    return r;
}

void TImgUtil::finishLoad(int width, int height)
{
    if (m_getType != igtNormal)
        FitBitmap(m_bitmap, width, height);
}

void TImgUtil::applyColour(const QByteArray& profile)
{
    if (profile.isEmpty() || !m_colourNow) return;
    if (sq::classifyProfile(profile) != sq::ProfileKind::Other) return;
    m_lastProfiled = true;
    m_lastConverted = sq::convertToDisplay(m_bitmap.image(), profile, *m_colourNow);
}

namespace {

// The largest BMP read: MaxPixels at four bytes a pixel, plus headers and a
// colour table. Qt's reader reads the rows as it goes; the cap only keeps a
// huge file of something else from being walked.
constexpr qint64 kMaxBmpBytes = TImgUtil::MaxPixels * 4 + (qint64(1) << 20);

// False when an uncompressed BMP holds fewer pixel bytes than its header
// promises (a cut-off file), which Qt's reader would pad silently.
bool bmpComplete(const sq::platform::SafeFile& file)
{
    char raw[54] = {};
    const qint64 got = std::min<qint64>(file.size(), sizeof raw);
    if (got < 26 || !file.readAt(0, raw, got)) return false;
    const QByteArray head(raw, int(got));
    const auto u32 = [&head](int at) {
        return quint32(uchar(head[at])) | quint32(uchar(head[at + 1])) << 8 | quint32(uchar(head[at + 2])) << 16 |
               quint32(uchar(head[at + 3])) << 24;
    };
    const auto u16 = [&head](int at) { return quint32(uchar(head[at])) | quint32(uchar(head[at + 1])) << 8; };
    const quint32 infoSize = u32(14);
    if (infoSize < 40 || head.size() < 34)
        return true; // old OS/2 headers: left to the reader
    const qint64 width = qint32(u32(18));
    const qint64 height = std::abs(qint64(qint32(u32(22))));
    const qint64 bits = u16(28);
    const quint32 compression = u32(30);
    if (compression != 0 && compression != 3)
        return true; // run-length data has no fixed size
    const qint64 rowBytes = ((bits * width + 31) / 32) * 4;
    return file.size() >= qint64(u32(10)) + rowBytes * height;
}

} // namespace

int TImgUtil::loadBmp(const QString& fileName)
{
    const sq::platform::SafeFile file(fileName, kMaxBmpBytes);
    if (!file.isOpen() || !bmpComplete(file)) return -1;
    const std::unique_ptr<QFile> device = file.device();
    if (!device) return -1;
    QImageReader reader(device.get(), "bmp");
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > MaxPixels)
        return -1;
    const sq::LargeImageRead ceiling(size);
    QImage image = reader.read();
    if (image.isNull())
        return -1;
    m_imageWidth = image.width();
    m_imageHeight = image.height();
    m_bitmap.setImage(std::move(image));
    return 0;
}

QImage sq::flattenOnto(const QImage& image, const QColor& background)
{
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB888);
    const QImage src = image.convertToFormat(QImage::Format_ARGB32);
    if (src.isNull())
        return {};
    QImage out(src.size(), QImage::Format_RGB888);
    if (out.isNull())
        return {};
    const int bk[3] = {background.red(), background.green(), background.blue()};
    for (int y = 0; y < src.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(src.constScanLine(y));
        uchar* o = out.scanLine(y);
        for (int x = 0; x < src.width(); ++x) {
            const int a = qAlpha(in[x]);
            const int c[3] = {qRed(in[x]), qGreen(in[x]), qBlue(in[x])};
            for (int i = 0; i < 3; ++i)
                *o++ = uchar((c[i] * a + bk[i] * (255 - a) + 127) / 255);
        }
    }
    return out;
}

int TImgUtil::DrawFileIcon(const QString& fileName, int iconIndex)
{
    QImage icon = fileOwnIcon(fileName, iconIndex);
    if (icon.isNull()) {
        auto& list = sq::platform::IconList::instance();
        icon = list.large(list.indexForPath(fileName));
    }
    QImage bitmap(icon.width(), icon.height(), QImage::Format_RGB888);
    bitmap.fill(m_bkColor);
    {
        QPainter painter(&bitmap);
        painter.drawImage(0, 0, icon);
    }
    m_imageWidth = bitmap.width();
    m_imageHeight = bitmap.height();
    m_bitmap.setImage(std::move(bitmap));
    m_iconIndex = iconIndex;
    return 0;
}

