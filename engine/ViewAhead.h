// The store of prepared views: the pictures a viewer will show on its next
// step, loaded and laid out on threads of their own while the current ones
// are shown. An entry is keyed by everything that decides what a view shows
// (the file and its stamp on disk, the view's size, size type, colour and
// scroll bar thickness, and the engine's settings), so a prepared view is
// only ever handed out for exactly the load it stands for. No display needed;
// the views are made by the function the owner gives.
#pragma once

#include "engine/ImgUtils.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace sq {

class DecodeBudget;
class TWorkPool;

// A file as it lies on disk now: size, modification time and identity. Two
// stamps differ when the file was rewritten, replaced or removed between them.
struct TFileStamp
{
    bool Exists = false;
    qint64 Size = 0;
    qint64 MTimeNs = 0;
    quint64 Device = 0;
    quint64 Inode = 0;
    bool operator==(const TFileStamp&) const = default;
    static TFileStamp of(const QString& path);
};

// Everything besides the file that decides the view a load gives: the view's
// area inside its border, its scroll bars' thickness, its size type and
// colour, and the settings of the engine that decodes.
struct TViewSetup
{
    QSize Inner;
    int LineStep = 0;
    int SizeType = 0; // a TSizeType
    QColor Color;
    TGetType GetType = igtNormal;
    int Quality = 0;
    TJPEGPerformance Performance = jpBestSpeed;
    QColor BKColor;
    int AviFramePos = 0;
    QString TextExt;
    QFont Font;
    QColor FontColor;
    TCustomLoader* Loader = nullptr;
    DecodeBudget* Budget = nullptr;
    TWorkPool* ResamplePool = nullptr;
    bool operator==(const TViewSetup&) const = default;

    // The settings of engine, for a view of the other values.
    static TViewSetup ofEngine(const TImgUtil& engine);
    // engine set up as this setup's engine was.
    void applyTo(TImgUtil& engine) const;
};

// A finished load: the engine's result and picture, and the view's bitmap and
// the picture's place in it for the client area it was made for.
struct TPreparedView
{
    int Result = 1;
    TImgResult Picture;
    QSize Client;
    QImage ViewBitmap;
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool Placed = false;
    // The memory its pictures hold (one count where both are the same).
    qint64 Bytes() const;
};

class TViewAhead
{
public:
    using Maker = std::function<TPreparedView(const QString& file, const TViewSetup& setup)>;

    struct Request
    {
        QString File;
        TViewSetup Setup;
        bool operator==(const Request&) const = default;
    };

    // make is called on the store's threads (threads of them, at least one).
    // At most maxEntries prepared views of at most maxBytes together.
    TViewAhead(Maker make, int maxEntries, qint64 maxBytes, int threads = 1);
    ~TViewAhead();
    TViewAhead(const TViewAhead&) = delete;
    TViewAhead& operator=(const TViewAhead&) = delete;

    // The views wanted next, the most wanted first; replaces the earlier
    // wish. Views prepared for it are kept, the rest dropped, but for the
    // views handed out since the last wish: their pictures are on show, held
    // by the views that show them, and cost nothing more. The missing ones
    // are made in this order. Loads still waiting are given up.
    void Want(const QList<Request>& wanted);
    // The view prepared for file under setup, when the file is still as it
    // was when it was loaded; none otherwise. A load of it under way is
    // waited for. The view stays stored (a step back may want it again).
    std::optional<TPreparedView> Take(const QString& file, const TViewSetup& setup);
    // Drops every view and every wish; the loads under way are thrown away.
    void Clear();
    void SetLimits(int maxEntries, qint64 maxBytes);

    int MaxEntries() const;
    qint64 MaxBytes() const;
    // Stored views counted against the limits (wanted ones), and their bytes.
    int Entries() const;
    qint64 Bytes() const;
    // The most bytes and views the limits have been seen to hold.
    qint64 PeakBytes() const;
    int PeakEntries() const;
    // No load waiting or under way.
    bool Idle() const;
    // Waits until Idle, at most ms milliseconds; whether it got there.
    bool WaitIdle(int ms);
    // Take's views handed out and not found, since the store began.
    long long Hits() const { return m_hits.load(); }
    long long Misses() const { return m_misses.load(); }

private:
    struct Entry
    {
        Request Key;
        TFileStamp Stamp;
        TPreparedView View;
        qint64 Bytes = 0;
        int Priority = -1;     // place in the wish; -1: not wanted
        quint64 ShownWish = 0; // the wish it was handed out under, 0: never
    };
    void serve();
    int wishPlace(const Request& key) const;
    bool held(const Request& key) const;
    bool store(Entry& entry);
    void fitLimits(std::vector<Entry>& dropped);
    void countPeaks();
    void queueMissing();

    Maker m_make;
    mutable std::mutex m_lock;
    std::condition_variable m_wake; // workers: a job, or stop
    std::condition_variable m_done; // takers and waiters: a load finished
    std::vector<Entry> m_entries;
    QList<Request> m_wish;
    std::vector<Request> m_queue;   // in wish order
    std::vector<Request> m_running; // being made now
    quint64 m_wishSerial = 1;
    quint64 m_generation = 0; // bumped by Clear: loads under way are stale
    int m_maxEntries;
    qint64 m_maxBytes;
    qint64 m_peakBytes = 0;
    int m_peakEntries = 0;
    bool m_stop = false;
    std::atomic<long long> m_hits{0}, m_misses{0};
    std::vector<std::thread> m_threads;
};

} // namespace sq
