// Text files typeset into the picture: the first lines, cut at a column,
// drawn with tabs expanded and no wrapping.
#include "engine/ImgUtils.h"

#include "engine/TextLines.h"
#include "platform/SafeRead.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStringDecoder>

#include <algorithm>

namespace sq {

namespace {

// What a text picture reads at most: far more than any box shows (a few
// hundred lines), so only a file of absurdly long lines (or of zeros, which
// end each block) is cut short.
constexpr qint64 kMaxTextBytes = qint64(4) << 20;

} // namespace

QByteArray ReadTextLines(const QString& fileName, int maxLines, int maxColumn)
{
    QByteArray text;
    if (maxLines <= 0)
        return text;
    platform::SafeFile file(fileName);
    if (!file.isOpen()) return text;
    char block[1024];
    int lines = 0;
    qint64 column = 0;
    for (qint64 read = 0; read < kMaxTextBytes;) {
        const qint64 n = file.read(block, std::min<qint64>(sizeof block, kMaxTextBytes - read));
        if (n <= 0)
            break;
        read += n;
        for (qint64 i = 0; i < n; ++i) {
            const char c = block[i];
            if (c == '\0')
                break; // the rest of this block is skipped
            if (c == '\n') {
                if (++lines >= maxLines)
                    return text;
                text += "\r\n";
                column = 0;
            } else if (c != '\r') {
                if (column <= maxColumn)
                    text += c;
                ++column;
            }
        }
    }
    return text;
}

} // namespace sq

namespace {

// A line cut at the column limit may end inside a UTF-8 character; the cut
// character is dropped rather than taking the whole line for CP932.
QString decodeLine(const QByteArray& line)
{
    for (int cut = 0; cut <= 3 && cut <= line.size(); ++cut) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(line.left(line.size() - cut));
        if (!utf8.hasError())
            return text;
    }
    return sq::decodeText(line);
}

} // namespace

int TImgUtil::loadText(const QString& fileName, int width, int height)
{
    // A vanished file is 1 as designed; a FIFO or a device is no text.
    const sq::platform::PathKind kind = sq::platform::pathKind(fileName);
    if (kind != sq::platform::PathKind::Regular)
        return kind == sq::platform::PathKind::Missing ? 1 : -1;
    const int w = 2 * width, h = 2 * height;
    if (w <= 0 || h <= 0 || qint64(w) * h > MaxPixels)
        return 1;
    QImage canvas(w, h, QImage::Format_RGB888);
    if (canvas.isNull())
        return 1;
    canvas.fill(m_bkColor);
    const QFontMetrics metrics(m_font);
    const int lineHeight = metrics.height();
    if (lineHeight < 1)
        return 1;
    const int maxLines = h / lineHeight + 1;
    const int maxColumn = w / 2;
    const QByteArray bytes = sq::ReadTextLines(fileName, maxLines, maxColumn);
    QStringList lines;
    for (const QByteArray& line : bytes.split('\n'))
        lines << decodeLine(line.endsWith('\r') ? line.chopped(1) : line);
    {
        QPainter painter(&canvas);
        painter.setFont(m_font);
        painter.setPen(m_fontColor);
        painter.drawText(QRect(0, 0, w, h), Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs,
                         lines.join(QLatin1Char('\n')));
    }
    m_imageWidth = w;
    m_imageHeight = h;
    m_bitmap.setImage(std::move(canvas));
    return 0;
}
