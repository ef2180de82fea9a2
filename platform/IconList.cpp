#include "platform/IconList.h"

#include "platform/NativePath.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QMutex>
#include <QPainter>
#include <QSettings>

#include <sys/stat.h>
#include <vector>

namespace sq::platform {

namespace {

QStringList iconRoots()
{
    QStringList roots{QDir::homePath() + QStringLiteral("/.local/share/icons"),
                      QDir::homePath() + QStringLiteral("/.icons")};
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty())
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        roots << dir + QStringLiteral("/icons");
    return roots;
}

// A plain sheet with a folded corner, for a type no theme knows.
QImage drawnGenericIcon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    const int m = size / 8;
    const int fold = size / 4;
    QPolygon sheet({QPoint(m + 2, m), QPoint(size - m - 2 - fold, m), QPoint(size - m - 2, m + fold),
                    QPoint(size - m - 2, size - m - 1), QPoint(m + 2, size - m - 1)});
    p.setPen(QColor(96, 96, 96));
    p.setBrush(Qt::white);
    p.drawPolygon(sheet);
    p.drawLine(size - m - 2 - fold, m, size - m - 2 - fold, m + fold);
    p.drawLine(size - m - 2 - fold, m + fold, size - m - 2, m + fold);
    return img;
}

QImage readSized(const QString& file, int size)
{
    QImage img(file);
    if (img.isNull())
        return {};
    if (img.size() != QSize(size, size))
        img = img.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return img.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

struct IconList::Impl
{
    mutable QMutex mutex;
    QMimeDatabase mime;
    QStringList themes;
    QStringList roots;
    QHash<QString, int> byIconName; // icon name -> index
    QHash<QString, int> byMimeName; // MIME type -> index
    std::vector<QImage> large;
    std::vector<QImage> small;

    // The PNG file of an icon name at a size, or "" when no theme has it.
    QString findFile(const QString& name, int size) const
    {
        const QString sizeDir = QStringLiteral("%1x%1").arg(size);
        for (const QString& theme : themes)
            for (const QString& root : roots)
                for (const char* context : {"mimetypes", "places", "apps", "devices"}) {
                    const QString file = root + QLatin1Char('/') + theme + QLatin1Char('/') + sizeDir +
                                         QLatin1Char('/') + QLatin1String(context) + QLatin1Char('/') + name +
                                         QStringLiteral(".png");
                    if (QFileInfo::exists(file))
                        return file;
                }
        return {};
    }

    // Caller holds the mutex.
    int indexForNames(const QStringList& names)
    {
        for (const QString& name : names) {
            if (name.isEmpty())
                continue;
            if (auto it = byIconName.constFind(name); it != byIconName.constEnd())
                return it.value();
            const QString big = findFile(name, 32);
            if (big.isEmpty())
                continue;
            const QString little = findFile(name, 16);
            QImage l = readSized(big, 32);
            if (l.isNull())
                continue;
            QImage s = little.isEmpty() ? l.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                                        : readSized(little, 16);
            const int index = int(large.size());
            large.push_back(std::move(l));
            small.push_back(std::move(s));
            byIconName.insert(name, index);
            return index;
        }
        // Index 0 is the drawn generic icon, made first.
        return 0;
    }
};

IconList& IconList::instance()
{
    static IconList list;
    return list;
}

IconList::IconList()
    : d(new Impl)
{
    d->themes = themeNames();
    d->roots = iconRoots();
    d->large.push_back(drawnGenericIcon(32));
    d->small.push_back(drawnGenericIcon(16));
}

QStringList IconList::themeNames()
{
    QStringList names;
    // The desktop's own theme, where the GTK settings name one.
    const QString gtk = QDir::homePath() + QStringLiteral("/.config/gtk-3.0/settings.ini");
    if (QFileInfo::exists(gtk)) {
        QSettings settings(gtk, QSettings::IniFormat);
        const QString theme = settings.value(QStringLiteral("Settings/gtk-icon-theme-name")).toString();
        if (!theme.isEmpty())
            names << theme;
    }
    for (const QString& fallback : {QStringLiteral("Adwaita"), QStringLiteral("hicolor")})
        if (!names.contains(fallback))
            names << fallback;
    return names;
}

int IconList::indexForMimeType(const QString& mimeName)
{
    QMutexLocker lock(&d->mutex);
    if (auto it = d->byMimeName.constFind(mimeName); it != d->byMimeName.constEnd())
        return it.value();
    const QMimeType type = d->mime.mimeTypeForName(mimeName);
    QStringList names;
    if (type.isValid())
        names << type.iconName() << type.genericIconName();
    if (mimeName == QLatin1String("inode/directory"))
        names << QStringLiteral("folder");
    names << QStringLiteral("application-x-generic") << QStringLiteral("text-x-generic");
    const int index = d->indexForNames(names);
    d->byMimeName.insert(mimeName, index);
    return index;
}

int IconList::indexForPath(const QString& path)
{
    QString name;
    struct stat st;
    if (::stat(nativePath(path).constData(), &st) == 0 && S_ISDIR(st.st_mode))
        name = QStringLiteral("inode/directory");
    else {
        // By name first: a file's contents are not read for its icon.
        name = d->mime.mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
    }
    return indexForMimeType(name);
}

QImage IconList::large(int index) const
{
    QMutexLocker lock(&d->mutex);
    return index >= 0 && size_t(index) < d->large.size() ? d->large[size_t(index)] : d->large[0];
}

QImage IconList::small(int index) const
{
    QMutexLocker lock(&d->mutex);
    return index >= 0 && size_t(index) < d->small.size() ? d->small[size_t(index)] : d->small[0];
}

int IconList::count() const
{
    QMutexLocker lock(&d->mutex);
    return int(d->large.size());
}

} // namespace sq::platform
