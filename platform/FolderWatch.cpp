#include "platform/FolderWatch.h"

#include "platform/NativePath.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace sq::platform {

namespace {
// A burst ends when nothing more arrives for this long, or after the cap.
constexpr int kQuietMs = 50;
constexpr int kBurstCapMs = 500;

constexpr std::uint32_t kNameEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
constexpr std::uint32_t kSelfEvents = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED;
} // namespace

FolderWatch::FolderWatch()
{
    m_stop = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

FolderWatch::~FolderWatch()
{
    if (m_inotify >= 0)
        ::close(m_inotify);
    if (m_stop >= 0)
        ::close(m_stop);
}

std::uint32_t FolderWatch::inotifyMask(unsigned filter)
{
    std::uint32_t mask = 0;
    if (filter & (ChangeFileName | ChangeDirName))
        mask |= kNameEvents;
    if (filter & ChangeCreation)
        mask |= IN_CREATE | IN_MOVED_TO;
    if (filter & (ChangeAttributes | ChangeSecurity))
        mask |= IN_ATTRIB;
    if (filter & (ChangeSize | ChangeLastWrite))
        mask |= IN_MODIFY | IN_CLOSE_WRITE;
    // Last access has no event here: IN_ACCESS fires on every read, and the
    // thumbnail loader reading the folder would make it re-read itself
    // without end.
    return mask;
}

bool FolderWatch::passes(unsigned filter, std::uint32_t ev)
{
    if (ev & kSelfEvents)
        return true;
    const bool isDir = ev & IN_ISDIR;
    if (ev & kNameEvents) {
        if (filter & (isDir ? ChangeDirName : ChangeFileName))
            return true;
        if ((filter & ChangeCreation) && (ev & (IN_CREATE | IN_MOVED_TO)))
            return true;
    }
    if ((ev & IN_ATTRIB) && (filter & (ChangeAttributes | ChangeSecurity)))
        return true;
    if ((ev & (IN_MODIFY | IN_CLOSE_WRITE)) && (filter & (ChangeSize | ChangeLastWrite)))
        return true;
    return false;
}

bool FolderWatch::open(const QString& folder, unsigned filter)
{
    if (m_stop < 0 || m_inotify >= 0)
        return false;
    const std::uint32_t mask = inotifyMask(filter);
    if (mask == 0)
        return false;
    m_inotify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (m_inotify < 0)
        return false;
    m_filter = filter;
    m_watch = ::inotify_add_watch(m_inotify, nativePath(folder).constData(),
                                  mask | IN_ONLYDIR | IN_DELETE_SELF | IN_MOVE_SELF);
    return m_watch >= 0;
}

bool FolderWatch::readEvents(bool& changed)
{
    alignas(inotify_event) char buf[16 * 1024];
    for (;;) {
        const ssize_t n = ::read(m_inotify, buf, sizeof buf);
        if (n < 0)
            return errno == EAGAIN || errno == EINTR;
        if (n == 0)
            return false;
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buf + at);
            if (ev->mask & IN_Q_OVERFLOW)
                changed = true;
            else if (passes(m_filter, ev->mask))
                changed = true;
            at += ssize_t(sizeof(inotify_event)) + ev->len;
        }
    }
}

FolderWatch::Result FolderWatch::wait()
{
    if (m_inotify < 0 || m_watch < 0)
        return Result::Failed;
    pollfd fds[2] = {{m_inotify, POLLIN, 0}, {m_stop, POLLIN, 0}};
    bool changed = false;
    std::chrono::steady_clock::time_point burstStart;
    for (;;) {
        if (m_stopped.load())
            return Result::Stopped;
        // Once a change is seen, wait only for the quiet period, and not
        // past the cap from the burst's first change.
        int timeout = -1;
        if (changed) {
            const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - burstStart).count();
            if (spent >= kBurstCapMs)
                return Result::Changed;
            timeout = int(std::min<long long>(kQuietMs, kBurstCapMs - spent));
        }
        const int r = ::poll(fds, 2, timeout);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return Result::Failed;
        }
        if (fds[1].revents || m_stopped.load())
            return Result::Stopped;
        if (r == 0)
            return Result::Changed; // quiet: the burst is over
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            return Result::Failed;
        const bool before = changed;
        if (!readEvents(changed))
            return Result::Failed;
        if (changed && !before)
            burstStart = std::chrono::steady_clock::now();
    }
}

bool FolderWatch::takeChanges()
{
    if (m_inotify < 0) return false;
    bool changed = false;
    readEvents(changed);
    return changed;
}

void FolderWatch::stop()
{
    m_stopped.store(true);
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_stop, &one, sizeof one);
}

} // namespace sq::platform
