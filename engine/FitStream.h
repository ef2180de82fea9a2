// ResizeInto made while the picture is still being decoded: each run of
// rows is resampled across as soon as the decoder hands it over, while it
// is still in the cache, and the destination rows follow as soon as the
// rows they read are there. The bytes are ResizeInto's. Used by the views'
// loads (FittedView.h). One thread at a time; the rows stay where they were
// given until Finish.
#pragma once

#include "engine/ResamplePasses.h"

#include <QImage>
#include <QPoint>
#include <QSize>

#include <cstdint>
#include <memory>
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
    // for y in that run; each stays readable at its address until Finish.
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
    QImage m_work;                          // the rows resampled across, when rows follow
    std::vector<const std::uint8_t*> m_in;  // what the row pass reads
    std::vector<std::uint8_t*> m_out;       // dst's rows of the rectangle
    std::vector<std::uint8_t*> m_across;    // where the across pass writes each row
};

} // namespace sq
