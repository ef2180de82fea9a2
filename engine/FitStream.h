// ResizeInto made while the picture is still being decoded: each run of
// rows is resampled across as soon as the decoder hands it over, while it
// is still in the cache, and each destination row follows as soon as the
// rows it reads are there, so that only the few rows a destination row
// reads are kept between the passes. The bytes are ResizeInto's. Used by
// the views' loads (TStretchWatch). One thread at a time.
#pragma once

#include "engine/ResamplePasses.h"

#include <QImage>
#include <QPoint>
#include <QSize>

#include <cstdint>
#include <optional>
#include <vector>

namespace sq {

class TFitStream
{
public:
    // Readies the resampling of a 24-bit picture of the given size into
    // dst's rectangle (at, size) as ResizeInto would; false, with nothing
    // to do, when ResizeInto would refuse or memory runs out. dst must
    // outlive the stream and keep its memory.
    bool Begin(QSize picture, QImage& dst, QPoint at, QSize size);
    // The picture's rows [y0, y1), y0 where the last run ended, at rows[y]
    // for y in that run. Where the rows are resampled down the picture
    // alone, each stays readable at its address until Finish.
    void Rows(const std::uint8_t* const* rows, int y0, int y1);
    // Whether every row came and every destination row is written.
    bool Finish();

private:
    void emitRows(int ready);

    QSize m_picture;
    QSize m_size;
    int m_received = 0;
    int m_written = 0; // destination rows done
    bool m_begun = false;
    std::optional<resample::ColumnPass> m_columns;
    std::optional<resample::RowPass> m_rows;
    // The rows resampled across, when rows follow: a ring of as many as one
    // destination row reads.
    QImage m_ring;
    std::vector<const std::uint8_t*> m_in; // what the row pass reads, by source row
    std::vector<std::uint8_t*> m_out;      // dst's rows of the rectangle
    std::vector<std::uint32_t> m_sums;     // the row pass's scratch
};

} // namespace sq
