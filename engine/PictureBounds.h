// What a picture file's first bytes declare (the format, the size, whether
// the data are lossless) and the least number of bytes a file of that format
// needs to hold such a picture. Read from the header alone: nothing is
// decoded. The bounds are sound limits of the formats' coding, with room to
// spare, so that only files that cannot be whole are refused.
#pragma once

#include <QByteArray>
#include <QSize>

namespace sq {

// The bytes of the header read here: enough for every format below.
constexpr int kDeclaredHeadBytes = 64;

struct DeclaredPicture
{
    // "png", "gif", "webp", "bmp", or empty when the bytes are none of these
    // or their header is cut short.
    QByteArray format;
    // The picture Qt's reader makes: for a GIF the logical screen, for a
    // WebP the canvas.
    QSize size;
    // Whether the WebP's data are lossless (VP8L): its decoder keeps a whole
    // second copy of the picture while it works.
    bool losslessWebp = false;
    // The fewest bytes a file declaring this can be; 0 where the format
    // allows a picture of any size in a few bytes (a lossless WebP of one
    // colour, a GIF screen around a small frame, a run-length BMP).
    qint64 leastFileBytes = 0;
};

DeclaredPicture declaredPicture(const QByteArray& head);

// False when a file of fileSize bytes starting with head cannot hold the
// picture its header declares.
bool fileCanHoldDeclared(const QByteArray& head, qint64 fileSize);

} // namespace sq
