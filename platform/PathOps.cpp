#include "platform/PathOps.h"

#include "platform/NativePath.h"

#include <QDir>

#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace sq::platform {

QString fileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString parentOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) return QStringLiteral(".");
    if (slash == 0) return QStringLiteral("/");
    return path.left(slash);
}

QString joinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString absolutePathOf(const QString& path)
{
    if (path.startsWith(QLatin1Char('/'))) return QDir::cleanPath(path);
    // The current folder in its bytes: QDir::currentPath would lose them.
    std::vector<char> buf(PATH_MAX);
    if (!::getcwd(buf.data(), buf.size())) return QDir::cleanPath(path);
    return QDir::cleanPath(joinPath(pathFromNative(QByteArray(buf.data())), path));
}

QString canonicalPathOf(const QString& path)
{
    char* real = ::realpath(nativePath(path).constData(), nullptr);
    if (!real) return {};
    const QString out = pathFromNative(QByteArray(real));
    std::free(real);
    return out;
}

bool pathExists(const QString& path)
{
    struct stat st;
    return !path.isEmpty() && ::lstat(nativePath(path).constData(), &st) == 0;
}

bool isFolderPath(const QString& path)
{
    struct stat st;
    return !path.isEmpty() && ::stat(nativePath(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace sq::platform
