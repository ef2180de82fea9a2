// The process-wide icon list standing in for the desktop's system image
// list: the freedesktop theme icon of a file's MIME type, read as PNG at
// 32 x 32 (large) and 16 x 16 (small). Thread-safe; usable from the
// thumbnail worker (QImage only, never QPixmap).
#pragma once

#include <QImage>
#include <QString>

namespace sq::platform {

class IconList
{
public:
    static IconList& instance();

    // Index of the icon the desktop shows for this file or folder; always
    // valid (a generic icon when the theme has none).
    int indexForPath(const QString& path);
    // Index for a MIME type name (e.g. "image/jpeg", "inode/directory").
    int indexForMimeType(const QString& mimeName);

    QImage large(int index) const; // 32 x 32, ARGB32 premultiplied
    QImage small(int index) const; // 16 x 16
    int count() const;

    // Themes searched first to last; Adwaita and hicolor are always last.
    static QStringList themeNames();

private:
    IconList();
    struct Impl;
    Impl* d;
};

} // namespace sq::platform
