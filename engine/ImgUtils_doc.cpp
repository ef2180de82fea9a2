// Pages and mails as pictures: an HTML page, or a mail's HTML or plain-text
// body under its subject, sender and date, laid out by QTextDocument and
// painted on white. Nothing outside the file is ever read.

#include "engine/HtmlBounds.h"
#include "engine/ImgUtils.h"
#include "engine/ImgUtils_meta.h"
#include "engine/MailParse.h"
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

QString headerHtml(const sq::mail::MailParts& mail)
{
    QString date;
    if (mail.hasDate)
        date = QDateTime::fromSecsSinceEpoch(mail.dateSecs, QTimeZone(mail.utcOffset))
                   .toString(QStringLiteral("yyyy/MM/dd HH:mm"));
    if (mail.subject.isEmpty() && mail.from.isEmpty() && date.isEmpty()) return {};
    return QStringLiteral("<div style=\"background-color:#e8e8e8\"><b>%1</b><br>%2<br>%3</div>")
        .arg(mail.subject.toHtmlEscaped(), mail.from.toHtmlEscaped(), date.toHtmlEscaped());
}

bool renderMail(const QByteArray& bytes, QImage& image)
{
    sq::mail::MailParts parts;
    if (!sq::mail::parseMail(bytes, &parts)) return false;
    QString header = headerHtml(parts);
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

// ---- metafiles ----

namespace {

// A metafile larger than this is taken as damaged rather than read whole.
constexpr qint64 kMaxMetafileBytes = qint64(64) << 20;

} // namespace

int TImgUtil::loadMetafile(const QString& fileName)
{
    const QByteArray bytes = sq::platform::readWholeFile(fileName, kMaxMetafileBytes);
    if (bytes.isEmpty()) return -1;
    const bool enhanced = m_imageType == iitEmf;
    const QSize size = enhanced ? sq::meta::emfSize(bytes) : sq::meta::wmfSize(bytes);
    if (!size.isValid()) return -1;
    QImage image = enhanced ? sq::meta::renderEmf(bytes, size, m_bkColor)
                            : sq::meta::renderWmf(bytes, size, m_bkColor);
    if (image.isNull()) return -1;
    m_imageWidth = image.width();
    m_imageHeight = image.height();
    m_bitmap.setImage(std::move(image));
    return 0;
}
