#include "browser/ShellChange.h"

#include "platform/FileOps.h"
#include "platform/PathOps.h"

#include <QSemaphore>
#include <QTimer>

#include <atomic>
#include <mutex>

namespace pw = sq::platform;

// What the thread and the GUI side share about one hand-over at a time; it
// outlives both, so a late hand-over touches nothing that is gone.
struct TShellChangeThread::Channel
{
    std::atomic<bool> stopped{false};
    QSemaphore handed;
};

TShellChangeThread::TShellChangeThread(QObject* receiver, unsigned filter,
                                       const QString& folderPath, std::function<void()> callback)
    : m_receiver(receiver), m_filter(filter), m_path(folderPath), m_callback(std::move(callback)),
      m_channel(std::make_shared<Channel>())
{
}

TShellChangeThread::~TShellChangeThread()
{
    Stop();
    Finish();
}

void TShellChangeThread::Finish()
{
    wait();
    // The thread's last use of the watch happens before its end mark; reading
    // the mark makes that order visible to the race checker too.
    if (m_started.load(std::memory_order_acquire))
        while (!m_ended.load(std::memory_order_acquire))
            QThread::yieldCurrentThread();
}

void TShellChangeThread::Stop()
{
    m_channel->stopped.store(true);
    m_watch.stop();
    m_channel->handed.release();
}

bool TShellChangeThread::Open()
{
    return m_watch.open(m_path, m_filter);
}

namespace {
// Orders a posted change with its handling in terms the race checker sees
// (it does not see Qt's event queue): the handler takes the gate before it
// reads what the watch thread captured, and the watch thread holds it until
// the post is complete. Never held while waiting for the other thread.
std::mutex& postGate()
{
    static std::mutex gate;
    return gate;
}
} // namespace

void TShellChangeThread::run()
{
    m_started.store(true, std::memory_order_release);
    struct EndMark
    {
        std::atomic<bool>& ended;
        ~EndMark() { ended.store(true, std::memory_order_release); }
    } endMark{m_ended};
    try {
        const std::shared_ptr<Channel> channel = m_channel;
        const std::function<void()> callback = m_callback;
        while (!channel->stopped.load()) {
            if (m_watch.wait() != pw::FolderWatch::Result::Changed) break;
            if (channel->stopped.load()) break;
            {
                const std::lock_guard<std::mutex> posting(postGate());
                QMetaObject::invokeMethod(
                    m_receiver,
                    [channel, callback] {
                        {
                            const std::lock_guard<std::mutex> posted(postGate());
                        }
                        if (!channel->stopped.load()) callback();
                        channel->handed.release();
                    },
                    Qt::QueuedConnection);
            }
            channel->handed.acquire();
        }
    } catch (...) {
        // A failure ends the watch quietly.
    }
}

namespace {
// After a file operation the changes it made are still coming in for about
// the watch's quiet period; they are read together with the held ones.
constexpr int kSettleMs = 150;

struct TypeBit
{
    TNotifyTypes member;
    unsigned bit;
};
constexpr TypeBit kTypeBits[] = {
    {intFileName, pw::ChangeFileName},     {intDirName, pw::ChangeDirName},
    {intAttributes, pw::ChangeAttributes}, {intSize, pw::ChangeSize},
    {intLastWrite, pw::ChangeLastWrite},   {intLastAccess, pw::ChangeLastAccess},
    {intCreation, pw::ChangeCreation},     {intSecurity, pw::ChangeSecurity},
};
} // namespace

TShellChangeNotification::TShellChangeNotification(QObject* browser)
    : m_browser(browser), m_receiver(std::make_unique<QObject>())
{
    // Owned by the receiver, so it dies with it.
    m_settle = new QTimer(m_receiver.get());
    m_settle->setSingleShot(true);
    m_settle->setInterval(kSettleMs);
    QObject::connect(m_settle, &QTimer::timeout, m_receiver.get(), [this] { settled(); });
}

TShellChangeNotification::~TShellChangeNotification()
{
    StopWatch();
}

void TShellChangeNotification::SetEnabled(bool v)
{
    if (m_enabled == v) return;
    m_enabled = v;
    if (!v) StopWatch();
}

unsigned TShellChangeNotification::FilterOf(TNotifyTypeSet types)
{
    unsigned filter = 0;
    for (const TypeBit& tb : kTypeBits)
        if (types.contains(tb.member)) filter |= tb.bit;
    return filter;
}

unsigned TShellChangeNotification::NotifyFilter() const
{
    return FilterOf(m_notifyTypes);
}

void TShellChangeNotification::Watch(const QString& folderPath)
{
    if (!m_enabled) return;
    if (folderPath.isEmpty() || !pw::isFolderPath(folderPath)) return;
    StopWatch();
    m_thread = std::make_unique<TShellChangeThread>(
        m_receiver.get(), NotifyFilter(), pw::absolutePathOf(folderPath), [this] { Changed(); });
    if (!m_thread->Open()) {
        m_thread.reset();
        return;
    }
    m_thread->start();
}

void TShellChangeNotification::StopWatch()
{
    // A change held for a running file operation is for the old folder.
    QObject::disconnect(m_held);
    m_held = {};
    m_settle->stop();
    if (!m_thread) return;
    // Released from the member first: an OnChange that calls back in here
    // while the thread is being stopped finds no thread.
    std::unique_ptr<TShellChangeThread> thread = std::move(m_thread);
    thread->Stop();
    thread->Finish();
}

void TShellChangeNotification::Changed()
{
    // A paste of many files would re-read the folder after every burst of
    // changes; while it runs the changes are held, and the folder is read
    // once when it has ended and the last changes have come in.
    if (pw::FileOpActivity::instance().running()) {
        holdUntilIdle();
        return;
    }
    if (m_settle->isActive()) return; // read when it fires
    if (OnChange) OnChange(this);
}

void TShellChangeNotification::holdUntilIdle()
{
    m_settle->stop();
    if (m_held) return;
    pw::FileOpActivity& activity = pw::FileOpActivity::instance();
    m_held = QObject::connect(
        &activity, &pw::FileOpActivity::finished, m_receiver.get(),
        [this] {
            QObject::disconnect(m_held);
            m_held = {};
            m_settle->start();
        },
        Qt::QueuedConnection);
}

void TShellChangeNotification::settled()
{
    if (pw::FileOpActivity::instance().running()) {
        holdUntilIdle();
        return;
    }
    if (OnChange) OnChange(this);
}
