#include "engine/FitStream.h"

#include <QRect>

#include <algorithm>
#include <cstring>

namespace sq {

bool TFitStream::Begin(QSize picture, QImage& dst, QPoint at, QSize size)
{
    *this = TFitStream();
    if (picture.isEmpty() || size.isEmpty() || dst.format() != QImage::Format_RGB888 ||
        !dst.rect().contains(QRect(at, size)))
        return false;
    const int w = size.width(), h = size.height();
    const int sw = picture.width(), sh = picture.height();
    m_out.resize(size_t(h));
    for (int y = 0; y < h; ++y)
        m_out[size_t(y)] = dst.scanLine(at.y() + y) + 3 * at.x();
    if (w != sw) m_columns.emplace(sw, w, sw < w);
    if (h != sh) m_rows.emplace(sh, h, 3 * w, sh < h);
    if (m_rows) m_in.resize(size_t(sh));
    if (m_columns && m_rows) {
        // Each destination row is made once its last row is in, so the ring
        // holds the rows one destination row reads, and the one coming.
        int span = 1;
        for (int y = 0; y < h; ++y)
            span = std::max(span, m_rows->lastSource(y) - m_rows->firstSource(y) + 1);
        m_ring = QImage(w, std::min(sh, span + 1), QImage::Format_RGB888);
        if (m_ring.isNull()) return false;
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
    const size_t bytes = size_t(3) * size_t(m_size.width());
    for (int y = y0; y < y1; ++y) {
        if (m_columns && m_rows) {
            std::uint8_t* slot = m_ring.scanLine(y % m_ring.height());
            m_columns->row(rows[y], slot);
            m_in[size_t(y)] = slot;
            // At once, before the ring comes round to the rows it reads.
            emitRows(y + 1);
        } else if (m_columns) {
            m_columns->row(rows[y], m_out[size_t(y)]);
        } else if (m_rows) {
            m_in[size_t(y)] = rows[y];
        } else {
            std::memcpy(m_out[size_t(y)], rows[y], bytes);
        }
    }
    m_received = y1;
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
    return m_begun && m_received == m_picture.height() &&
           (!m_rows || m_written == m_size.height());
}

} // namespace sq
