// The program's data folder: where the settings file, the favourites file,
// "thumb/" and "Favorites/" live. Decided once at start by the program; the
// app layer passes the result down to whoever forms paths from it. Paths are
// carriers (platform/NativePath.h): a folder whose name is not UTF-8 works
// like any other.
#pragma once

#include <QString>

namespace sq::platform {

// The executable's folder when it is writable (a portable install), otherwise
// $XDG_CONFIG_HOME/sorrelquint/ (default ~/.config/sorrelquint/), created if
// needed. A program installed into a prefix (its folder is a "bin" folder,
// such as /usr/bin or /usr/local/bin) never keeps its data there, even where
// root may write into it. The result always ends in "/".
QString chooseDataFolder(const QString& executableFolder);

// The data folder named by $SORRELQUINT_DATA_DIR (tests and users point the
// program at a folder of their own), ending in "/"; "" when it is unset or
// empty. Taken as the variable's bytes.
QString dataFolderFromEnvironment();

// The folder of the running executable, by its bytes ("" when unknown).
QString executableFolder();

// True for the folder of an installed program: one named "bin".
bool isInstalledProgramFolder(const QString& executableFolder);

// True when a file can be created in the folder (checked by creating one).
bool isWritableFolder(const QString& folder);

} // namespace sq::platform
