#include "platform/ShellOpen.h"

#include <QDesktopServices>
#include <QUrl>

namespace sq::platform {

bool DesktopShellOpener::open(const QString& path)
{
    if (path.isEmpty()) return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

ShellOpener& desktopShellOpener()
{
    static DesktopShellOpener opener;
    return opener;
}

} // namespace sq::platform
