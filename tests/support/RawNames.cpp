#include "tests/support/RawNames.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char** environ;

namespace sq::test {

bool makeFolderAt(const QByteArray& path)
{
    for (qsizetype at = 1; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != '/') continue;
        const QByteArray part = path.left(at);
        if (::mkdir(part.constData(), 0755) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool writeFileAt(const QByteArray& path, const QByteArray& bytes)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash > 0 && !makeFolderAt(path.left(slash))) return false;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = ::write(fd, bytes.constData(), size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && ok;
}

QByteArray readFileAt(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    QByteArray out;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0) break;
        out.append(buf, n);
    }
    ::close(fd);
    return out;
}

RunResult runAt(const QByteArray& program, const QList<QByteArray>& args)
{
    RunResult result;
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) return result;
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    std::vector<char*> argv{const_cast<char*>(program.constData())};
    for (const QByteArray& a : args)
        argv.push_back(const_cast<char*>(a.constData()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (spawned == 0) {
        pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
        QByteArray* sinks[2] = {&result.out, &result.err};
        int open = 2;
        while (open > 0 && ::poll(fds, 2, -1) >= 0) {
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || !fds[i].revents) continue;
                char buf[4096];
                const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
                if (n > 0) {
                    sinks[i]->append(buf, n);
                } else {
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
        int status = 0;
        if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
            result.status = WEXITSTATUS(status);
    }
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    return result;
}

QList<QByteArray> namesAt(const QByteArray& folder)
{
    QList<QByteArray> names;
    DIR* d = ::opendir(folder.constData());
    if (!d) return names;
    while (const dirent* e = ::readdir(d)) {
        const QByteArray n(e->d_name);
        if (n != "." && n != "..") names << n;
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

bool existsAt(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

void removeTreeAt(const QByteArray& path)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        for (const QByteArray& name : namesAt(path))
            removeTreeAt(path + '/' + name);
        ::rmdir(path.constData());
    } else {
        ::unlink(path.constData());
    }
}

// The temporary folder's own path is plain ASCII (under TMPDIR).
RawTempDir::RawTempDir() : m_bytes(m_dir.path().toUtf8()) {}

RawTempDir::~RawTempDir()
{
    // The folder itself stays for QTemporaryDir to remove.
    for (const QByteArray& name : namesAt(m_bytes))
        removeTreeAt(m_bytes + '/' + name);
}

} // namespace sq::test
