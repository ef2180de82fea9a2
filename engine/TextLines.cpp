#include "engine/TextLines.h"

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
    for (const QString& line : lines) {
        out += line.toUtf8();
        out += "\r\n";
    }
    return out;
}

bool readTextLines(const QString& path, QStringList& lines)
{
    platform::OpenResult result;
    const QByteArray bytes = platform::readWholeFile(path, kMaxTextLinesBytes, &result);
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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = joinLinesCrLf(lines);
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

} // namespace sq
