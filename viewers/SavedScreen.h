// Saved-screen files (.srq): the slide view's 10-line record as a file, its
// parser, the resolution of its picture paths and the listing of a folder's
// saved-screen files. The slide view's favourites commands (Unit2_favorites)
// use them; the parser is fuzzed (fuzz/fuzz_srq). Pure functions but for the
// file reads and writes, any thread.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What Apply takes from a record. Lines (from 0): 0..3 the screens' picture
// paths relative to the data folder, 4 the layout, 5 the top row's height,
// 6 and 7 the widths of screen 1's and screen 3's panels, 8 the size mode.
struct TSavedScreen
{
    QStringList Paths; // lines 0..3 as written
    int Layout = 0;    // 0 one screen, 1 two, 2 four
    int TopHeight = 0;
    int Panel4Width = 0;
    int Panel6Width = 0;
    // The record's size-mode code: 0 "そのまま", 1 "画像をウインドウに合わせる",
    // 2 "縦横比を保持しない"; -1 keeps the current size mode (an empty line,
    // as a record saved in "大きい画像だけウインドウに合わせる" holds, or
    // another number).
    int SizeCode = -1;
    bool operator==(const TSavedScreen&) const = default;
};

// Largest saved-screen file read (bytes); a record is a few hundred.
inline constexpr qint64 kMaxSavedScreenBytes = qint64(1) << 20;

// The parsed record; none when it is damaged: fewer than 9 lines, line 0
// empty, line 4 other than "0", "1", "2", lines 5..7 not decimal numbers, or
// line 8 neither empty nor a number.
std::optional<TSavedScreen> parseSavedScreen(const QStringList& lines);

// The record as the slide view holds it: exactly 10 lines, missing ones
// empty, extra ones dropped.
QStringList normalizedRecord(const QStringList& lines);

// The full path of a record's picture path: "\" is read as "/" (files of
// the Windows program), a relative path is taken from dataFolder (which
// ends in "/"), "." and ".." are resolved.
QString resolveRecordPath(const QString& dataFolder, const QString& line);

// The record's size-mode code of the slide view's size mode (0..3 as the
// "表示" menu orders them), -1 for "大きい画像だけウインドウに合わせる";
// and the size mode a code runs, -1 for none.
int recordSizeCode(int sizeMode);
int sizeModeOfRecordCode(int code);

// Reads a saved-screen file's lines: UTF-8, else CP932; a line that is
// neither keeps its bytes. Only a regular file under kMaxSavedScreenBytes is
// read, opened without blocking (a FIFO or device is refused, not waited
// on). False when it cannot be read.
bool readSavedScreenFile(const QString& path, QStringList& lines);
// Writes the lines as UTF-8 with CR LF through a temporary file renamed over
// the target, so a failure leaves any old file whole. False on failure.
bool writeSavedScreenFile(const QString& path, const QStringList& lines);

// The names of the saved-screen files ("*.srq", the extension in any case)
// in folder, sorted; folders are left out.
QStringList savedScreenFiles(const QString& folder);
