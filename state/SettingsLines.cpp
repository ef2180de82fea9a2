#include "state/SettingsLines.h"

#include "engine/TextLines.h"
#include "platform/AtomicFile.h"

#include "platform/NativePath.h"

#include <QFileInfo>

#include <sys/stat.h>

namespace {

// Defaults of lines 0 ... 54; nullptr marks line 44 (screen width - 530) and
// line 53 (never given a default).
const char* const kDefaults[TSettingsLines::Count] = {
    "0",   "3",   "1",   "2",   "1",   "3",   "0",   "1",   "2",   "1",   // 0-9
    "1",   "0",   "0",   "0",   "0",   "0",   "0",   "2",   "0",   "0",   // 10-19
    "0",   "0",   "0",   "0",   "0",   "0",   "1",   "2",   "1",   "0",   // 20-29
    "0",   "1",   "1",   "1",   "1",   "2",   "55",  "314", "547", "165", // 30-39
    "100", "345", "431", "348", nullptr, "15", "0",  "0",   "2",   "2",   // 40-49
    "2",   "186", "2",   nullptr, "100",                                 // 50-54
};

} // namespace

TSettingsLines::TSettingsLines()
{
    m_lines.reserve(Count);
    for (int i = 0; i < Count; ++i)
        m_lines.append(QString::number(i));
}

QString TSettingsLines::defaultText(int i, int screenWidth)
{
    if (i == 44)
        return QString::number(screenWidth - 530);
    if (i == 53)
        return QStringLiteral("53");
    return QString::fromLatin1(kDefaults[i]);
}

void TSettingsLines::writeDefaults(int screenWidth)
{
    m_screenWidth = screenWidth;
    for (int i = 0; i < Count; ++i)
        if (i != 53)
            m_lines[i] = defaultText(i, screenWidth);
}

void TSettingsLines::replaceAll(const QStringList& lines, int screenWidth)
{
    m_screenWidth = screenWidth;
    for (int i = 0; i < Count; ++i)
        m_lines[i] = i < lines.size() ? lines.at(i) : defaultText(i, screenWidth);
}

bool TSettingsLines::strictToInt(const QString& text, int& value)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i == n)
        return false;
    long long v = 0;
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        v = v * 10 + (c.unicode() - '0');
        if (v > 2147483648LL)
            return false;
    }
    if (negative)
        v = -v;
    if (v > 2147483647LL)
        return false;
    value = static_cast<int>(v);
    return true;
}

int TSettingsLines::readInt(int i)
{
    int value = 0;
    if (strictToInt(m_lines.at(i), value))
        return value;
    m_lines[i] = defaultText(i, m_screenWidth);
    strictToInt(m_lines.at(i), value);
    return value;
}

void TSettingsLines::setText(int i, const QString& text)
{
    m_lines[i] = text;
}

TSettingsLines::FileState TSettingsLines::load(const QString& path, int screenWidth)
{
    QStringList lines;
    sq::platform::OpenResult result;
    // Line 0 is a path, and a path is bytes: every line keeps its bytes, so
    // a folder whose name is not UTF-8 comes back as it was saved.
    if (!sq::readLineBytes(path, lines, &result)) {
        // The defaults, not line numbers.
        writeDefaults(screenWidth);
        return result == sq::platform::OpenResult::Missing ? FileState::Missing
                                                           : FileState::Unreadable;
    }
    replaceAll(lines, screenWidth);
    return FileState::Read;
}

bool TSettingsLines::save(const QString& path) const
{
    // A FIFO, device or folder in the file's place is left as it is; a link
    // is replaced by the file itself, so nothing outside the folder is
    // written.
    struct stat st;
    if (::lstat(sq::platform::nativePath(path).constData(), &st) == 0 && !S_ISREG(st.st_mode) &&
        !S_ISLNK(st.st_mode))
        return false;
    return sq::platform::writeFileAtomically(path, sq::joinLinesCrLf(m_lines), true) == 0;
}
