// Qt's ceiling on the memory of one image read (QImageReader's allocation
// limit) is one value for the whole process. The engine's own bound,
// TImgUtil::MaxPixels, lets pictures through that need more than Qt's
// default, so a read of such a picture raises the ceiling while it runs and
// the old value comes back when the last of them ends; every other read
// (the pictures inside pages and mails among them) keeps the default. Used
// by the BMP, PNG, GIF, WebP and TIFF readers of the engine. Any thread.
#pragma once

#include <QSize>

namespace sq {

class LargeImageRead
{
public:
    // The ceiling Qt is given while a large picture is read: MaxPixels at
    // four bytes a pixel, in MiB.
    static int raisedMiB();

    // Raises the ceiling when a picture of the size a header declared, at
    // up to eight bytes a pixel, would pass the one in force.
    explicit LargeImageRead(QSize declared);
    ~LargeImageRead();
    LargeImageRead(const LargeImageRead&) = delete;
    LargeImageRead& operator=(const LargeImageRead&) = delete;

    bool raised() const { return m_raised; }

private:
    bool m_raised = false;
};

} // namespace sq
