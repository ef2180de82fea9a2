// The browser's folder change watch: the option object
// TShellChangeNotification (the browser's ShellChangeNotification) and the
// thread TShellChangeThread that waits for changes in the shown folder.
//
// Threads: TShellChangeNotification belongs to the GUI thread (the thread
// that created it); every member is called there and OnChange fires there.
// TShellChangeThread only waits and hands each change over: it posts the
// change to the GUI thread and blocks until OnChange has returned, so the
// folder is re-read before it waits again. Stopping never waits on the GUI
// thread: Stop() wakes both the wait and a pending hand-over, and a change
// handed over after a stop is dropped, so StopWatch may be called anywhere on
// the GUI thread, from inside OnChange too.
#pragma once

#include "platform/FolderWatch.h"

#include <QObject>
#include <QString>
#include <QThread>
#include <QTimer>

#include <atomic>

#include <functional>
#include <initializer_list>
#include <memory>

enum TNotifyTypes {
    intFileName,
    intDirName,
    intAttributes,
    intSize,
    intLastWrite,
    intLastAccess,
    intCreation,
    intSecurity
};

// A set of TNotifyTypes members.
class TNotifyTypeSet
{
public:
    constexpr TNotifyTypeSet() = default;
    constexpr TNotifyTypeSet(std::initializer_list<TNotifyTypes> members)
    {
        for (TNotifyTypes m : members)
            m_bits |= 1u << m;
    }
    constexpr bool contains(TNotifyTypes m) const { return m_bits & (1u << m); }
    constexpr TNotifyTypeSet& insert(TNotifyTypes m)
    {
        m_bits |= 1u << m;
        return *this;
    }
    constexpr TNotifyTypeSet& remove(TNotifyTypes m)
    {
        m_bits &= ~(1u << m);
        return *this;
    }
    constexpr bool isEmpty() const { return m_bits == 0; }
    constexpr bool operator==(const TNotifyTypeSet&) const = default;

private:
    unsigned m_bits = 0;
};

class TShellChangeThread : public QThread
{
public:
    // callback runs on receiver's thread for every change. receiver must
    // outlive the thread or be destroyed after it has been stopped (changes
    // posted to a destroyed receiver are dropped by Qt).
    TShellChangeThread(QObject* receiver, unsigned filter, const QString& folderPath,
                       std::function<void()> callback);
    // Stops and waits.
    ~TShellChangeThread() override;

    // Before start(), on the creating thread: starts watching, so that a
    // change made right after Watch returns is not missed while the thread
    // is still starting. false: the folder cannot be watched.
    bool Open();

    // Any thread: ends the wait and a pending hand-over at once; the thread
    // then ends by itself. Call Finish() to join it.
    void Stop();
    // Waits until the thread has ended.
    void Finish();

    unsigned Filter() const { return m_filter; }
    const QString& FolderPath() const { return m_path; }

protected:
    void run() override;

private:
    struct Channel;
    QObject* m_receiver;
    unsigned m_filter;
    QString m_path;
    std::function<void()> m_callback;
    std::shared_ptr<Channel> m_channel;
    sq::platform::FolderWatch m_watch;
    std::atomic<bool> m_started{false};
    std::atomic<bool> m_ended{false};
};

class TShellChangeNotification
{
public:
    // browser: the control that owns this option object (may be null).
    explicit TShellChangeNotification(QObject* browser = nullptr);
    ~TShellChangeNotification(); // stops the watch
    TShellChangeNotification(const TShellChangeNotification&) = delete;
    TShellChangeNotification& operator=(const TShellChangeNotification&) = delete;

    QObject* Browser() const { return m_browser; }

    bool Enabled() const { return m_enabled; }
    // false stops the watch at once; true starts none (the next Watch does).
    void SetEnabled(bool v);

    TNotifyTypeSet NotifyTypes() const { return m_notifyTypes; }
    // Takes effect at the next Watch.
    void SetNotifyTypes(TNotifyTypeSet v) { m_notifyTypes = v; }
    // The change filter bits (sq::platform::FolderChange) of NotifyTypes.
    unsigned NotifyFilter() const;
    static unsigned FilterOf(TNotifyTypeSet types);

    // Fires on the GUI thread for each change (a burst gathered into one).
    // While a file operation runs (sq::platform::FileOpActivity) the changes
    // are held and fire once, shortly after the operation has ended.
    std::function<void(TShellChangeNotification* Sender)> OnChange;

    // Watches folderPath in place of any watched folder. Nothing when
    // !Enabled() or folderPath is not a folder.
    void Watch(const QString& folderPath);
    // Stops and joins the thread, if there is one; no OnChange fires after.
    void StopWatch();

    // A thread exists and still waits (one whose folder went away has ended).
    bool IsWatching() const { return m_thread && m_thread->isRunning(); }
    const TShellChangeThread* Thread() const { return m_thread.get(); }

private:
    void Changed();
    void holdUntilIdle();
    void settled();

    QObject* m_browser;
    bool m_enabled = true;
    TNotifyTypeSet m_notifyTypes{intFileName, intDirName};
    std::unique_ptr<QObject> m_receiver;
    std::unique_ptr<TShellChangeThread> m_thread;
    QMetaObject::Connection m_held; // a change waiting for the end of a file operation
    QTimer* m_settle = nullptr;     // owned by m_receiver: the read after the operation
};
