// A writer of Exif APP1 segments for the orientation tests and the fuzz
// seeds: a TIFF structure with one IFD0 of the given entries, sound or
// deliberately damaged, and JPEGs carrying it.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

namespace sq::test {

// One IFD entry as written: value holds the first bytes of the entry's
// value field (a SHORT sits in its first two bytes).
struct TiffEntry
{
    quint16 tag = 0x0112;
    quint16 type = 3; // SHORT
    quint32 count = 1;
    quint32 value = 1;
};

struct ExifLayout
{
    bool bigEndian = false;
    quint32 ifdOffset = 8;        // where IFD0 starts, from the TIFF header
    int claimedEntries = -1;      // the entry count written; -1: the true one
    quint32 nextIfd = 0;          // the link after IFD0
    QList<TiffEntry> ifd1;        // a second directory right after IFD0, when not empty
};

// The payload of an Exif APP1 segment (from "Exif\0\0" on).
QByteArray exifPayload(const QList<TiffEntry>& entries, const ExifLayout& layout = {});

// Shorthand: a sound payload with only the Orientation tag.
QByteArray orientationPayload(int orientation, bool bigEndian = false);

// The JPEG with an APP1 segment holding payload put right after its SOI.
// The segment's length field is payload's size + 2 unless length >= 0.
QByteArray withApp1(const QByteArray& jpeg, const QByteArray& payload, int length = -1);

// A w x h picture of four flat quadrants: red top left, green top right,
// blue bottom left, white bottom right. w and h multiples of 32 keep every
// JPEG block (and subsampled chroma block) one colour, so a decode is
// exact within rounding at any DCT scale.
QImage quadrantPicture(int w, int h);

// What a camera stores for an upright picture with the given orientation:
// the picture turned so that the orientation's turn brings it back. Made
// with Qt's own transforms.
QImage storedFor(const QImage& upright, int orientation);

// Whether picture shows upright's quadrants: every pixel at least margin
// pixels (of picture) away from the quadrant edges within tolerance of the
// quadrant's colour; why receives the first mismatch.
bool showsQuadrants(const QImage& picture, int margin, int tolerance, QString* why = nullptr);

} // namespace sq::test
