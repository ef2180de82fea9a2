// Opening a file or folder with the program the desktop associates with it.
// The browser's entries call it through this interface, so tests can put a
// recorder in its place and launch nothing. GUI thread only.
#pragma once

#include <QString>

namespace sq::platform {

class ShellOpener
{
public:
    virtual ~ShellOpener() = default;
    // Asks the desktop to open the absolute path; true when it accepted.
    virtual bool open(const QString& path) = 0;
};

// The desktop's own opener (xdg-open behind QDesktopServices).
class DesktopShellOpener final : public ShellOpener
{
public:
    bool open(const QString& path) override;
};

// The opener used where none is given: a process-wide DesktopShellOpener.
ShellOpener& desktopShellOpener();

} // namespace sq::platform
