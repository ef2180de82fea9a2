// Files that attack readers (FIFOs, links to devices, huge sparse files,
// folders where files are expected) and a guard that ends a test that hangs
// on one. Used by the tests of every reader of outside files.
#pragma once

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace sq::test {

enum class Hostile {
    Fifo,     // a FIFO nobody writes to: an open for reading waits forever
    DevZero,  // a symbolic link to /dev/zero: endless zeros
    Sparse8G, // a sparse regular file of 8 GiB of zeros
    Folder,   // a folder
};

// Makes a hostile thing at path (parent folders created); false on failure.
bool makeHostile(Hostile kind, const QString& path);
const char* hostileName(Hostile kind);

// A progressive JPEG (SOF2) of width x height, grey (components 1) or colour
// (3, no subsampling), holding one DC scan in which every block is zero, one
// bit a block: a few megabytes declare a picture whose coefficients fill
// gigabytes. dataBytes < 0 gives the scan the bytes its blocks take; else
// exactly dataBytes zero bytes follow the header (0: the header alone, with
// no end marker).
QByteArray progressiveJpeg(int width, int height, int components, qint64 dataBytes = -1);
// The same picture as a baseline (sequential) JPEG: one scan of DC and AC
// codes, two zero bits a block, decoded without buffering coefficients.
QByteArray baselineJpeg(int width, int height, int components);

// Writes head at the start of a sparse file of size bytes: a header whose
// picture data is one long hole of zeros.
bool writeHeadWithHole(const QString& path, const QByteArray& head, qint64 size);

// Aborts the process with a message when it is still alive after the given
// number of seconds: a test blocked for good fails instead of waiting for
// the test runner's timeout. Generous on purpose; it measures nothing.
class HangGuard
{
public:
    HangGuard(int seconds, const char* what);
    ~HangGuard();
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

// A GIF whose logical screen is width x height around one 1 x 1 frame at
// x = serial (so that pictures of different serials differ): some forty
// bytes that a reader decodes into a screen-sized picture.
QByteArray gifScreenDeclaring(int width, int height, int serial = 0);

// A page of count distinct inline (data: URL) pictures, each as
// gifScreenDeclaring(width, height, i) makes it, and a mail (multipart/related)
// whose HTML shows count such pictures by cid: URL.
QByteArray pageWithPictures(int count, int width, int height);
QByteArray mailWithPictures(int count, int width, int height);

// Resident memory of the process now and at its peak, in MiB (-1 when
// /proc cannot tell).
qint64 residentMiB();
qint64 peakResidentMiB();
// Sets the peak back to what is resident now (/proc/self/clear_refs), so that
// peakResidentMiB() - residentMiB() taken before measures one step alone.
bool resetPeakResident();

// Aborts the process with a message as soon as its resident memory has grown
// by more than mib since the guard was made, checked every 20 ms: a reader
// that would fill the machine's memory fails the test instead.
class MemoryGuard
{
public:
    MemoryGuard(qint64 mib, const char* what);
    ~MemoryGuard();
    MemoryGuard(const MemoryGuard&) = delete;
    MemoryGuard& operator=(const MemoryGuard&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    std::thread m_thread;
};

} // namespace sq::test
