// The memory the decoders of the process may hold at once. A decode reserves
// what its picture's header says it will need before it starts and waits
// while that does not fit beside what others hold; a job alone is always let
// through, whatever it needs, so nothing waits for ever. Waiters are served
// in the order they came, so a large picture is not passed by small ones
// for good. Every engine of the process shares one budget unless it is given
// another; any thread may reserve.
#pragma once

#include <QtGlobal>

#include <atomic>
#include <condition_variable>
#include <list>
#include <mutex>

namespace sq {

class DecodeBudget
{
public:
    explicit DecodeBudget(qint64 limitBytes);
    DecodeBudget(const DecodeBudget&) = delete;
    DecodeBudget& operator=(const DecodeBudget&) = delete;

    // The budget of the process: an eighth of the physical memory, at least
    // 256 MiB and at most 1 GiB.
    static DecodeBudget& process();
    static qint64 defaultLimit();

    // Bytes held from the budget until it is released or destroyed.
    class Hold
    {
    public:
        Hold() = default;
        ~Hold() { release(); }
        Hold(Hold&& other) noexcept;
        Hold& operator=(Hold&& other) noexcept;
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        explicit operator bool() const { return m_budget != nullptr; }
        qint64 bytes() const { return m_bytes; }
        void release();

    private:
        friend class DecodeBudget;
        Hold(DecodeBudget* budget, qint64 bytes) : m_budget(budget), m_bytes(bytes) {}
        DecodeBudget* m_budget = nullptr;
        qint64 m_bytes = 0;
    };

    // Waits until bytes fit (or nothing is held) and it is this caller's
    // turn, then holds them. An empty Hold when cancel turns true first.
    // A thread must not reserve again while it holds a reservation.
    Hold reserve(qint64 bytes, const std::atomic<bool>* cancel = nullptr);

    qint64 limit() const;
    void setLimit(qint64 limitBytes);
    qint64 held() const;
    int holders() const;
    int waiting() const;
    // The most ever held at once and the most holders at once.
    qint64 peakHeld() const;
    int peakHolders() const;

private:
    struct Waiter
    {
        qint64 bytes;
    };
    bool fits(qint64 bytes) const { return m_holders == 0 || m_held + bytes <= m_limit; }
    void give(qint64 bytes);

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::list<Waiter*> m_queue;
    qint64 m_limit;
    qint64 m_held = 0;
    int m_holders = 0;
    qint64 m_peakHeld = 0;
    int m_peakHolders = 0;
};

} // namespace sq
