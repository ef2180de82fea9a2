// The resampler's two passes as objects made once per picture and size and
// run over any run of rows: the whole-picture passes of Resample.h and the
// row-by-row fitting of FitStream.h share them, so both give the same bytes.
// Engine-internal; pure, any thread, read-only once made.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace sq::resample {

// Source position of every destination index of an enlarging pass, as the
// first of the four taps and the weights.
struct CubicTap
{
    int first;
    std::array<std::int32_t, 4> w;
};

// Edges of a reducing pass: whole part and fraction (units of 2^18) of the
// source coordinate of destination edge e, for e = 0 .. m.
struct AreaEdges
{
    std::vector<int> bound;
    std::vector<std::uint32_t> frac;
    std::uint64_t scale = 0;
};

// The weights of a narrowing pass laid out per destination pixel over the
// same number of source pixels (count), from first[x] on; count 0 when the
// general loop takes the pass.
struct AreaTaps
{
    int count = 0;
    std::vector<int> first;
    std::vector<std::uint32_t> weight;
};

// A row of n pixels to one of m (24-bit), enlarged by the cubic or narrowed
// by area averaging; n > 0, m > 0 (m > 1 to enlarge).
class ColumnPass
{
public:
    ColumnPass(int n, int m, bool enlarge);
    void row(const std::uint8_t* s, std::uint8_t* d) const;
    // Bytes a row reads, for cutting the work up.
    long long rowBytes() const;

private:
    int m_n, m_m;
    bool m_enlarge;
    std::vector<CubicTap> m_cubic;
    AreaEdges m_edges;
    AreaTaps m_taps;
};

// n rows to m rows of `bytes` bytes each, as ColumnPass along the rows.
class RowPass
{
public:
    RowPass(int n, int m, int bytes, bool enlarge);
    // The first and the last source row that destination row y reads; both
    // grow with y.
    int firstSource(int y) const;
    int lastSource(int y) const;
    // Destination rows [y0, y1) into out[y] from the source rows in[]; the
    // sums go to scratch where one is given, kept for the next call.
    void rows(const std::uint8_t* const* in, std::uint8_t* const* out, int y0, int y1,
              std::vector<std::uint32_t>* scratch = nullptr) const;
    // Bytes a destination row reads, for cutting the work up.
    long long rowBytes() const;

private:
    int m_n, m_m, m_bytes;
    bool m_enlarge;
    std::vector<CubicTap> m_cubic;
    AreaEdges m_edges;
};

} // namespace sq::resample
