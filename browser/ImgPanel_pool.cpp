// The loader's workers: the engine settings they copy, the thread that takes
// jobs from the pool and makes their pictures, and the pool's hand-off of
// jobs between the GUI thread and the workers.
#include "browser/ImgPanel.h"

#include <QCoreApplication>

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

// ---- engine settings ----

TEngineSettings TEngineSettings::of(const TImgUtil& e)
{
    TEngineSettings s;
    s.quality = e.Quality();
    s.performance = e.Performance();
    s.susiePriority = e.SusiePriority();
    s.autoThumb = e.AutoThumb();
    s.font = e.Font();
    s.fontColor = e.FontColor();
    s.textExt = e.TextExt();
    s.getType = e.GetType();
    s.bkColor = e.BKColor();
    s.aviFramePos = e.AviFramePos();
    s.thumbnail = e.Thumbnail();
    s.splugin = e.SPlugin();
    s.customLoader = e.CustomLoader();
    s.budget = e.Budget();
    s.cacheScale = e.CacheScale();
    return s;
}

void TEngineSettings::applyTo(TImgUtil& e) const
{
    e.setQuality(quality);
    e.setPerformance(performance);
    e.setSusiePriority(susiePriority);
    e.setAutoThumb(autoThumb);
    // A font of its own: the font's shared data keeps caches that text
    // drawing on several threads would write at once.
    QFont own;
    own.fromString(font.toString());
    e.setFont(own);
    e.setFontColor(fontColor);
    e.setTextExt(textExt);
    e.setGetType(getType);
    e.setBKColor(bkColor);
    e.setAviFramePos(aviFramePos);
    e.setThumbnail(thumbnail);
    e.setSPlugin(splugin);
    e.setCustomLoader(customLoader);
    e.setBudget(budget);
    e.setCacheScale(cacheScale);
}

bool TEngineSettings::RunsAlone() const
{
    return (customLoader && !customLoader->ThreadSafe()) || (splugin && splugin->count() > 0);
}

bool TEngineSettings::operator==(const TEngineSettings& o) const
{
    return quality == o.quality && performance == o.performance &&
           susiePriority == o.susiePriority && autoThumb == o.autoThumb && font == o.font &&
           fontColor == o.fontColor && textExt == o.textExt && getType == o.getType &&
           bkColor == o.bkColor && aviFramePos == o.aviFramePos && thumbnail == o.thumbnail &&
           splugin == o.splugin && customLoader == o.customLoader && budget == o.budget &&
           cacheScale == o.cacheScale;
}

// ---- worker ----

namespace {

int currentTid()
{
    return static_cast<int>(syscall(SYS_gettid));
}

} // namespace

TImgThread::TImgThread(TImgThreads* pool) : m_pool(pool)
{
    m_engine.setCacheLock(&pool->cacheLock());
}

TImgThread::~TImgThread()
{
    wait();
}

void TImgThread::start()
{
    m_thread = std::thread([this] { run(); });
}

void TImgThread::wait()
{
    if (m_thread.joinable()) m_thread.join();
}

void TImgThread::raisePriority()
{
    const int tid = m_tid.load();
    // Getting back to normal may be refused without privileges; the worker
    // then ends its job at its lower priority, which only takes longer.
    if (tid > 0) setpriority(PRIO_PROCESS, static_cast<id_t>(tid), 0);
}

void TImgThread::load(TThumbJob& job)
{
    if (!m_configured || !(m_applied == job.Settings)) {
        job.Settings.applyTo(m_engine);
        m_applied = job.Settings;
        m_configured = true;
    }
    job.Result = -1;
    if (!job.Decode || job.Cancelled.load(std::memory_order_relaxed)) return;
    int r = -1;
    try {
        std::unique_lock<std::mutex> exclusive;
        if (job.Exclusive) exclusive = std::unique_lock<std::mutex>(m_pool->exclusiveLock());
        // A stop also ends a wait for the decoders' memory budget.
        m_engine.setCancelFlag(&job.Cancelled);
        // A stop while this worker waited for its turn drops the job.
        if (!job.Cancelled.load(std::memory_order_relaxed))
            r = m_engine.LoadImage(job.ParseName, job.Width, job.Height, 0);
    } catch (...) {
        // A load that throws still reports, so loading goes on.
        r = -1;
    }
    m_engine.setCancelFlag(nullptr);
    if (job.Cancelled.load(std::memory_order_relaxed)) r = -1;
    job.Result = r;
    if (r == 0) {
        job.Bitmap = m_engine.Bitmap().take();
        job.PictureWidth = m_engine.ImageWidth();
        job.PictureHeight = m_engine.ImageHeight();
        job.FromCache = m_engine.LastFromCache();
    } else {
        m_engine.Bitmap().empty();
    }
}

void TImgThread::run()
{
    const int tid = currentTid();
    m_tid.store(tid);
    m_lowNice = getpriority(PRIO_PROCESS, static_cast<id_t>(tid)) + 1;
    while (std::shared_ptr<TThumbJob> job = m_pool->takeJob(this)) {
        // A stop may have raised this thread's priority for its last job.
        setpriority(PRIO_PROCESS, static_cast<id_t>(tid), m_lowNice);
        load(*job);
        m_pool->finishJob(job, this);
    }
}

// ---- the pool's hand-off ----

int TImgThreads::DefaultWorkerCount()
{
    cpu_set_t set;
    int cores = 0;
    if (sched_getaffinity(0, sizeof set, &set) == 0) cores = CPU_COUNT(&set);
    if (cores <= 0) cores = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
    return std::clamp(cores, 1, MaxWorkers);
}

void TImgThreads::startThreads()
{
    if (!m_threads.empty()) return;
    for (int i = 0; i < m_workerCount; ++i) {
        m_threads.push_back(std::make_unique<TImgThread>(this));
        m_threads.back()->start();
    }
}

void TImgThreads::endThreads()
{
    // One at a time: each thread's end (Qt's and glib's own teardown of the
    // thread) is over before the next one's begins.
    for (auto& t : m_threads) {
        {
            const std::lock_guard<std::mutex> lock(m_lock);
            m_ending = t.get();
        }
        m_work.notify_all();
        t->wait();
    }
    m_threads.clear();
    const std::lock_guard<std::mutex> lock(m_lock);
    m_ending = nullptr;
}

std::shared_ptr<TThumbJob> TImgThreads::takeJob(TImgThread* worker)
{
    std::unique_lock<std::mutex> lock(m_lock);
    // Jobs made ahead leave one worker to the GUI thread's core.
    const auto aheadFree = [&] {
        return !m_aheadPending.empty() && m_aheadRunning < std::max(1, m_workerCount - 1);
    };
    m_work.wait(lock, [&] {
        return m_ending == worker || (!m_ending && (!m_pending.empty() || aheadFree()));
    });
    if (m_ending == worker) return nullptr;
    std::shared_ptr<TThumbJob> job;
    if (!m_pending.empty()) {
        job = std::move(m_pending.front());
        m_pending.pop_front();
        ++m_running;
    } else {
        job = std::move(m_aheadPending.front());
        m_aheadPending.pop_front();
        ++m_aheadRunning;
    }
    job->state = TThumbJob::Running;
    m_runningOn.push_back(worker);
    return job;
}

void TImgThreads::finishJob(const std::shared_ptr<TThumbJob>& job, TImgThread* worker)
{
    bool ahead = false;
    std::int32_t id = 0;
    std::uint64_t serial = 0;
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        job->state = TThumbJob::Done;
        // A job made ahead that nobody has taken over tells nobody; the
        // browser finds it done when its own job for the file comes.
        ahead = job->Ahead;
        if (ahead) --m_aheadRunning;
        id = job->Id;
        serial = job->Serial;
    }
    if (!ahead && !job->Cancelled.load(std::memory_order_relaxed)) {
        auto* ready = new TThumbReadyEvent(id, job->Result, serial);
        // Pairs with the browser's acquire when it takes the event: the
        // event's own bytes are seen as written (Qt's queue orders them too,
        // but not in a way the race checker sees).
        m_owner->m_lastPosted.fetch_add(1, std::memory_order_release);
        QCoreApplication::postEvent(m_owner, ready);
    }
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        if (!ahead) --m_running;
        m_runningOn.erase(std::find(m_runningOn.begin(), m_runningOn.end(), worker));
    }
    if (ahead) m_work.notify_one();
    m_idle.notify_all();
}
