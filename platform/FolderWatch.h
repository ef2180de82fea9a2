// Waits for changes inside one folder (not its subfolders) with inotify, for
// the browser's change-watch thread. wait() belongs to the thread that waits;
// open() is called on it or before it starts (so no change made meanwhile is
// missed); stop() may be called from any thread and makes every wait return
// Stopped at once.
#pragma once

#include <QString>

#include <atomic>
#include <cstdint>

namespace sq::platform {

// The change filter bits the browser's options use.
enum FolderChange : unsigned {
    ChangeFileName = 0x1,
    ChangeDirName = 0x2,
    ChangeAttributes = 0x4,
    ChangeSize = 0x8,
    ChangeLastWrite = 0x10,
    ChangeLastAccess = 0x20,
    ChangeCreation = 0x40,
    ChangeSecurity = 0x100,
};

class FolderWatch
{
public:
    enum class Result { Changed, Stopped, Failed };

    FolderWatch();
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Starts watching; false when the folder cannot be watched. folder is a
    // carrier of the file system's bytes (platform/NativePath.h).
    bool open(const QString& folder, unsigned filter);

    // Blocks until a change that passes the filter, a stop request or an
    // error. A burst of changes is gathered into one Changed: events that
    // follow within a short quiet period are read with it.
    Result wait();

    // Any thread; async-signal-safe in effect (a write to an eventfd).
    void stop();

    // For a watch served by an event loop instead of wait(): the descriptor
    // that turns readable when events arrive (-1 before open), and a read of
    // all that arrived, true when a change passed the filter.
    int fd() const { return m_inotify; }
    bool takeChanges();

    // The inotify events watched for a filter.
    static std::uint32_t inotifyMask(unsigned filter);
    // Whether one inotify event passes the filter.
    static bool passes(unsigned filter, std::uint32_t eventMask);

private:
    bool readEvents(bool& changed);

    int m_inotify = -1;
    int m_stop = -1;
    int m_watch = -1;
    unsigned m_filter = 0;
    std::atomic<bool> m_stopped{false};
};

} // namespace sq::platform
