#include "engine/TextLines.h"

#include "platform/AtomicFile.h"
#include "platform/NativePath.h"
#include "platform/SafeRead.h"

#include <QSaveFile>
#include <QStringDecoder>

namespace sq {

QString decodeText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError()) {
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        return text;
    }
    QStringDecoder sjis("Shift_JIS");
    if (sjis.isValid())
        return sjis.decode(bytes);
    return QString::fromLatin1(bytes);
}

QStringList splitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        lines.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QByteArray joinLinesCrLf(const QStringList& lines)
{
    QByteArray out;
    // A first line that starts with U+FEFF would lose it as the file's mark.
    if (!lines.isEmpty() && lines.first().startsWith(QChar(0xFEFF))) out += "\xEF\xBB\xBF";
    for (const QString& line : lines) {
        out += platform::nativePath(line);
        out += "\r\n";
    }
    return out;
}

namespace {
QList<QByteArray> splitByteLines(const QByteArray& bytes);
}

QStringList decodeLineBytes(const QByteArray& bytes)
{
    QList<QByteArray> raw = splitByteLines(bytes);
    if (!raw.isEmpty() && raw.first().startsWith("\xEF\xBB\xBF")) raw.first().remove(0, 3);
    QStringList lines;
    lines.reserve(raw.size());
    for (const QByteArray& line : raw)
        lines << platform::pathFromNative(line);
    return lines;
}

bool readLineBytes(const QString& path, QStringList& lines, platform::OpenResult* outcome)
{
    platform::OpenResult result;
    const QByteArray bytes = platform::readWholeFile(path, kMaxTextLinesBytes, &result);
    if (outcome) *outcome = result;
    if (result != platform::OpenResult::Ok) return false;
    lines = decodeLineBytes(bytes);
    return true;
}

bool readTextLines(const QString& path, QStringList& lines, platform::OpenResult* outcome)
{
    platform::OpenResult result;
    const QByteArray bytes = platform::readWholeFile(path, kMaxTextLinesBytes, &result);
    if (outcome) *outcome = result;
    if (result != platform::OpenResult::Ok) return false;
    lines = splitLines(decodeText(bytes));
    return true;
}

bool writeTextLines(const QString& path, const QStringList& lines)
{
    // QSaveFile renames its temporary file over what the name points to: a
    // link to a device would have the device replaced by a regular file.
    const platform::PathKind kind = platform::pathKind(path);
    if (kind != platform::PathKind::Regular && kind != platform::PathKind::Missing) return false;
    // By the path's bytes: QSaveFile would take the name as UTF-8 text.
    return platform::writeFileAtomically(path, joinLinesCrLf(lines), true) == 0;
}

namespace {

QList<QByteArray> splitByteLines(const QByteArray& bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = bytes.at(i);
        if (c != '\r' && c != '\n')
            continue;
        lines.append(bytes.mid(start, i - start));
        if (c == '\r' && i + 1 < n && bytes.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(bytes.mid(start));
    return lines;
}

bool isAscii(const QByteArray& bytes)
{
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool isUtf8(const QByteArray& bytes, QString* text = nullptr)
{
    // A byte order mark is text here; only the file's first one is not.
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString decoded = utf8.decode(bytes);
    if (utf8.hasError())
        return false;
    if (text)
        *text = std::move(decoded);
    return true;
}

} // namespace

QStringList decodePathLines(const QByteArray& bytes)
{
    QString text;
    if (isUtf8(bytes, &text)) {
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        return splitLines(text);
    }
    QList<QByteArray> raw = splitByteLines(bytes);
    if (!raw.isEmpty() && raw.first().startsWith("\xEF\xBB\xBF"))
        raw.first().remove(0, 3);
    // One line of real UTF-8 text makes the file ours: its other lines are
    // names that are not UTF-8, not CP932 text.
    bool utf8File = false;
    for (const QByteArray& line : raw)
        utf8File = utf8File || (!isAscii(line) && isUtf8(line));
    QStringList lines;
    for (const QByteArray& line : raw) {
        if (isUtf8(line, &text)) {
            lines << text;
            continue;
        }
        QStringDecoder sjis("Shift_JIS", QStringDecoder::Flag::Stateless);
        if (!utf8File && sjis.isValid()) {
            text = sjis.decode(line);
            if (!sjis.hasError()) {
                lines << text;
                continue;
            }
        }
        lines << platform::pathFromNative(line);
    }
    return lines;
}

QByteArray joinPathLinesCrLf(const QStringList& lines)
{
    QByteArray out;
    // A first line that starts with U+FEFF would lose it as the file's mark.
    if (!lines.isEmpty() && lines.first().startsWith(QChar(0xFEFF)))
        out += "\xEF\xBB\xBF";
    for (const QString& line : lines) {
        out += platform::nativePath(line);
        out += "\r\n";
    }
    return out;
}

bool readPathLines(const QString& path, QStringList& lines, platform::OpenResult* outcome)
{
    platform::OpenResult result;
    const QByteArray bytes = platform::readWholeFile(path, kMaxPathLinesBytes, &result);
    if (outcome) *outcome = result;
    if (result != platform::OpenResult::Ok)
        return false;
    lines = decodePathLines(bytes);
    return true;
}

bool writePathLines(const QString& path, const QStringList& lines)
{
    return platform::writeFileAtomically(path, joinPathLinesCrLf(lines), true) == 0;
}

} // namespace sq
