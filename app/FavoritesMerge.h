// Joining this window's favourites with the favourites file as another
// window of the program left it: the window that closes keeps what the other
// added or removed. Pure; used by the main window's close.
#pragma once

#include <QStringList>

namespace sq::app {

// base: the list read at start; ours: the list at close; theirs: the file
// at close. Theirs, less the entries removed here since start and with the
// entries added here since start appended in this window's order. Entries
// are counted, so a path listed twice may be added or removed once. When
// nobody else changed the file (theirs == base) the result is ours as it is,
// order included.
QStringList mergeFavorites(const QStringList& base, const QStringList& ours,
                           const QStringList& theirs);

} // namespace sq::app
