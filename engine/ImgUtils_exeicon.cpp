// The icons that programs, libraries, icon files and animated cursors carry,
// read with the bounds-checked readers of IconResources.
#include "engine/IconResources.h"
#include "engine/ImgUtils.h"

#include <QFile>

namespace {

// Icon-carrying files beyond this are not read: a PE's resources sit in its
// mapped image, but nothing sane holds icons in a larger one.
constexpr qint64 kMaxIconFileBytes = qint64(1) << 30;

} // namespace

QImage TImgUtil::fileOwnIcon(const QString& fileName, int iconIndex)
{
    const bool pe = m_imageType == iitExe || m_imageType == iitDll;
    if (!pe && m_imageType != iitAni && m_imageType != iitIco && m_imageType != iitCur)
        return {};
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0 || file.size() > kMaxIconFileBytes)
        return {};
    const uchar* data = file.map(0, file.size());
    if (!data)
        return {};
    const sq::icons::Bytes bytes(data, size_t(file.size()));
    QImage icon;
    if (pe) {
        if (m_iconCount == 0) {
            m_iconCount = -1; // while counting
            m_iconCount = int(sq::icons::readPeIconGroups(bytes).groups.size());
        }
        icon = sq::icons::readPeIcon(bytes, std::max(0, iconIndex));
    } else if (m_imageType == iitAni) {
        icon = sq::icons::readAniFirstFrame(bytes);
    } else {
        icon = sq::icons::readIconFile(bytes);
    }
    // The picture must not point into the mapping once the file is closed.
    icon = icon.copy();
    if (!icon.isNull() && icon.size() != QSize(sq::icons::kLargeIconSide, sq::icons::kLargeIconSide))
        icon = icon.scaled(sq::icons::kLargeIconSide, sq::icons::kLargeIconSide, Qt::KeepAspectRatio,
                           Qt::SmoothTransformation);
    return icon;
}
