// Creation and deletion of every window of the program, in the fixed
// start-up order; the references land in state/Globals.h. GUI thread only.
#pragma once

#include <QString>

namespace sq::app {

// Creates every window once, main window first, in the start-up order.
// dataFolder is the program's data folder (ends in "/"); startPath the
// command-line path, "" for none.
void createWindows(const QString& dataFolder, const QString& startPath = QString());

// Deletes the windows in reverse order (tests and program end).
void destroyWindows();

} // namespace sq::app
