// The program's own options, kept apart from the 55 settings lines in a small
// file of their own in the data folder, so the settings file stays as it is.
// Lines "name=value" ended by CR LF; read at start, written whole (through a
// temporary file renamed over the old one) the moment an option changes.
#pragma once

#include <QString>

namespace sq::app {

struct ExtraOptions
{
    // Pictures with an ICC profile shown in the display's colours.
    bool colourManagement = true;
};

// The file's name in the data folder.
inline const char* const kExtraOptionsFile = "sorrelquint-extra.ini";

// The options in the file at path; a missing or unreadable file, a missing
// line or a value that is not 0 or 1 gives the default of that option.
ExtraOptions readExtraOptions(const QString& path);

// 0, or the errno of the failed write (the old file is then untouched).
int writeExtraOptions(const QString& path, const ExtraOptions& options);

} // namespace sq::app
