// Line-oriented text files of the program (settings, favourites, saved
// screens) and text pictures: UTF-8 written with CR LF endings; on reading,
// text that is not valid UTF-8 is taken as CP932 (Shift-JIS) so files made
// by the Windows program still load. Pure functions, any thread.
#pragma once

#include "platform/SafeRead.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace sq {

// Decodes bytes as UTF-8 (a leading BOM is dropped) or, when they are not
// valid UTF-8, as CP932.
QString decodeText(const QByteArray& bytes);

// Splits text into lines; CR, LF and CR LF each end a line. A final line end
// does not start another, empty line.
QStringList splitLines(const QString& text);

// Each line followed by CR LF, including the last, as UTF-8; a line that is
// a path carrier (platform/NativePath.h) is written as its bytes, so a path
// that is not UTF-8 is written as the file system holds it.
QByteArray joinLinesCrLf(const QStringList& lines);

// Lines whose bytes are kept (the settings file, whose one text line is a
// path): split at CR, LF or CR LF, a leading UTF-8 byte order mark dropped,
// and each line the carrier of its bytes. A line of valid UTF-8 reads as
// that text; one that is not keeps its bytes, never decoded as CP932.
QStringList decodeLineBytes(const QByteArray& bytes);

// The largest file readTextLines reads: far beyond any settings or
// favourites file.
constexpr qint64 kMaxTextLinesBytes = qint64(1) << 20;

// Reads a whole text file into lines. False when it is missing, is not a
// regular file (a FIFO or a device is never waited on or read), is longer
// than kMaxTextLinesBytes or cannot be read; *result tells which (Missing
// is the one case where writing a new file loses nothing).
bool readTextLines(const QString& path, QStringList& lines, platform::OpenResult* result = nullptr);

// The same with each line's bytes kept (decodeLineBytes).
bool readLineBytes(const QString& path, QStringList& lines,
                   platform::OpenResult* result = nullptr);

// Writes the lines through a temporary file renamed over the old one, so a
// crash while saving leaves the old file whole. False on any failure, and
// when the path names something else than a regular file (a FIFO, a device,
// a folder, or a link to one), which is left as it is.
bool writeTextLines(const QString& path, const QStringList& lines);

// Lines that are paths (the favourites file). A path is bytes on Linux, so
// a line that is not valid text in the file's encoding keeps its bytes as a
// NativePath carrier instead of being decoded with replacement characters.
// The file's encoding is UTF-8 unless it is not valid UTF-8 and no line of
// it is valid non-ASCII UTF-8, then CP932.
QStringList decodePathLines(const QByteArray& bytes);
// Each line's file-system bytes (a carrier's own bytes, else UTF-8), each
// followed by CR LF.
QByteArray joinPathLinesCrLf(const QStringList& lines);
// The largest favourites file read: a list of tens of thousands of long
// paths fits, and a file that does not is never written over.
constexpr qint64 kMaxPathLinesBytes = qint64(16) << 20;
// The same for files: at most kMaxPathLinesBytes of a regular file are
// read; false when it cannot be opened or read, or is not a regular file of
// that size, with *result saying why.
bool readPathLines(const QString& path, QStringList& lines, platform::OpenResult* result = nullptr);
// Written through a temporary file renamed over the old one, flushed to the
// disk first. False on any failure (the old file stays).
bool writePathLines(const QString& path, const QStringList& lines);

} // namespace sq
