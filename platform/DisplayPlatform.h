// Which Qt platform plugin the program asks for, from the environment it was
// started in. In a Wayland session with XWayland the program runs as an X
// client (xcb): the loupe reads the desktop and follows the pointer there,
// which a Wayland client may not. Without XWayland it runs as a native
// Wayland client. A user's own choice (QT_QPA_PLATFORM or -platform) is kept.
// Pure; called by app/main.cpp before QApplication exists.
#pragma once

#include <QByteArray>

#include <vector>

namespace sq::platform {

struct DisplayEnvironment
{
    QByteArray qpaPlatform;    // $QT_QPA_PLATFORM
    QByteArray waylandDisplay; // $WAYLAND_DISPLAY
    QByteArray display;        // $DISPLAY
    QByteArray sessionType;    // $XDG_SESSION_TYPE
    bool platformArgument = false; // -platform given on the command line
    bool displayArgument = false;  // -display given: an X display was named
};

// The plugin name to put in QT_QPA_PLATFORM: "xcb", "wayland", or "" to leave
// the choice to the user or to Qt.
QByteArray chooseDisplayPlatform(const DisplayEnvironment& env);

// Whether Qt's own arguments hold the option (-name, --name, -name=value),
// e.g. "platform" or "display".
bool hasQtOption(const std::vector<QByteArray>& qtArguments, const char* name);

// Whether the desktop's pixels can be read on the platform the program runs
// on. Never on Wayland; nor on XWayland (an X plugin in a Wayland session),
// whose root window holds no pixels: a grab of it comes back black.
bool desktopReadable(const QByteArray& platformName, const QByteArray& waylandDisplay,
                     const QByteArray& sessionType);
// The same for the running program, from its platform and environment.
bool desktopReadable(const QByteArray& platformName);

// Reads the environment, decides, and sets QT_QPA_PLATFORM when a choice
// was made. Returns the choice.
QByteArray applyDisplayPlatform(const std::vector<QByteArray>& qtArguments);

} // namespace sq::platform
