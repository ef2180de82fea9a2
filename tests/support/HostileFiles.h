// Files that attack readers (FIFOs, links to devices, huge sparse files,
// folders where files are expected) and a guard that ends a test that hangs
// on one. Used by the tests of every reader of outside files.
#pragma once

#include <QString>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace sq::test {

enum class Hostile {
    Fifo,     // a FIFO nobody writes to: an open for reading waits forever
    DevZero,  // a symbolic link to /dev/zero: endless zeros
    Sparse8G, // a sparse regular file of 8 GiB of zeros
    Folder,   // a folder
};

// Makes a hostile thing at path (parent folders created); false on failure.
bool makeHostile(Hostile kind, const QString& path);
const char* hostileName(Hostile kind);

// Aborts the process with a message when it is still alive after the given
// number of seconds: a test blocked for good fails instead of waiting for
// the test runner's timeout. Generous on purpose; it measures nothing.
class HangGuard
{
public:
    HangGuard(int seconds, const char* what);
    ~HangGuard();
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

} // namespace sq::test
