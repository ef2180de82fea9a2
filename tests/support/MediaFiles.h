// Helpers of the tests that make videos (through the ffmpeg command-line
// tool), metafiles, pages and mails for the engine's loaders. Used by
// tst_kinds and by the fuzz seed writers through sq_testsupport.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace sq::test {

// True when the ffmpeg command-line tool can be run.
bool haveFfmpeg();

// Writes a 64 x 48 video of frames frames at 25 per second whose frame
// number n is drawn in binary: bit b is the stripe x = 6b .. 6b + 5, white
// for 1 and black for 0 (ten stripes, so up to 1023). codec is an FFmpeg
// encoder name (mjpeg, mpeg4, rawvideo); gop the key frame interval.
bool makeNumberedVideo(const QString& path, const QString& codec, int frames, int gop = 12);

// Reads back the frame number a picture of makeNumberedVideo shows, at
// its own size; -1 when a stripe is neither clearly white nor black.
int videoFrameNumber(const QImage& image);

} // namespace sq::test

#include <QColor>
#include <QList>
#include <QRect>

namespace sq::test {

// A filled shape of a test metafile, in the metafile's logical units.
struct MetaShape
{
    enum Kind { Rectangle, Ellipse, Polygon } kind;
    QRect box;            // rectangle and ellipse
    QList<QPoint> points; // polygon
    QColor fill;
};

// An enhanced metafile of size pixels (at 96 dpi, one logical unit a pixel)
// drawing the shapes with a null pen and solid brushes.
QByteArray makeEmf(QSize pixels, const QList<MetaShape>& shapes);

// A plain metafile drawing the shapes with a null pen and solid brushes in
// a window of extent logical units, at the origin. placeable: with the
// placeable header, box = extent at unitsPerInch; without it, the window
// extent gives the size. text, when not empty, is drawn at textAt in blue.
QByteArray makeWmf(QSize extent, bool placeable, int unitsPerInch, const QList<MetaShape>& shapes,
                   const QByteArray& text = {}, QPoint textAt = {});

} // namespace sq::test
