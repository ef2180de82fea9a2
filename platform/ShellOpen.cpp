#include "platform/ShellOpen.h"

#include "platform/FileClipboard.h"

#include <QDesktopServices>
#include <QUrl>

namespace sq::platform {

bool DesktopShellOpener::open(const QString& path)
{
    if (path.isEmpty()) return false;
    // The URI is made from the path's bytes: QUrl::fromLocalFile would lose a
    // name that is not UTF-8, and the opener would be handed another file.
    return QDesktopServices::openUrl(QUrl::fromEncoded(fileUriOf(path)));
}

ShellOpener& desktopShellOpener()
{
    static DesktopShellOpener opener;
    return opener;
}

} // namespace sq::platform
