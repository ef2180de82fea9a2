#include "tests/support/HostileFiles.h"

#include "tests/support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace sq::test {

bool makeHostile(Hostile kind, const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray native = path.toUtf8();
    switch (kind) {
    case Hostile::Fifo:
        return ::mkfifo(native.constData(), 0644) == 0;
    case Hostile::DevZero:
        return ::symlink("/dev/zero", native.constData()) == 0;
    case Hostile::Sparse8G:
        return makeSparseFile(path, qint64(8) << 30);
    case Hostile::Folder:
        return QDir().mkpath(path);
    }
    return false;
}

const char* hostileName(Hostile kind)
{
    switch (kind) {
    case Hostile::Fifo:
        return "FIFO";
    case Hostile::DevZero:
        return "link to /dev/zero";
    case Hostile::Sparse8G:
        return "sparse 8 GiB file";
    case Hostile::Folder:
        return "folder";
    }
    return "?";
}

HangGuard::HangGuard(int seconds, const char* what)
{
    const std::string text = what;
    m_thread = std::thread([this, seconds, text] {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_done.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_finished; })) {
            std::fprintf(stderr, "HANG: %s did not return within %d s\n", text.c_str(), seconds);
            std::fflush(stderr);
            std::_Exit(3);
        }
    });
}

HangGuard::~HangGuard()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
    }
    m_done.notify_all();
    m_thread.join();
}

} // namespace sq::test
