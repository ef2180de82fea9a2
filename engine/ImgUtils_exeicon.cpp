// The icons that programs, libraries, icon files and animated cursors carry,
// read with the bounds-checked readers of IconResources.
#include "engine/IconResources.h"
#include "engine/ImgUtils.h"
#include "platform/SafeRead.h"

#include <algorithm>
#include <sys/mman.h>

namespace {

// Icon and cursor files are read whole up to this: a full set of 256 x 256
// images, or an animation of dozens of them, stays far below it.
constexpr qint64 kMaxIconFileBytes = qint64(16) << 20;
// A PE file is addressed by 32-bit offsets; its resource section is read up
// to this, the rest of the file not at all.
constexpr qint64 kMaxPeFileBytes = qint64(4) << 30;
constexpr qint64 kMaxResourceBytes = qint64(256) << 20;
// The headers and the section table sit at the start of the file.
constexpr qint64 kPeHeadBytes = qint64(64) << 10;

// A file-sized buffer of zeros (untouched pages cost no memory) holding the
// PE headers and the resource section at their own offsets, so that the
// resource readers see file offsets unchanged. Other sections read as zeros,
// which the readers take as damage.
class PeImage
{
public:
    explicit PeImage(const QString& fileName)
    {
        const sq::platform::SafeFile file(fileName, kMaxPeFileBytes);
        if (!file.isOpen() || file.size() <= 0) return;
        const qint64 headSize = std::min(file.size(), kPeHeadBytes);
        void* p = ::mmap(nullptr, size_t(file.size()), PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED) return;
        m_data = static_cast<uint8_t*>(p);
        m_size = size_t(file.size());
        if (!file.readAt(0, reinterpret_cast<char*>(m_data), headSize)) {
            release();
            return;
        }
        const auto range = sq::icons::peResourceRange(sq::icons::Bytes(m_data, size_t(headSize)));
        if (!range) return; // the headers alone: no icons, but the file is a PE file
        const qint64 at = qint64(range->offset);
        if (at >= file.size()) return;
        const qint64 size = std::min({qint64(range->size), file.size() - at, kMaxResourceBytes});
        // A file cut short meanwhile leaves zeros: damage to the readers.
        file.readAt(at, reinterpret_cast<char*>(m_data) + at, size);
    }
    ~PeImage() { release(); }
    PeImage(const PeImage&) = delete;
    PeImage& operator=(const PeImage&) = delete;

    bool isValid() const { return m_data != nullptr; }
    sq::icons::Bytes bytes() const { return sq::icons::Bytes(m_data, m_size); }

private:
    void release()
    {
        if (m_data) ::munmap(m_data, m_size);
        m_data = nullptr;
        m_size = 0;
    }

    uint8_t* m_data = nullptr;
    size_t m_size = 0;
};

} // namespace

QImage TImgUtil::fileOwnIcon(const QString& fileName, int iconIndex)
{
    const bool pe = m_imageType == iitExe || m_imageType == iitDll;
    if (!pe && m_imageType != iitAni && m_imageType != iitIco && m_imageType != iitCur) return {};
    QImage icon;
    if (pe) {
        const PeImage image(fileName);
        if (!image.isValid()) return {};
        if (m_iconCount == 0) {
            m_iconCount = -1; // while counting
            m_iconCount = int(sq::icons::readPeIconGroups(image.bytes()).groups.size());
        }
        icon = sq::icons::readPeIcon(image.bytes(), std::max(0, iconIndex));
    } else {
        const QByteArray file = sq::platform::readWholeFile(fileName, kMaxIconFileBytes);
        if (file.isEmpty()) return {};
        const sq::icons::Bytes bytes(reinterpret_cast<const uint8_t*>(file.constData()),
                                     size_t(file.size()));
        icon = m_imageType == iitAni ? sq::icons::readAniFirstFrame(bytes)
                                     : sq::icons::readIconFile(bytes);
    }
    // The picture must not point into the buffer once it is gone.
    icon = icon.copy();
    if (!icon.isNull() && icon.size() != QSize(sq::icons::kLargeIconSide, sq::icons::kLargeIconSide))
        icon = icon.scaled(sq::icons::kLargeIconSide, sq::icons::kLargeIconSide, Qt::KeepAspectRatio,
                           Qt::SmoothTransformation);
    return icon;
}
