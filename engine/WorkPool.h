// The engine's helper threads, shared by every piece of work that can be cut
// up: the views' loads side by side and the rows of one resampling pass.
// One helper fewer than the processors, since the thread that hands out work
// takes its share; started on first use and kept, idle, until the program
// ends. Plain standard threads and locks, which every checker of races sees;
// no display needed.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace sq {

class TWorkPool
{
    struct Batch;

public:
    // A piece of work Start handed out; empty when none is.
    class Task
    {
    public:
        bool Active() const { return bool(m_batch); }

    private:
        friend class TWorkPool;
        std::shared_ptr<Batch> m_batch;
    };

    // The program's pool: one helper fewer than the processors, pieces of at
    // least kPieceBytes.
    static TWorkPool& instance();

    // The least work, in bytes a piece reads, worth handing to another
    // thread: a wake-up costs some tens of microseconds.
    static constexpr long long kPieceBytes = 256 * 1024;

    // helpers threads (0: none, all work on the calling thread); pieces of
    // work of at least pieceBytes for those who ask PieceCount.
    explicit TWorkPool(int helpers, long long pieceBytes = kPieceBytes);
    ~TWorkPool();
    TWorkPool(const TWorkPool&) = delete;
    TWorkPool& operator=(const TWorkPool&) = delete;

    int Helpers() const { return int(m_threads.size()); }

    // How many pieces to cut count items of itemBytes each into: 1 when the
    // whole is too small to share or there are no helpers, else enough for
    // every thread to take several, each of at least the pool's piece size.
    int PieceCount(int count, long long itemBytes) const;

    // Calls body(begin, end) over [0, count) cut into `pieces` consecutive
    // runs of about equal length, on the calling thread and on helpers: those
    // free now, and those busy now that get free before the runs are used up.
    // Returns when every run is done. The pieces must not hand out work
    // themselves; waiting for the others, the calling thread runs pieces
    // handed out by other threads. The first exception a piece throws is
    // thrown here once the others are done; pieces not begun by then are
    // skipped.
    void ForRanges(int count, int pieces, const std::function<void(int, int)>& body);

    // body(i) for every i in [0, count), one item a piece, on the calling
    // thread and at most threads - 1 helpers (0: all). The items may cut up
    // their own work with ForRanges. Exceptions as for ForRanges.
    void ForItems(int count, int threads, const std::function<void(int)>& body);

    // body() once, on a helper free now or later, while the caller goes
    // on; with no helpers, here before returning. The body must not hand
    // out work itself, and what it uses must live until Join.
    Task Start(std::function<void()> body);
    // Returns once the task's body has run: here, when no helper has taken
    // it yet, else after the helper running it is done (the waiting thread
    // runs other threads' plain pieces meanwhile). The task is empty after;
    // an empty one returns at once. Rethrows what the body threw.
    void Join(Task& task);

    // The least bytes a piece is cut to (PieceCount's unit).
    long long PieceBytes() const { return m_pieceBytes; }

    // Pieces run by helpers, and by threads that waited for their own,
    // since the pool started: whether work was really shared.
    long long SharedPieces() const { return m_shared.load(); }
    // Pieces of work that was cut up (more than one piece), wherever they ran.
    long long Pieces() const { return m_pieces.load(); }

private:
    void run(const std::shared_ptr<Batch>& batch, int jobs);
    void wait(const std::shared_ptr<Batch>& batch);
    void handOut(const std::shared_ptr<Batch>& batch, int jobs);
    void take(Batch& batch, bool shared);
    void finish(Batch& batch);
    void serve();

    std::mutex m_lock;
    std::condition_variable m_wake;            // helpers: a job is queued, or stop
    std::condition_variable m_changed;         // waiters: a batch is done, or a job is queued
    std::deque<std::shared_ptr<Batch>> m_jobs; // one entry per helper wanted
    bool m_stop = false;
    long long m_pieceBytes;
    std::atomic<long long> m_shared{0};
    std::atomic<long long> m_pieces{0};
    std::vector<std::thread> m_threads;
};

} // namespace sq
