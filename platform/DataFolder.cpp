#include "platform/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

namespace sq::platform {

namespace {
QString withSlash(QString path)
{
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}
} // namespace

bool isWritableFolder(const QString& folder)
{
    // Permission bits lie on read-only mounts and for root; try it instead.
    if (!QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(withSlash(folder) + QStringLiteral(".sq-probe-XXXXXX"));
    return probe.open();
}

bool isInstalledProgramFolder(const QString& executableFolder)
{
    return QFileInfo(QDir::cleanPath(executableFolder)).fileName() == QLatin1String("bin");
}

QString chooseDataFolder(const QString& executableFolder)
{
    if (!executableFolder.isEmpty() && !isInstalledProgramFolder(executableFolder) &&
        isWritableFolder(executableFolder))
        return withSlash(QDir::cleanPath(executableFolder));
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    const QString folder = withSlash(QDir::cleanPath(base)) + QStringLiteral("sorrelquint/");
    QDir().mkpath(folder);
    return folder;
}

} // namespace sq::platform
