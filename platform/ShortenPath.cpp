#include "platform/ShortenPath.h"

#include <QFontMetrics>
#include <QStringList>

namespace sq::platform {

QString shortenPath(const QString& path, int maxWidth, const std::function<int(const QString&)>& width)
{
    if (width(path) <= maxWidth)
        return path;
    const QString ellipsis = QStringLiteral("...");
    const bool absolute = path.startsWith(QLatin1Char('/'));
    QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return path;
    const QString root = absolute ? QStringLiteral("/") : QString();
    const QString last = parts.takeLast();
    // "/a/.../d/last": drop folders after the first one, then the first.
    while (!parts.isEmpty()) {
        QStringList kept = parts;
        const QString first = kept.takeFirst();
        for (int drop = 1; drop <= kept.size(); ++drop) {
            const QStringList tail = kept.mid(drop);
            QString text = root + first + QLatin1Char('/') + ellipsis + QLatin1Char('/');
            for (const QString& t : tail)
                text += t + QLatin1Char('/');
            text += last;
            if (width(text) <= maxWidth)
                return text;
        }
        parts.clear();
    }
    const QString shortest = root + ellipsis + QLatin1Char('/') + last;
    if (width(shortest) <= maxWidth)
        return shortest;
    // Even the name alone is too wide: cut it at the end.
    QString name = last;
    while (!name.isEmpty() && width(ellipsis + QLatin1Char('/') + name + ellipsis) > maxWidth)
        name.chop(1);
    return ellipsis + QLatin1Char('/') + name + ellipsis;
}

QString shortenPath(const QString& path, int maxWidth, const QFontMetrics& metrics)
{
    return shortenPath(path, maxWidth, [&metrics](const QString& text) { return metrics.horizontalAdvance(text); });
}

} // namespace sq::platform
