// The program's data folder: where the settings file, the favourites file,
// "thumb/" and "Favorites/" live. Decided once at start by the program; the
// app layer passes the result down to whoever forms paths from it.
#pragma once

#include <QString>

namespace sq::platform {

// The executable's folder when it is writable (a portable install), otherwise
// $XDG_CONFIG_HOME/sorrelquint/ (default ~/.config/sorrelquint/), created if
// needed. A program installed into a prefix (its folder is a "bin" folder,
// such as /usr/bin or /usr/local/bin) never keeps its data there, even where
// root may write into it. The result always ends in "/".
QString chooseDataFolder(const QString& executableFolder);

// True for the folder of an installed program: one named "bin".
bool isInstalledProgramFolder(const QString& executableFolder);

// True when a file can be created in the folder (checked by creating one).
bool isWritableFolder(const QString& folder);

} // namespace sq::platform
