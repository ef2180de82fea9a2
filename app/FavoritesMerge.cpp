#include "app/FavoritesMerge.h"

#include <QHash>

namespace sq::app {

QStringList mergeFavorites(const QStringList& base, const QStringList& ours,
                           const QStringList& theirs)
{
    if (theirs == base) return ours;
    if (ours == base) return theirs;
    // How many of each path this window added (> 0) or removed (< 0).
    QHash<QString, int> change;
    for (const QString& path : ours)
        ++change[path];
    for (const QString& path : base)
        --change[path];
    QStringList merged;
    merged.reserve(theirs.size() + ours.size());
    for (const QString& path : theirs) {
        auto it = change.find(path);
        if (it != change.end() && it.value() < 0) {
            ++it.value();
            continue;
        }
        merged << path;
    }
    for (const QString& path : ours) {
        auto it = change.find(path);
        if (it != change.end() && it.value() > 0) {
            --it.value();
            merged << path;
        }
    }
    return merged;
}

} // namespace sq::app
