#include "engine/WorkPool.h"

#include <QThread>

#include <algorithm>
#include <exception>

namespace sq {

// One call of ForRanges or ForItems. Shared with the queue, so a helper that
// comes late finds the runs used up and leaves without touching the body,
// which lives on the caller's stack only until the last run is done.
struct TWorkPool::Batch
{
    int count = 0;
    int pieces = 0;
    const std::function<void(int, int)>* body = nullptr;
    std::function<void(int, int)> own; // Start's body, which outlives the call
    bool plain = true; // the pieces hand out nothing: a waiter may run them
    std::atomic<int> next{0};
    std::atomic<int> done{0};
    std::atomic<bool> failed{false};
    std::mutex errorLock;
    std::exception_ptr error;
    bool finished = false; // under the pool's lock

    bool usedUp() const { return next.load() >= pieces; }
};

TWorkPool& TWorkPool::instance()
{
    static TWorkPool pool(std::max(0, QThread::idealThreadCount() - 1));
    return pool;
}

TWorkPool::TWorkPool(int helpers, long long pieceBytes) : m_pieceBytes(std::max(1LL, pieceBytes))
{
    for (int i = 0; i < helpers; ++i)
        m_threads.emplace_back([this] { serve(); });
}

TWorkPool::~TWorkPool()
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

int TWorkPool::PieceCount(int count, long long itemBytes) const
{
    if (m_threads.empty() || count < 2 || itemBytes <= 0) return 1;
    const long long total = count * itemBytes;
    if (total < 2 * m_pieceBytes) return 1;
    const long long most = 8LL * (Helpers() + 1);
    return int(std::min({static_cast<long long>(count), total / m_pieceBytes, most}));
}

void TWorkPool::ForRanges(int count, int pieces, const std::function<void(int, int)>& body)
{
    if (count <= 0) return;
    pieces = std::clamp(pieces, 1, count);
    if (pieces == 1 || m_threads.empty()) {
        body(0, count);
        return;
    }
    auto batch = std::make_shared<Batch>();
    batch->count = count;
    batch->pieces = pieces;
    batch->body = &body;
    run(batch, std::min(pieces - 1, Helpers()));
}

void TWorkPool::ForItems(int count, int threads, const std::function<void(int)>& body)
{
    if (count <= 0) return;
    const std::function<void(int, int)> items = [&body](int begin, int end) {
        for (int i = begin; i < end; ++i)
            body(i);
    };
    int jobs = std::min(count - 1, Helpers());
    if (threads > 0) jobs = std::min(jobs, threads - 1);
    if (jobs <= 0) {
        items(0, count);
        return;
    }
    auto batch = std::make_shared<Batch>();
    batch->count = count;
    batch->pieces = count;
    batch->body = &items;
    batch->plain = false;
    run(batch, jobs);
}

TWorkPool::Task TWorkPool::Start(std::function<void()> body)
{
    Task task;
    if (!body) return task;
    auto batch = std::make_shared<Batch>();
    batch->count = 1;
    batch->pieces = 1;
    batch->own = [body = std::move(body)](int, int) { body(); };
    batch->body = &batch->own;
    task.m_batch = batch;
    if (m_threads.empty())
        take(*batch, false);
    else
        handOut(batch, 1);
    return task;
}

void TWorkPool::Join(Task& task)
{
    const std::shared_ptr<Batch> batch = std::move(task.m_batch);
    task.m_batch.reset();
    if (!batch) return;
    // Not begun yet: run here rather than wait for a helper to get free.
    take(*batch, false);
    wait(batch);
}

void TWorkPool::run(const std::shared_ptr<Batch>& batch, int jobs)
{
    handOut(batch, jobs);
    take(*batch, false);
    wait(batch);
}

void TWorkPool::wait(const std::shared_ptr<Batch>& batch)
{
    {
        std::unique_lock<std::mutex> guard(m_lock);
        while (!batch->finished) {
            // Rather than sleep, run another thread's plain pieces (the
            // loads' rows, for the loads' caller), never a whole load.
            const auto other = std::find_if(m_jobs.begin(), m_jobs.end(),
                                            [](const auto& b) { return b->plain && !b->usedUp(); });
            if (other == m_jobs.end()) {
                m_changed.wait(guard);
                continue;
            }
            const std::shared_ptr<Batch> job = *other;
            m_jobs.erase(other);
            guard.unlock();
            take(*job, true);
            guard.lock();
        }
    }
    if (batch->error) std::rethrow_exception(batch->error);
}

void TWorkPool::handOut(const std::shared_ptr<Batch>& batch, int jobs)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        // Entries of batches whose runs are all taken only cost a look.
        std::erase_if(m_jobs, [](const auto& b) { return b->usedUp(); });
        for (int i = 0; i < jobs; ++i)
            m_jobs.push_back(batch);
    }
    for (int i = 0; i < jobs; ++i)
        m_wake.notify_one();
    m_changed.notify_all();
}

void TWorkPool::take(Batch& batch, bool shared)
{
    for (int k; (k = batch.next.fetch_add(1)) < batch.pieces;) {
        if (!batch.failed.load()) {
            const int begin = int(static_cast<long long>(batch.count) * k / batch.pieces);
            const int end = int(static_cast<long long>(batch.count) * (k + 1) / batch.pieces);
            try {
                (*batch.body)(begin, end);
            } catch (...) {
                const std::lock_guard<std::mutex> guard(batch.errorLock);
                if (!batch.error) batch.error = std::current_exception();
                batch.failed = true;
            }
            ++m_pieces;
            if (shared) ++m_shared;
        }
        if (batch.done.fetch_add(1) + 1 == batch.pieces) finish(batch);
    }
}

void TWorkPool::finish(Batch& batch)
{
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        batch.finished = true;
    }
    m_changed.notify_all();
}

void TWorkPool::serve()
{
    for (;;) {
        std::shared_ptr<Batch> job;
        {
            std::unique_lock<std::mutex> guard(m_lock);
            m_wake.wait(guard, [this] { return m_stop || !m_jobs.empty(); });
            if (m_jobs.empty()) return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        take(*job, true);
    }
}

} // namespace sq
