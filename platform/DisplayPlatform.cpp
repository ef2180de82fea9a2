#include "platform/DisplayPlatform.h"

#include <QtGlobal>

namespace sq::platform {

QByteArray chooseDisplayPlatform(const DisplayEnvironment& env)
{
    // An empty QT_QPA_PLATFORM leaves Qt to choose, so it counts as unset.
    if (!env.qpaPlatform.trimmed().isEmpty() || env.platformArgument) return {};
    // An X display named on the command line is only used by the X plugin.
    if (env.displayArgument) return QByteArrayLiteral("xcb");
    const bool wayland = !env.waylandDisplay.trimmed().isEmpty() ||
                         env.sessionType.trimmed().toLower() == "wayland";
    if (!wayland) return {};
    return env.display.trimmed().isEmpty() ? QByteArrayLiteral("wayland") : QByteArrayLiteral("xcb");
}

bool hasQtOption(const std::vector<QByteArray>& qtArguments, const char* name)
{
    const QByteArray bare(name);
    for (const QByteArray& arg : qtArguments) {
        QByteArray option = arg.startsWith("--") ? arg.mid(2) : arg.startsWith('-') ? arg.mid(1) : QByteArray();
        if (const qsizetype eq = option.indexOf('='); eq >= 0) option.truncate(eq);
        if (option == bare) return true;
    }
    return false;
}

bool desktopReadable(const QByteArray& platformName, const QByteArray& waylandDisplay,
                     const QByteArray& sessionType)
{
    if (platformName.startsWith("wayland")) return false;
    if (platformName != "xcb") return true;
    return waylandDisplay.trimmed().isEmpty() && sessionType.trimmed().toLower() != "wayland";
}

bool desktopReadable(const QByteArray& platformName)
{
    return desktopReadable(platformName, qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_SESSION_TYPE"));
}

QByteArray applyDisplayPlatform(const std::vector<QByteArray>& qtArguments)
{
    const DisplayEnvironment env{qgetenv("QT_QPA_PLATFORM"),        qgetenv("WAYLAND_DISPLAY"),
                                 qgetenv("DISPLAY"),                qgetenv("XDG_SESSION_TYPE"),
                                 hasQtOption(qtArguments, "platform"), hasQtOption(qtArguments, "display")};
    const QByteArray choice = chooseDisplayPlatform(env);
    if (!choice.isEmpty()) qputenv("QT_QPA_PLATFORM", choice);
    return choice;
}

} // namespace sq::platform
