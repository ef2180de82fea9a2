#include "engine/ViewAhead.h"

#include <QFile>

#include <sys/stat.h>

#include <algorithm>
#include <chrono>

namespace sq {

TFileStamp TFileStamp::of(const QString& path)
{
    TFileStamp stamp;
    struct stat st;
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0) return stamp;
    stamp.Exists = true;
    stamp.Size = qint64(st.st_size);
    stamp.MTimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.Device = quint64(st.st_dev);
    stamp.Inode = quint64(st.st_ino);
    return stamp;
}

TViewSetup TViewSetup::ofEngine(const TImgUtil& engine)
{
    TViewSetup s;
    s.GetType = engine.GetType();
    s.Quality = engine.Quality();
    s.Performance = engine.Performance();
    s.BKColor = engine.BKColor();
    s.AviFramePos = engine.AviFramePos();
    s.TextExt = engine.TextExt();
    s.Font = engine.Font();
    s.FontColor = engine.FontColor();
    s.Loader = engine.CustomLoader();
    s.Budget = engine.Budget();
    s.ResamplePool = engine.ResamplePool();
    return s;
}

void TViewSetup::applyTo(TImgUtil& engine) const
{
    engine.setGetType(GetType);
    engine.setQuality(Quality);
    engine.setPerformance(Performance);
    engine.setBKColor(BKColor);
    engine.setAviFramePos(AviFramePos);
    engine.setTextExt(TextExt);
    engine.setFont(Font);
    engine.setFontColor(FontColor);
    engine.setCustomLoader(Loader);
    engine.setBudget(Budget);
    engine.setResamplePool(ResamplePool);
}

qint64 TPreparedView::Bytes() const
{
    qint64 bytes = Picture.Bitmap.sizeInBytes();
    // A view that covers its picture shares the picture's pixels.
    if (!ViewBitmap.isNull() && ViewBitmap.constBits() != Picture.Bitmap.constBits())
        bytes += ViewBitmap.sizeInBytes();
    return bytes;
}

TViewAhead::TViewAhead(Maker make, int maxEntries, qint64 maxBytes, int threads)
    : m_make(std::move(make))
    , m_maxEntries(maxEntries)
    , m_maxBytes(maxBytes)
{
    for (int i = 0; i < std::max(1, threads); ++i)
        m_threads.emplace_back([this] { serve(); });
}

TViewAhead::~TViewAhead()
{
    {
        std::lock_guard lock(m_lock);
        m_stop = true;
        m_queue.clear();
    }
    m_wake.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

int TViewAhead::wishPlace(const Request& key) const
{
    const qsizetype i = m_wish.indexOf(key);
    return i < 0 ? -1 : int(i);
}

bool TViewAhead::held(const Request& key) const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [&](const Entry& e) { return e.Key == key; });
}

void TViewAhead::countPeaks()
{
    int count = 0;
    qint64 bytes = 0;
    for (const Entry& e : m_entries)
        if (e.Priority >= 0) {
            ++count;
            bytes += e.Bytes;
        }
    m_peakEntries = std::max(m_peakEntries, count);
    m_peakBytes = std::max(m_peakBytes, bytes);
}

// Takes entry in when the limits leave room for it once less wanted views
// are dropped, the least wanted first; false (nothing changed) otherwise.
bool TViewAhead::store(Entry& entry)
{
    entry.Priority = wishPlace(entry.Key);
    if (entry.Priority < 0 || held(entry.Key)) return false;
    for (;;) {
        int count = 0;
        qint64 bytes = 0;
        auto least = m_entries.end();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->Priority < 0) continue;
            ++count;
            bytes += it->Bytes;
            if (it->Priority > entry.Priority && (least == m_entries.end() || it->Priority > least->Priority))
                least = it;
        }
        if (count + 1 <= m_maxEntries && bytes + entry.Bytes <= m_maxBytes) break;
        if (least == m_entries.end()) return false;
        m_entries.erase(least);
    }
    m_entries.push_back(std::move(entry));
    countPeaks();
    return true;
}

void TViewAhead::queueMissing()
{
    m_queue.clear();
    for (const Request& r : m_wish) {
        if (held(r) || std::find(m_running.begin(), m_running.end(), r) != m_running.end() ||
            std::find(m_queue.begin(), m_queue.end(), r) != m_queue.end())
            continue;
        m_queue.push_back(r);
    }
}

void TViewAhead::fitLimits(std::vector<Entry>& dropped)
{
    for (;;) {
        int count = 0;
        qint64 bytes = 0;
        auto least = m_entries.end();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
            if (it->Priority < 0) continue;
            ++count;
            bytes += it->Bytes;
            if (least == m_entries.end() || it->Priority > least->Priority) least = it;
        }
        if (count <= m_maxEntries && bytes <= m_maxBytes) return;
        dropped.push_back(std::move(*least));
        m_entries.erase(least);
    }
}

void TViewAhead::Want(const QList<Request>& wanted)
{
    std::vector<Entry> dropped;
    {
        std::lock_guard lock(m_lock);
        const quint64 shownUnder = m_wishSerial++;
        m_wish = wanted;
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            it->Priority = wishPlace(it->Key);
            if (it->Priority < 0 && it->ShownWish != shownUnder) {
                dropped.push_back(std::move(*it));
                it = m_entries.erase(it);
            } else {
                ++it;
            }
        }
        // A wish of fewer or other views keeps within the limits as well.
        fitLimits(dropped);
        queueMissing();
    }
    m_wake.notify_all();
    m_done.notify_all();
}

std::optional<TPreparedView> TViewAhead::Take(const QString& file, const TViewSetup& setup)
{
    const Request key{file, setup};
    std::unique_lock lock(m_lock);
    // A load of it under way is nearer its end than a new one.
    m_done.wait(lock, [&] {
        return std::find(m_running.begin(), m_running.end(), key) == m_running.end();
    });
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
                           [&](const Entry& e) { return e.Key == key; });
    if (it == m_entries.end()) {
        // Loaded now by the caller: it need not be loaded here too.
        m_queue.erase(std::remove(m_queue.begin(), m_queue.end(), key), m_queue.end());
        ++m_misses;
        return std::nullopt;
    }
    if (it->Stamp != TFileStamp::of(file)) {
        Entry stale = std::move(*it);
        m_entries.erase(it);
        ++m_misses;
        lock.unlock();
        return std::nullopt;
    }
    it->ShownWish = m_wishSerial;
    ++m_hits;
    return it->View;
}

void TViewAhead::Clear()
{
    std::vector<Entry> dropped;
    {
        std::lock_guard lock(m_lock);
        dropped.swap(m_entries);
        m_wish.clear();
        m_queue.clear();
        ++m_generation;
    }
    m_done.notify_all();
}

void TViewAhead::SetLimits(int maxEntries, qint64 maxBytes)
{
    std::vector<Entry> dropped;
    std::lock_guard lock(m_lock);
    m_maxEntries = maxEntries;
    m_maxBytes = maxBytes;
    fitLimits(dropped);
}

int TViewAhead::MaxEntries() const
{
    std::lock_guard lock(m_lock);
    return m_maxEntries;
}

qint64 TViewAhead::MaxBytes() const
{
    std::lock_guard lock(m_lock);
    return m_maxBytes;
}

int TViewAhead::Entries() const
{
    std::lock_guard lock(m_lock);
    return int(std::count_if(m_entries.begin(), m_entries.end(),
                             [](const Entry& e) { return e.Priority >= 0; }));
}

qint64 TViewAhead::Bytes() const
{
    std::lock_guard lock(m_lock);
    qint64 bytes = 0;
    for (const Entry& e : m_entries)
        if (e.Priority >= 0) bytes += e.Bytes;
    return bytes;
}

qint64 TViewAhead::PeakBytes() const
{
    std::lock_guard lock(m_lock);
    return m_peakBytes;
}

int TViewAhead::PeakEntries() const
{
    std::lock_guard lock(m_lock);
    return m_peakEntries;
}

bool TViewAhead::Idle() const
{
    std::lock_guard lock(m_lock);
    return m_queue.empty() && m_running.empty();
}

bool TViewAhead::WaitIdle(int ms)
{
    std::unique_lock lock(m_lock);
    return m_done.wait_for(lock, std::chrono::milliseconds(ms),
                           [this] { return m_queue.empty() && m_running.empty(); });
}

void TViewAhead::serve()
{
    std::unique_lock lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_stop) return;
        Request job = m_queue.front();
        m_queue.erase(m_queue.begin());
        m_running.push_back(job);
        const quint64 generation = m_generation;
        lock.unlock();

        Entry entry;
        entry.Key = job;
        // The stamp is read before the file and again after it: a file
        // rewritten meanwhile may have been read half old, half new.
        entry.Stamp = TFileStamp::of(job.File);
        bool made = entry.Stamp.Exists;
        if (made) {
            try {
                entry.View = m_make(job.File, job.Setup);
                entry.Bytes = entry.View.Bytes();
            } catch (...) {
                made = false;
            }
        }
        made = made && TFileStamp::of(job.File) == entry.Stamp;

        lock.lock();
        m_running.erase(std::find(m_running.begin(), m_running.end(), job));
        Entry unused;
        if (!(made && generation == m_generation && store(entry))) unused = std::move(entry);
        m_done.notify_all();
        // The pictures of a view not kept are freed without the lock.
        lock.unlock();
        unused = Entry();
        lock.lock();
    }
}

} // namespace sq
