#include "engine/FitStream.h"

#include <QRect>

#include <algorithm>
#include <cstring>

namespace sq {

TFitStream::~TFitStream()
{
    settle();
}

// Waits for the helper's tasks; what one threw ends the stream.
void TFitStream::settle()
{
    for (TWorkPool::Task& task : m_tasks) {
        try {
            m_pool->Join(task);
        } catch (...) {
            m_begun = false;
        }
    }
    m_tasks.clear();
}

bool TFitStream::Begin(QSize picture, QImage& dst, QPoint at, QSize size, TWorkPool* pool)
{
    settle();
    m_begun = false;
    m_pool = nullptr;
    m_columns.reset();
    m_rows.reset();
    m_out.clear();
    m_src.clear();
    m_in.clear();
    m_ring = QImage();
    m_received = m_handed = m_passed = m_written = 0;
    m_following = false;
    if (picture.isEmpty() || size.isEmpty() || dst.format() != QImage::Format_RGB888 ||
        !dst.rect().contains(QRect(at, size)))
        return false;
    const int w = size.width(), h = size.height();
    const int sw = picture.width(), sh = picture.height();
    m_out.resize(size_t(h));
    for (int y = 0; y < h; ++y)
        m_out[size_t(y)] = dst.scanLine(at.y() + y) + 3 * at.x();
    m_src.resize(size_t(sh));
    if (w != sw) m_columns.emplace(sw, w, sw < w);
    if (h != sh) {
        m_rows.emplace(sh, h, 3 * w, sh < h);
        m_in.resize(size_t(sh));
        m_sums.reserve(size_t(3) * size_t(w));
    }
    if (m_columns && m_rows) {
        // Each destination row is made once its last row is in, so the ring
        // holds the rows one destination row reads, and the one coming.
        int span = 1;
        for (int y = 0; y < h; ++y)
            span = std::max(span, m_rows->lastSource(y) - m_rows->firstSource(y) + 1);
        m_ring = QImage(w, std::min(sh, span + 1), QImage::Format_RGB888);
        if (m_ring.isNull()) return false;
    }
    // A helper is woken for a piece's worth of rows at least, and only for
    // a picture the pool would cut up.
    const long long rowBytes = 3LL * sw;
    if (pool && pool->PieceCount(sh, rowBytes) > 1) {
        m_pool = pool;
        m_batchRows = int(std::clamp<long long>((pool->PieceBytes() + rowBytes - 1) / rowBytes, 1, sh));
        // Room for every task beforehand: one started is always joined.
        m_tasks.reserve(size_t(sh / m_batchRows) + 1);
    }
    m_picture = picture;
    m_size = size;
    m_begun = true;
    return true;
}

void TFitStream::Rows(const std::uint8_t* const* rows, int y0, int y1)
{
    if (!m_begun || y0 != m_received || y1 <= y0 || y1 > m_picture.height()) {
        m_begun = false; // out of order: the result would be wrong
        return;
    }
    for (int y = y0; y < y1; ++y)
        m_src[size_t(y)] = rows[y];
    m_received = y1;
    if (!m_pool) {
        pass(y0, y1);
        m_handed = m_passed = y1;
        return;
    }
    bool start = false;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_handed = y1;
        if (!m_following && m_handed - m_passed >= m_batchRows) m_following = start = true;
    }
    if (start) m_tasks.push_back(m_pool->Start([this] { follow(); }));
}

// A helper's task: the rows handed over through the passes, in order,
// until it has caught up with the decoder.
void TFitStream::follow()
{
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;) {
        const int from = m_passed, to = m_handed;
        if (from == to) {
            m_following = false;
            return;
        }
        guard.unlock();
        pass(from, to);
        guard.lock();
        m_passed = to;
    }
}

void TFitStream::pass(int y0, int y1)
{
    const size_t bytes = size_t(3) * size_t(m_size.width());
    for (int y = y0; y < y1; ++y) {
        const std::uint8_t* row = m_src[size_t(y)];
        if (m_columns && m_rows) {
            std::uint8_t* slot = m_ring.scanLine(y % m_ring.height());
            m_columns->row(row, slot);
            m_in[size_t(y)] = slot;
            // At once, before the ring comes round to the rows it reads.
            emitRows(y + 1);
        } else if (m_columns) {
            m_columns->row(row, m_out[size_t(y)]);
        } else if (m_rows) {
            m_in[size_t(y)] = row;
        } else {
            std::memcpy(m_out[size_t(y)], row, bytes);
        }
    }
    if (m_rows && !m_columns) emitRows(y1);
}

void TFitStream::emitRows(int ready)
{
    int end = m_written;
    while (end < m_size.height() && m_rows->lastSource(end) < ready)
        ++end;
    if (end == m_written) return;
    m_rows->rows(m_in.data(), m_out.data(), m_written, end, &m_sums);
    m_written = end;
}

bool TFitStream::Finish()
{
    settle();
    if (!m_begun) return false;
    // No task is out now: the rest here.
    int from, to;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        from = m_passed;
        to = m_handed;
        m_passed = to;
    }
    if (from < to) pass(from, to);
    return m_received == m_picture.height() && (!m_rows || m_written == m_size.height());
}

} // namespace sq
