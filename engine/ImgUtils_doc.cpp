// Pages and mails as pictures: an HTML page, or a mail's HTML or plain-text
// body under its subject, sender and date, laid out by QTextDocument and
// painted on white. Nothing outside the file is ever read.

// GMime (through glib) comes before any Qt header.
#include <gmime/gmime.h>

#include "engine/HtmlBounds.h"
#include "engine/ImgUtils.h"
#include "engine/TextLines.h"
#include "platform/SafeRead.h"

#include <QBuffer>
#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QPainter>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimeZone>
#include <QUrl>

#include <mutex>

namespace {

// Only the head of a huge page or mail is read, so that one file cannot
// hold the worker up for long.
constexpr qint64 kMaxDocumentBytes = qint64(2) << 20;

QByteArray readHead(const QString& fileName, bool* ok)
{
    sq::platform::OpenResult result;
    QByteArray bytes = sq::platform::readFileHead(fileName, kMaxDocumentBytes, &result);
    *ok = result == sq::platform::OpenResult::Ok;
    return bytes;
}

// What the pictures of one page or mail may take in all, decoded (128 MiB
// at four bytes a pixel), and how many are decoded: each distinct data: or
// cid: picture is decoded once and kept for the document's life, and a few
// bytes of GIF declare a 16384 x 16384 screen. Pictures past either bound
// stay blank, in the order the page names them.
constexpr qint64 kMaxDocumentPixels = qint64(1) << 25;
constexpr int kMaxDocumentPictures = 256;

// The payload of a data: URL, base64 or percent-encoded.
QByteArray dataUrlPayload(const QUrl& url)
{
    const QByteArray text = url.toEncoded(QUrl::RemoveScheme);
    const qsizetype comma = text.indexOf(',');
    if (comma < 0) return {};
    const QByteArray meta = text.left(comma);
    const QByteArray payload = QByteArray::fromPercentEncoding(text.mid(comma + 1));
    return meta.endsWith(";base64") ? QByteArray::fromBase64(payload) : payload;
}

// A picture of at most maxPixels as its header declares it (nothing is
// decoded otherwise); null when it is larger, damaged or of no known format.
QImage decodeWithin(const QByteArray& bytes, qint64 maxPixels)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return {};
    QImageReader reader(&buffer);
    QSize size = reader.size();
    // Qt's GIF reader tells the first frame's size but decodes into a
    // picture of the logical screen's.
    if (bytes.startsWith("GIF8") && bytes.size() >= 10) {
        const auto le16 = [&bytes](int at) {
            return int(uchar(bytes[at])) | int(uchar(bytes[at + 1])) << 8;
        };
        size = size.expandedTo(QSize(le16(6), le16(8)));
    }
    if (!size.isValid() || size.isEmpty() || qint64(size.width()) * size.height() > maxPixels)
        return {};
    QImage image = reader.read();
    if (image.isNull() || qint64(image.width()) * image.height() > maxPixels) return {};
    return image;
}

// A document that never fetches anything: pictures and style sheets named
// by URL or path (remote, or files anywhere on the disk) stay blank. Inline
// data: URLs and the pictures the loader hands over (a mail's cid: parts)
// are shown, within the document's picture budget.
class ClosedDocument : public QTextDocument
{
public:
    // The encoded picture a cid: URL of the page names.
    void addPictureBytes(const QString& contentId, const QByteArray& bytes)
    {
        m_cidPictures.insert(contentId, bytes);
    }

    // setHtml, then every picture the page names is looked up once, in the
    // page's order, so that the budget goes to the first ones; one not in
    // hand gets a blank resource: Qt's image handler would otherwise read a
    // name it cannot resolve straight from the disk as a file path.
    void setClosedHtml(const QString& html)
    {
        setHtml(html);
        for (QTextBlock block = begin(); block.isValid(); block = block.next())
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat format = it.fragment().charFormat();
                if (!format.isImageFormat()) continue;
                const QUrl url(format.toImageFormat().name());
                if (resource(ImageResource, url).isNull()) addResource(ImageResource, url, blank());
            }
    }

protected:
    QVariant loadResource(int type, const QUrl& name) override
    {
        const bool data = name.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0;
        if (type != ImageResource)
            return data ? QTextDocument::loadResource(type, name) : QVariant();
        QByteArray bytes;
        if (data)
            bytes = dataUrlPayload(name);
        else if (name.scheme().compare(QLatin1String("cid"), Qt::CaseInsensitive) == 0)
            bytes = m_cidPictures.value(name.path());
        QImage image;
        if (!bytes.isEmpty() && m_picturesLeft > 0) {
            --m_picturesLeft;
            image = decodeWithin(bytes, m_pixelsLeft);
            m_pixelsLeft -= qint64(image.width()) * image.height();
        }
        if (image.isNull()) image = blank();
        // Kept, so that the picture is decoded (and paid for) once.
        addResource(ImageResource, name, image);
        return image;
    }

private:
    static QImage blank()
    {
        QImage image(1, 1, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        return image;
    }

    QHash<QString, QByteArray> m_cidPictures;
    qint64 m_pixelsLeft = kMaxDocumentPixels;
    int m_picturesLeft = kMaxDocumentPictures;
};

// The page's text: the charset its BOM or meta tag names, else UTF-8, else
// CP932 for pages saved by Japanese Windows programs.
QString decodeHtml(const QByteArray& bytes)
{
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    if (decoder.isValid()) {
        const bool utf8 = QByteArray(decoder.name()).compare("UTF-8", Qt::CaseInsensitive) == 0;
        QString text = decoder.decode(bytes);
        if (!utf8 || !decoder.hasError()) return text;
    }
    return sq::decodeText(bytes);
}

// Lays doc out at the picture's width and paints it from top, clipped to
// the picture; returns the height the document took.
qreal paintDocument(QTextDocument& doc, QPainter& painter, qreal top, const QSize& size)
{
    doc.setTextWidth(size.width());
    painter.save();
    painter.translate(0, top);
    doc.drawContents(&painter, QRectF(0, 0, size.width(), size.height() - top));
    painter.restore();
    return doc.size().height();
}

bool renderHtml(const QByteArray& bytes, QImage& image)
{
    QString html = decodeHtml(bytes);
    sq::html::PageBounds bounds;
    if (!sq::html::boundPage(html, &bounds)) return false;
    ClosedDocument doc;
    doc.setClosedHtml(html);
    if (!sq::html::documentWithinBounds(doc, bounds)) return false;
    sq::html::boundLengths(doc);
    QPainter painter(&image);
    paintDocument(doc, painter, 0, image.size());
    return true;
}

// ---- mail ----

void gmimeOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

template <typename T> struct GUnref
{
    void operator()(T* p) const
    {
        if (p) g_object_unref(p);
    }
};
template <typename T> using GPtr = std::unique_ptr<T, GUnref<T>>;

QString takeGString(char* text)
{
    const QString s = text ? QString::fromUtf8(text) : QString();
    g_free(text);
    return s;
}

struct MailParts
{
    QString html;
    QString plain;
    // Inline pictures named by Content-ID, for cid: references of the HTML,
    // still encoded: the document decodes those the page shows.
    QList<std::pair<QString, QByteArray>> pictures;
};

void collectPart(GMimeObject* /*parent*/, GMimeObject* part, gpointer data)
{
    auto* parts = static_cast<MailParts*>(data);
    if (!GMIME_IS_PART(part)) return;
    GMimePart* mimePart = GMIME_PART(part);
    GMimeContentType* type = g_mime_object_get_content_type(part);
    if (GMIME_IS_TEXT_PART(part) && !g_mime_part_is_attachment(mimePart)) {
        QString* slot = nullptr;
        if (g_mime_content_type_is_type(type, "text", "html"))
            slot = &parts->html;
        else if (g_mime_content_type_is_type(type, "text", "plain"))
            slot = &parts->plain;
        if (slot && slot->isEmpty())
            *slot = takeGString(g_mime_text_part_get_text(GMIME_TEXT_PART(part)));
        return;
    }
    const char* id = g_mime_object_get_content_id(part);
    GMimeDataWrapper* content = g_mime_part_get_content(mimePart);
    if (!id || !content || !g_mime_content_type_is_type(type, "image", "*")) return;
    GPtr<GMimeStream> stream(g_mime_stream_mem_new());
    if (g_mime_data_wrapper_write_to_stream(content, stream.get()) < 0) return;
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    if (array && array->len > 0 && array->len < guint(INT_MAX))
        parts->pictures.append(
            {QString::fromUtf8(id),
             QByteArray(reinterpret_cast<const char*>(array->data), int(array->len))});
}

QString headerHtml(GMimeMessage* message)
{
    const QString subject = QString::fromUtf8(g_mime_message_get_subject(message));
    QString from;
    if (InternetAddressList* list = g_mime_message_get_from(message))
        from = takeGString(internet_address_list_to_string(list, nullptr, FALSE));
    QString date;
    if (GDateTime* when = g_mime_message_get_date(message)) {
        const qint64 secs = g_date_time_to_unix(when);
        const int offset = int(g_date_time_get_utc_offset(when) / G_TIME_SPAN_SECOND);
        date = QDateTime::fromSecsSinceEpoch(secs, QTimeZone(offset))
                   .toString(QStringLiteral("yyyy/MM/dd HH:mm"));
    }
    if (subject.isEmpty() && from.isEmpty() && date.isEmpty()) return {};
    return QStringLiteral("<div style=\"background-color:#e8e8e8\"><b>%1</b><br>%2<br>%3</div>")
        .arg(subject.toHtmlEscaped(), from.toHtmlEscaped(), date.toHtmlEscaped());
}

bool renderMail(const QByteArray& bytes, QImage& image)
{
    gmimeOnce();
    GPtr<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(bytes.constData(), size_t(bytes.size())));
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!message) return false;
    MailParts parts;
    g_mime_message_foreach(message.get(), collectPart, &parts);
    QString header = headerHtml(message.get());
    // Text that has no mail headers and no body is not a mail.
    if (header.isEmpty() && parts.html.isEmpty() && parts.plain.isEmpty()) return false;
    // The body is bounded as a page is; the header block is ours, only its
    // texts can be long.
    QString body = !parts.html.isEmpty() ? parts.html
                                         : QStringLiteral("<pre>") + parts.plain.toHtmlEscaped() +
                                               QStringLiteral("</pre>");
    sq::html::PageBounds bounds;
    if (!sq::html::boundPage(body, &bounds)) return false;
    if (!sq::html::boundPage(header)) header.clear();

    ClosedDocument bodyDoc;
    for (const auto& [id, picture] : parts.pictures)
        bodyDoc.addPictureBytes(id, picture);
    bodyDoc.setClosedHtml(body);
    if (!sq::html::documentWithinBounds(bodyDoc, bounds)) return false;
    sq::html::boundLengths(bodyDoc);

    QPainter painter(&image);
    qreal top = 0;
    if (!header.isEmpty()) {
        ClosedDocument doc;
        doc.setDocumentMargin(0);
        doc.setClosedHtml(header);
        top = paintDocument(doc, painter, 0, image.size()) + 4;
    }
    paintDocument(bodyDoc, painter, top, image.size());
    return true;
}

} // namespace

bool TImgUtil::ExtractShellImage(const QString& fileName, TBitmap& bitmap)
{
    QImage& image = bitmap.image();
    if (image.isNull()) return false;
    bool ok = false;
    const QByteArray bytes = readHead(fileName, &ok);
    if (!ok) return false;
    QImage page(image.size(), QImage::Format_RGB888);
    page.fill(Qt::white);
    const bool mail =
        QFileInfo(fileName).suffix().compare(QLatin1String("eml"), Qt::CaseInsensitive) == 0;
    if (!(mail ? renderMail(bytes, page) : renderHtml(bytes, page))) return false;
    image = std::move(page);
    return true;
}

int TImgUtil::loadDocument(const QString& fileName, int width, int height)
{
    // An empty box has no shape to give the page.
    if (width <= 0 || height <= 0) return -1;
    const qint64 pageHeight = qint64(640.0 / width * height);
    if (pageHeight <= 0 || 640 * pageHeight > MaxPixels) return -1;
    QImage page(640, int(pageHeight), QImage::Format_RGB888);
    if (page.isNull()) return -1;
    m_bitmap.setImage(std::move(page));
    if (!ExtractShellImage(fileName, m_bitmap)) {
        m_bitmap.empty();
        return -1;
    }
    m_imageWidth = m_bitmap.width();
    m_imageHeight = m_bitmap.height();
    // The page takes the exact box, its aspect already that of the box.
    if (m_getType != igtNormal) ResizeBitmap(m_bitmap, width, height);
    return 0;
}
