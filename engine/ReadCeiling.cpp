#include "engine/ReadCeiling.h"

#include "engine/ImgUtils.h"

#include <QImageReader>

#include <mutex>

namespace sq {

namespace {

// The reads that hold the ceiling raised, and the value to put back.
struct Raises
{
    std::mutex mutex;
    int readers = 0;
    int saved = 0;
};

Raises& raises()
{
    static Raises r;
    return r;
}

} // namespace

int LargeImageRead::raisedMiB()
{
    return int(TImgUtil::MaxPixels * 4 / (1024 * 1024));
}

LargeImageRead::LargeImageRead(QSize declared)
{
    // Sixteen-bit channels with alpha are the widest pixels Qt's readers give.
    const qint64 bytes = qint64(declared.width()) * declared.height() * 8;
    Raises& r = raises();
    const std::lock_guard<std::mutex> lock(r.mutex);
    const int current = r.readers > 0 ? r.saved : QImageReader::allocationLimit();
    // 0 is no ceiling at all.
    if (current == 0 || current >= raisedMiB() || bytes <= qint64(current) * 1024 * 1024) return;
    if (r.readers++ == 0) {
        r.saved = current;
        QImageReader::setAllocationLimit(raisedMiB());
    }
    m_raised = true;
}

LargeImageRead::~LargeImageRead()
{
    if (!m_raised) return;
    Raises& r = raises();
    const std::lock_guard<std::mutex> lock(r.mutex);
    if (--r.readers == 0) QImageReader::setAllocationLimit(r.saved);
}

} // namespace sq
