// The EXIF Orientation tag of a JPEG and the turn it asks for. Cameras store
// most portrait photographs sideways and say so in IFD0 of the Exif APP1
// segment; the engine turns every decoded JPEG upright with these before any
// sizing. The readers are bounds-checked over untrusted bytes: anything
// damaged, lying or out of range reads as 1 (stored upright). Pure
// functions, any thread.
#pragma once

#include <QImage>
#include <QSize>

#include <cstddef>

namespace sq {

// 1 .. 8 as EXIF numbers them: 1 upright, 2 mirrored left to right, 3 turned
// half round, 4 mirrored top to bottom, 5 transposed, 6 to be turned a
// quarter clockwise, 7 transverse, 8 to be turned a quarter anticlockwise.
constexpr int kOrientationUpright = 1;

// The Orientation of an APP1 segment's payload (the bytes after its length
// field: "Exif\0\0" and a TIFF structure). Only IFD0 is read (IFD1 describes
// the embedded thumbnail); 1 when the tag is missing or anything is amiss.
int exifOrientation(const unsigned char* data, size_t size);

// The Orientation of the first Exif APP1 segment among the markers of JPEG
// bytes before the scan starts; 1 when there is none.
int jpegOrientation(const unsigned char* data, size_t size);

// Whether the orientation swaps width and height (5 .. 8).
inline bool orientationTransposes(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

// The size of a picture of the given stored size once upright.
inline QSize orientedSize(QSize stored, int orientation)
{
    return orientationTransposes(orientation) ? stored.transposed() : stored;
}

// The stored picture turned upright, in 24 bits; the picture itself for 1
// and for values outside 1 .. 8. A picture handed over (moved in) is turned
// in place where the size stays.
QImage orientImage(QImage stored, int orientation);

} // namespace sq
