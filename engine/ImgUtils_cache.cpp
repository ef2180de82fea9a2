// The thumbnail cache as seen from TImgUtil: a lookup before decoding, and
// every thumbnail made handed to the cache as a JPEG stream.
#include "platform/StartTrace.h"
#include "engine/ImgUtils.h"
#include "engine/ImgUtils_thumb.h"

#include "engine/ColourManage.h"
#include "engine/ExifOrientation.h"

namespace {

// The cache lock when the engine has one; nothing otherwise.
std::unique_lock<std::mutex> lockCache(std::mutex* lock)
{
    return lock ? std::unique_lock<std::mutex>(*lock) : std::unique_lock<std::mutex>();
}

} // namespace

bool TImgUtil::LoadFromCache(const QString& fileName, int width, int height)
{
    if (!m_thumbnail)
        return false;
    QByteArray stream;
    TThumbEntry entry;
    {
        // Only the look-up holds the lock; the decoding runs beside the others.
        const auto lock = lockCache(m_cacheLock);
        m_thumbnail->setDeviceScale(m_cacheScale);
        if (!m_thumbnail->Find(fileName, stream))
            return false;
        entry = m_thumbnail->currentEntry();
    }
    if (!colourEntryValid(entry.flags)) return false;
    QSize picture(entry.pictureWidth, entry.pictureHeight);
    // An entry from before thumbnails were turned upright holds a JPEG as
    // stored: it is turned here (and its picture size with it) rather than
    // dropped, which would rewrite the cache file once per entry.
    int orientation = sq::kOrientationUpright;
    if (!(entry.flags & UprightFlag) && m_imageType == iitJpeg)
        orientation = sq::jpegFileOrientation(fileName);
    // A cached stream that does not decode is a miss: the picture is made anew.
    if (m_getType == igtNormal || orientation != sq::kOrientationUpright) {
        QImage thumb = sq::decodeJpeg(stream, 1, m_performance == jpBestSpeed);
        if (thumb.isNull())
            return false;
        m_imageWidth = picture.width();
        m_imageHeight = picture.height();
        m_bitmap.setImage(std::move(thumb));
        if (orientation != sq::kOrientationUpright) {
            picture = sq::orientedSize(picture, orientation);
            m_imageWidth = picture.width();
            m_imageHeight = picture.height();
            m_bitmap.setImage(sq::orientImage(m_bitmap.take(), orientation));
            if (m_bitmap.isEmpty()) return false;
            FitBitmap(m_bitmap, width, height);
        }
        return true;
    }
    return JpegToBitmap(stream, width, height, picture) == 0;
}

void TImgUtil::SaveToCache(const QString& fileName)
{
    if (m_getType == igtNormal || !m_autoThumb || !m_thumbnail || m_bitmap.isEmpty())
        return;
    const QByteArray stream = sq::encodeJpeg(m_bitmap.image(), m_quality, m_performance == jpBestSpeed);
    if (stream.isEmpty())
        return;
    const auto lock = lockCache(m_cacheLock);
    m_thumbnail->setDeviceScale(m_cacheScale);
    TThumbEntry& entry = m_thumbnail->currentEntry();
    entry.flags = UprightFlag | colourFlags();
    entry.thumbWidth = m_bitmap.width();
    entry.thumbHeight = m_bitmap.height();
    entry.pictureWidth = m_imageWidth;
    entry.pictureHeight = m_imageHeight;
    entry.reserved = 0;
    m_thumbnail->Add(fileName, stream);
    sq::platform::traceStart("thumbnail cached");
}

bool TImgUtil::colourEntryValid(qint32 flags) const
{
    // Without a colour setting every entry is taken as it is.
    if (!m_colourNow) return true;
    const bool on = m_colourNow->on;
    if (!(flags & ColourNotedFlag)) {
        // Made before colours were managed: right while they are not, and
        // for the kinds that never carry a profile.
        return !on || (m_imageType != iitJpeg && m_imageType != iitCustom);
    }
    if (!(flags & ProfiledFlag)) return true;
    if (!(flags & ConvertedFlag)) return !on;
    return on && quint16(quint32(flags) >> 16) == m_colourNow->key;
}

qint32 TImgUtil::colourFlags() const
{
    if (!m_colourNow) return 0;
    qint32 flags = ColourNotedFlag;
    if (m_lastProfiled) flags |= ProfiledFlag;
    // Made with colours managed, converted or not (a display profile equal
    // to the picture's): right for this display only.
    if (m_lastProfiled && m_colourNow->on) flags |= ConvertedFlag | qint32(quint32(m_colourNow->key) << 16);
    return flags;
}
