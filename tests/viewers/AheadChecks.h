// What the tests of views prepared ahead share: folders of pictures that
// show a wrong file or a shifted view, a file replaced by one of the same
// size and time, what a box shows, and waiting for a store's preparing.
#pragma once

#include "engine/ImgBox.h"
#include "engine/ViewAhead.h"
#include "tests/support/TestFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QScrollBar>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>

namespace sq::test {

// Pictures of sizes around a screen's, some larger, some smaller, each with
// noise of its own so that a wrong file or a shifted view shows.
inline QStringList writeMixedFolder(const QString& folder, int count)
{
    QStringList files;
    for (int i = 1; i <= count; ++i) {
        const QString f = QStringLiteral("%1/pic_%2.jpg").arg(folder).arg(i, 2, 10, QLatin1Char('0'));
        const int w = 60 + (i * 137) % 480, h = 50 + (i * 89) % 340;
        if (!writeJpeg(f, noiseImage(w, h, quint32(i)))) return {};
        files << f;
    }
    return files;
}

// Puts from in the place of over with over's modification time to the
// nanosecond: a file of the same size and time, another inode.
inline bool replaceKeepingTime(const QString& from, const QString& over)
{
    struct stat st;
    if (::stat(QFile::encodeName(over).constData(), &st) != 0) return false;
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (::utimensat(AT_FDCWD, QFile::encodeName(from).constData(), times, 0) != 0) return false;
    return ::rename(QFile::encodeName(from).constData(), QFile::encodeName(over).constData()) == 0;
}

// What a box shows, as far as a step shows it.
struct Shown
{
    QImage view, picture;
    TRectL place;
    int result = 0, width = 0, height = 0;
    bool loaded = false, hbar = false, vbar = false;
    bool operator==(const Shown&) const = default;
};

inline Shown shownBy(const TCustomImgBox& box)
{
    return {box.ViewBitmap(),
            box.ImgUtil()->Bitmap().image(),
            box.PictureRect(),
            0,
            box.ImgUtil()->ImageWidth(),
            box.ImgUtil()->ImageHeight(),
            box.Loaded(),
            box.horizontalBar()->isVisibleTo(&box),
            box.verticalBar()->isVisibleTo(&box)};
}

// The queued preparing runs, and the store finishes what it was asked.
inline void waitPrepared(sq::TViewAhead& store)
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    QVERIFY(store.WaitIdle(20000));
}

} // namespace sq::test
