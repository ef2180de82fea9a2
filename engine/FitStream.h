// ResizeInto made while the picture is still being decoded: each run of
// rows is resampled across as soon as the decoder hands it over, while it
// is still in the cache, and each destination row follows as soon as the
// rows it reads are there, so that only the few rows a destination row
// reads are kept between the passes. The bytes are ResizeInto's. Used by
// the views' loads (TStretchWatch). Fed by one thread; with a pool, the
// resampling runs on one of its helpers while that thread decodes the next
// rows, the rows going through the passes in order all the same.
#pragma once

#include "engine/ResamplePasses.h"
#include "engine/WorkPool.h"

#include <QImage>
#include <QPoint>
#include <QSize>

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace sq {

class TFitStream
{
public:
    TFitStream() = default;
    ~TFitStream();
    TFitStream(const TFitStream&) = delete;
    TFitStream& operator=(const TFitStream&) = delete;

    // Readies the resampling of a 24-bit picture of the given size into
    // dst's rectangle (at, size) as ResizeInto would; false, with nothing
    // to do, when ResizeInto would refuse or memory runs out. dst must
    // outlive the stream and keep its memory. With a pool that has helpers
    // and a picture worth sharing, the rows are resampled on a helper.
    bool Begin(QSize picture, QImage& dst, QPoint at, QSize size, TWorkPool* pool = nullptr);
    // The picture's rows [y0, y1), y0 where the last run ended, at rows[y]
    // for y in that run. Each stays readable at its address until Finish.
    void Rows(const std::uint8_t* const* rows, int y0, int y1);
    // Waits until the rows handed over are resampled (making here what no
    // helper has begun); then whether every row came and every destination
    // row is written. Once more, the same answer at once.
    bool Finish();

private:
    void settle();
    void follow();
    void pass(int y0, int y1);
    void emitRows(int ready);

    // Set by Begin.
    QSize m_picture;
    QSize m_size;
    bool m_begun = false;
    TWorkPool* m_pool = nullptr; // set: rows are passed on a helper
    int m_batchRows = 1;         // rows worth waking a helper for
    std::optional<resample::ColumnPass> m_columns;
    std::optional<resample::RowPass> m_rows;
    std::vector<std::uint8_t*> m_out; // dst's rows of the rectangle
    // The feeding thread's.
    int m_received = 0;
    std::vector<const std::uint8_t*> m_src; // the picture's rows, by source row
    // The helper's tasks handed out, joined at the end only: one that has
    // just let go of the rows may still be on its way out.
    std::vector<TWorkPool::Task> m_tasks;
    // Between the feeding thread and the helper.
    std::mutex m_lock;
    int m_handed = 0;         // rows handed over
    int m_passed = 0;         // rows through the passes
    bool m_following = false; // a helper's task is handed out or running
    // Whoever passes the rows: the feeding thread or the helper, never both.
    int m_written = 0; // destination rows done
    // The rows resampled across, when rows follow: a ring of as many as one
    // destination row reads.
    QImage m_ring;
    std::vector<const std::uint8_t*> m_in; // what the row pass reads, by source row
    std::vector<std::uint32_t> m_sums;     // the row pass's scratch
};

} // namespace sq
