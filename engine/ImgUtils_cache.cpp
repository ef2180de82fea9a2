// The thumbnail cache as seen from TImgUtil: a lookup before decoding, and
// every thumbnail made handed to the cache as a JPEG stream.
#include "engine/ImgUtils.h"
#include "engine/ImgUtils_thumb.h"

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
        if (!m_thumbnail->Find(fileName, stream))
            return false;
        entry = m_thumbnail->currentEntry();
    }
    const QSize picture(entry.pictureWidth, entry.pictureHeight);
    // A cached stream that does not decode is a miss: the picture is made anew.
    if (m_getType == igtNormal) {
        QImage full = sq::decodeJpeg(stream, 1, m_performance == jpBestSpeed);
        if (full.isNull())
            return false;
        m_imageWidth = picture.width();
        m_imageHeight = picture.height();
        m_bitmap.setImage(std::move(full));
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
    TThumbEntry& entry = m_thumbnail->currentEntry();
    entry.flags = 0;
    entry.thumbWidth = m_bitmap.width();
    entry.thumbHeight = m_bitmap.height();
    entry.pictureWidth = m_imageWidth;
    entry.pictureHeight = m_imageHeight;
    entry.reserved = 0;
    m_thumbnail->Add(fileName, stream);
}
