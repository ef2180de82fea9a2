#include "engine/DecodeBudget.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <utility>

namespace sq {

DecodeBudget::DecodeBudget(qint64 limitBytes) : m_limit(std::max<qint64>(limitBytes, 0)) {}

qint64 DecodeBudget::defaultLimit()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    const qint64 physical = pages > 0 && pageSize > 0 ? qint64(pages) * pageSize : 0;
    return std::clamp<qint64>(physical / 8, qint64(256) << 20, qint64(1) << 30);
}

DecodeBudget& DecodeBudget::process()
{
    static DecodeBudget budget(defaultLimit());
    return budget;
}

DecodeBudget::Hold::Hold(Hold&& other) noexcept
    : m_budget(std::exchange(other.m_budget, nullptr)), m_bytes(std::exchange(other.m_bytes, 0))
{
}

DecodeBudget::Hold& DecodeBudget::Hold::operator=(Hold&& other) noexcept
{
    if (this != &other) {
        release();
        m_budget = std::exchange(other.m_budget, nullptr);
        m_bytes = std::exchange(other.m_bytes, 0);
    }
    return *this;
}

void DecodeBudget::Hold::release()
{
    DecodeBudget* budget = std::exchange(m_budget, nullptr);
    if (!budget) return;
    {
        const std::lock_guard<std::mutex> lock(budget->m_lock);
        budget->m_held -= m_bytes;
        --budget->m_holders;
    }
    m_bytes = 0;
    budget->m_changed.notify_all();
}

void DecodeBudget::give(qint64 bytes)
{
    m_held += bytes;
    ++m_holders;
    m_peakHeld = std::max(m_peakHeld, m_held);
    m_peakHolders = std::max(m_peakHolders, m_holders);
}

DecodeBudget::Hold DecodeBudget::reserve(qint64 bytes, const std::atomic<bool>* cancel)
{
    bytes = std::max<qint64>(bytes, 0);
    std::unique_lock<std::mutex> lock(m_lock);
    if (m_queue.empty() && fits(bytes)) {
        give(bytes);
        return Hold(this, bytes);
    }
    Waiter me{bytes};
    const auto at = m_queue.insert(m_queue.end(), &me);
    const auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    // A cancel flag is set by whoever stops the job, without a word to the
    // budget: it is looked at now and then.
    while (!(m_queue.front() == &me && fits(bytes)) && !cancelled())
        m_changed.wait_for(lock, std::chrono::milliseconds(20));
    m_queue.erase(at);
    if (cancelled()) {
        lock.unlock();
        m_changed.notify_all(); // the next in line may be first now
        return {};
    }
    give(bytes);
    lock.unlock();
    // The next in line may fit beside this one.
    m_changed.notify_all();
    return Hold(this, bytes);
}

qint64 DecodeBudget::limit() const
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_limit;
}

void DecodeBudget::setLimit(qint64 limitBytes)
{
    {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_limit = std::max<qint64>(limitBytes, 0);
    }
    m_changed.notify_all();
}

qint64 DecodeBudget::held() const
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_held;
}

int DecodeBudget::holders() const
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_holders;
}

int DecodeBudget::waiting() const
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return int(m_queue.size());
}

qint64 DecodeBudget::peakHeld() const
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_peakHeld;
}

int DecodeBudget::peakHolders() const
{
    const std::lock_guard<std::mutex> lock(m_lock);
    return m_peakHolders;
}

} // namespace sq
