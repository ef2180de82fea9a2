#include "platform/DataFolder.h"

#include "platform/NativePath.h"
#include "platform/PathOps.h"

#include <QByteArray>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sq::platform {

namespace {
QString withSlash(QString path)
{
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path;
}

// An environment variable's bytes as a carrier: qEnvironmentVariable would
// decode them as UTF-8 and lose a name that is not.
QString environmentPath(const char* name)
{
    return pathFromNative(qgetenv(name));
}

QString homeFolder()
{
    const QString home = environmentPath("HOME");
    if (home.startsWith(QLatin1Char('/'))) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pathFromNative(QByteArray(pw->pw_dir));
    return QStringLiteral("/");
}

// mkdir -p by the path's bytes.
bool makeFolders(const QString& folder)
{
    const QByteArray native = nativePath(folder);
    for (qsizetype i = 1; i <= native.size(); ++i) {
        if (i < native.size() && native[i] != '/') continue;
        if (::mkdir(native.left(i).constData(), 0777) != 0 && errno != EEXIST) return false;
    }
    return isFolderPath(folder);
}
} // namespace

bool isWritableFolder(const QString& folder)
{
    // Permission bits lie on read-only mounts and for root; try it instead.
    if (folder.isEmpty() || !isFolderPath(folder)) return false;
    QByteArray probe = nativePath(withSlash(folder)) + ".sq-probe-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.constData());
    return true;
}

bool isInstalledProgramFolder(const QString& executableFolder)
{
    return fileNameOf(absolutePathOf(executableFolder)) == QLatin1String("bin");
}

QString executableFolder()
{
    QByteArray target(PATH_MAX, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", target.data(), size_t(target.size()));
    if (n <= 0 || n >= target.size()) return {};
    target.truncate(n);
    return parentOf(pathFromNative(target));
}

QString dataFolderFromEnvironment()
{
    const QString folder = environmentPath("SORRELQUINT_DATA_DIR");
    return folder.isEmpty() ? QString() : withSlash(folder);
}

QString chooseDataFolder(const QString& executableFolder)
{
    if (!executableFolder.isEmpty() && !isInstalledProgramFolder(executableFolder) &&
        isWritableFolder(executableFolder))
        return withSlash(absolutePathOf(executableFolder));
    QString base = environmentPath("XDG_CONFIG_HOME");
    if (!base.startsWith(QLatin1Char('/')))
        base = joinPath(homeFolder(), QStringLiteral(".config"));
    const QString folder = withSlash(absolutePathOf(base)) + QStringLiteral("sorrelquint/");
    makeFolders(folder);
    return folder;
}

} // namespace sq::platform
