// The 55 numbered settings lines held by the main window (the single copy)
// and the defaults table. Read by every window on the GUI thread; loaded and
// saved as a whole by the main window.
#pragma once

#include <QString>
#include <QStringList>

class TSettingsLines
{
public:
    static constexpr int Count = 55;

    // Each line holds its own number, as before anything is read.
    TSettingsLines();

    // Default text of line i for a screen of the given width; line 53 has no
    // default and keeps its number.
    static QString defaultText(int i, int screenWidth);

    // Lines 0 ... 52 and 54 take their defaults; line 53 stays untouched.
    void writeDefaults(int screenWidth);

    // Replaces the whole list by the lines read from a file. A short list is
    // filled up with defaults, extra lines are dropped.
    void replaceAll(const QStringList& lines, int screenWidth);

    // Strict decimal integer reads: a line that is not an integer takes its
    // default, which is written back so the file is sound when saved.
    int readInt(int i);
    static bool strictToInt(const QString& text, int& value);

    const QString& text(int i) const { return m_lines.at(i); }
    void setText(int i, const QString& text);
    void setInt(int i, int value) { setText(i, QString::number(value)); }

    const QStringList& lines() const { return m_lines; }

    // The file is UTF-8 text with CR LF line ends; line 0, a path, is
    // written as the path's bytes and read back as them (a carrier,
    // platform/NativePath.h), whether or not they are UTF-8.
    // How load found the file. Unreadable: it is there but is no regular
    // file, is over 1 MiB or cannot be opened or read; every line then takes
    // its default, and the caller must not write over the file.
    enum class FileState { Read, Missing, Unreadable };
    FileState load(const QString& path, int screenWidth);
    // Written through a temporary file renamed over the old one; a symbolic
    // link there is replaced, never written through.
    bool save(const QString& path) const;

private:
    QStringList m_lines;
    int m_screenWidth = 1024;
};
