// The program's command line: its own options (--help, --version), Qt's
// standard options passed on to QApplication, and the folder or file to open.
// Parsed from the bytes of argv before any window or display exists. Used by
// app/main.cpp; pure, tested without windows.
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace sq::app {

struct CommandLine
{
    enum Action { Run, Help, Version, Error };
    Action action = Run;
    // The first folder or file argument as a carrier of its bytes; "" for none.
    QString path;
    // Qt's own options with their values, for QApplication, in their order.
    std::vector<QByteArray> qtArguments;
    // What was wrong, for Error.
    QString error;
};

// args are argv[1..]. "--" ends the options: what follows is a path even when
// it starts with "-". Later paths are ignored, as only the first is opened.
CommandLine parseCommandLine(const std::vector<QByteArray>& args);

// The usage text printed by --help (on stdout) and after an error (on stderr).
QString usageText();

} // namespace sq::app
