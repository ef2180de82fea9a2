// The page bounds scan: nesting counted as Qt's HTML parser nests (checked
// against QTextDocument's own tables), deep pages refused, costly ones cut,
// and the page and mail loaders refusing what the scan refuses.
#include "engine/HtmlBounds.h"
#include "engine/ImgUtils.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/TestFiles.h"

#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>
#include <QtTest>

using namespace sq::html;

namespace {

QString rep(const char* s, int n)
{
    QString r;
    for (int i = 0; i < n; ++i)
        r += QLatin1String(s);
    return r;
}

// Where a test page puts its length.
enum class Probe {
    CellPadding,
    CellSpacing,
    TableBorder,
    TableMargin,
    TableWidth,
    ColumnWidth,
    OwnCellPadding,
    BlockMargin,
    TextIndent,
    BlockIndent,
    PictureWidth,
    FontPixels,
};

QTextTable* firstTable(QTextDocument& doc)
{
    for (QTextFrame* f : doc.rootFrame()->childFrames())
        if (auto* t = qobject_cast<QTextTable*>(f)) return t;
    return nullptr;
}

// The first fragment of the document whose format has the property.
QTextCharFormat firstChars(QTextDocument& doc, int property)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().hasProperty(property)) return it.fragment().charFormat();
    return {};
}

QTextBlockFormat firstBlock(QTextDocument& doc, int property)
{
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        if (b.blockFormat().hasProperty(property)) return b.blockFormat();
    return {};
}

double probe(QTextDocument& doc, Probe what)
{
    QTextTable* table = firstTable(doc);
    switch (what) {
    case Probe::CellPadding:
        return table ? table->format().cellPadding() : -1;
    case Probe::CellSpacing:
        return table ? table->format().cellSpacing() : -1;
    case Probe::TableBorder:
        return table ? table->format().border() : -1;
    case Probe::TableMargin:
        return table ? table->format().topMargin() : -1;
    case Probe::TableWidth:
        return table ? table->format().width().rawValue() : -1;
    case Probe::ColumnWidth:
        return table && !table->format().columnWidthConstraints().isEmpty()
                   ? table->format().columnWidthConstraints().first().rawValue()
                   : -1;
    case Probe::OwnCellPadding:
        return table ? table->cellAt(0, 0).format().toTableCellFormat().leftPadding() : -1;
    case Probe::BlockMargin:
        return firstBlock(doc, QTextFormat::BlockTopMargin).topMargin();
    case Probe::TextIndent:
        return firstBlock(doc, QTextFormat::TextIndent).textIndent();
    case Probe::BlockIndent:
        return firstBlock(doc, QTextFormat::BlockIndent).indent();
    case Probe::PictureWidth:
        return firstChars(doc, QTextFormat::ImageWidth).toImageFormat().width();
    case Probe::FontPixels:
        return firstChars(doc, QTextFormat::FontPixelSize).intProperty(QTextFormat::FontPixelSize);
    }
    return -1;
}

} // namespace

Q_DECLARE_METATYPE(Probe)

class TstHtmlBounds : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void nestingAsQtNests_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("tables");
        QTest::addColumn<bool>("tooDeep");
        const QString t = QStringLiteral("<table><tr><td>");
        QTest::newRow("8 tables") << rep("<table><tr><td>", 8) + "x" + rep("</td></tr></table>", 8)
                                  << 24 << 8 << false;
        QTest::newRow("9 tables") << rep("<table><tr><td>", 9) << 25 << 9 << true;
        QTest::newRow("9 tables, upper case, spaced")
            << rep("< TABLE ><TR><Td >", 9) << 25 << 9 << true;
        QTest::newRow("tables closed in turn")
            << rep("<table><tr><td>x</td></tr></table>", 50) << 3 << 1 << false;
        QTest::newRow("rows never closed") << "<table>" + rep("<tr><td>x", 500) << 3 << 1 << false;
        QTest::newRow("stray cells") << rep("<td>x", 50) << 3 << 1 << false;
        QTest::newRow("tables in comments")
            << t + rep("<!-- <table><tr><td> -->", 50) << 3 << 1 << false;
        QTest::newRow("comment never closed") << t + "<!--" + rep("<table>", 50) << 3 << 1 << false;
        QTest::newRow("tables in quotes")
            << t + rep("<a title=\"<table><tr><td>\">", 20) << 23 << 1 << false;
        QTest::newRow("self-closed") << rep("<table/><div/>", 100) << 0 << 0 << false;
        QTest::newRow("stray end tags") << t + rep("</div></table x>", 3) + t << 3 << 1 << false;
        QTest::newRow("end tag with a space") << t + "</ table>" + t << 6 << 2 << false;
        // Qt parses a script's text as markup: its tables count.
        QTest::newRow("tables in a script")
            << "<script>" + rep("<table><tr><td>", 9) << 26 << 9 << true;
        QTest::newRow("paragraphs never closed") << rep("<p>x", 2000) << 1 << 0 << false;
        QTest::newRow("list items never closed") << "<ul>" + rep("<li>x", 2000) << 2 << 0 << false;
        QTest::newRow("512 divs") << rep("<div>", 512) << 512 << 0 << false;
        QTest::newRow("513 divs") << rep("<div>", 513) << 513 << 0 << true;
        QTest::newRow("513 unknown elements") << rep("<x>", 513) << 513 << 0 << true;
        QTest::newRow("less-than in text") << rep("1 < 2 ", 600) << 1 << 0 << false;
        QTest::newRow("empty names") << rep("<><=x>< >", 600) << 0 << 0 << false;
        // Qt keeps an implicit table that stands straight in a table open
        // after its end tag: what follows nests inside it.
        QTest::newRow("implicit tables kept open")
            << rep("<table><tr><td></tr><td></table>", 3) + "<td>x" << 19 << 7 << false;
        QTest::newRow("stray cells closed by table ends")
            << rep("<td></table>", 6) + "<td>x" << 3 << 1 << false;
        // Each caption closed by the next section stays counted: what stands
        // in a table outside its cells is never closed by Qt's builder.
        QTest::newRow("sections and captions")
            << t + rep("<tbody><caption><thead><tr><td>", 30) << 34 << 1 << false;
    }
    void nestingAsQtNests()
    {
        QFETCH(QString, page);
        QFETCH(int, depth);
        QFETCH(int, tables);
        QFETCH(bool, tooDeep);
        const PageBounds b = measurePage(page);
        QCOMPARE(b.tooDeep, tooDeep);
        QCOMPARE(b.depth, depth);
        QCOMPARE(b.tableDepth, tables);
        // Never fewer tables than the document Qt builds from the text.
        QTextDocument doc;
        doc.setHtml(page);
        QVERIFY(documentTableDepth(doc.rootFrame()) <= b.tableDepth);
        if (!tooDeep) QVERIFY(documentWithinBounds(doc, b));
        QString bounded = page;
        QCOMPARE(boundPage(bounded), !tooDeep);
    }

    void costlyPagesAreCut_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("cut");
        auto fill = [](const char* unit) {
            QString s;
            while (s.size() < (2 << 20))
                s += QLatin1String(unit);
            return s;
        };
        QTest::newRow("a small page") << QStringLiteral("<p>Hello <b>world</b></p>") << false;
        QTest::newRow("2 MiB of NULs") << QString((2 << 20), QChar(0)) << false;
        QTest::newRow("words") << fill("word ") << true;
        QTest::newRow("one long word") << fill("a") << true;
        QTest::newRow("Japanese text")
            << QString::fromUtf8("日本語の文章です。").repeated(200000) << true;
        QTest::newRow("table cells") << "<table><tr>" + fill("<td>x</td>") << true;
        QTest::newRow("self-closed elements") << fill("<y/>") << true;
        QTest::newRow("end tags deep down") << rep("<x>", 500) + fill("</y>") << true;
        QTest::newRow("a script") << "<script>" + fill("var a=1;") + "</script><p>shown" << false;
    }
    void costlyPagesAreCut()
    {
        QFETCH(QString, page);
        QFETCH(bool, cut);
        QString bounded = page;
        QVERIFY(boundPage(bounded));
        QVERIFY(!bounded.contains(QChar(0)));
        QCOMPARE(bounded.size() < page.remove(QChar(0)).size(), cut);
        QVERIFY(page.startsWith(bounded));
        const PageBounds b = measurePage(bounded);
        QVERIFY(b.cost <= kMaxCost);
        QCOMPARE(b.keep, bounded.size());
        // A cut page still shows its top: far more than a thumbnail holds.
        if (cut) QVERIFY2(bounded.size() > 3000, qPrintable(QString::number(bounded.size())));
    }

    // Qt fills every row of a table up to the widest one and lays out each
    // position: the scan counts the grid, not only the cells written.
    void tableGridsAreCounted_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("cut");
        QTest::newRow("20 x 20 cells")
            << "<table>" + rep("<tr>" + rep("<td>x</td>", 20).toLatin1(), 20) << false;
        QTest::newRow("spans inside a small table")
            << QStringLiteral("<table><tr><td rowspan=3 colspan=3>x<td>y<tr><td>z<tr><td>w</table>")
            << false;
        QTest::newRow("a wide first row over 1000 rows")
            << "<table><tr><td colspan=100>x</td></tr>" + rep("<tr><td>y</td></tr>", 1000) << true;
        QTest::newRow("100 cells, then 1000 rows of one")
            << "<table><tr>" + rep("<td>x", 100) + rep("<tr><td>y", 1000) << true;
        QTest::newRow("one span of 100000 columns over two rows")
            << QStringLiteral(
                   "<table><tr><td colspan=100000>x</td></tr><tr><td>y</td></tr></table>")
            << true;
        QTest::newRow("spans of 1000 rows, each pushing the next right")
            << "<table>" + rep("<tr><td rowspan=1000>x</td></tr>", 300) << true;
        QTest::newRow("span of no number")
            << "<table><tr><td colspan=x1000>x</td></tr>" + rep("<tr><td>y", 1000) << false;
    }
    void tableGridsAreCounted()
    {
        QFETCH(QString, page);
        QFETCH(bool, cut);
        QString bounded = page;
        QVERIFY(boundPage(bounded));
        QCOMPARE(bounded.size() < page.size(), cut);
        QVERIFY(measurePage(bounded).cost <= kMaxCost);
    }

    // Lengths from attributes and style sheets alike are cut in the built
    // document before it is laid out; sane ones stay as they are.
    void lengthsAreCut_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<Probe>("what");
        QTest::addColumn<double>("sane"); // the page with N = 12
        const struct
        {
            const char* name;
            const char* page;
            Probe what;
            double sane;
        } rows[] = {
            {"cellpadding", "<table cellpadding=N><tr><td>x</td></tr></table>", Probe::CellPadding,
             12},
            {"cellspacing", "<table cellspacing=N><tr><td>x</td></tr></table>", Probe::CellSpacing,
             12},
            {"border", "<table border=N><tr><td>x</td></tr></table>", Probe::TableBorder, 12},
            {"table margin in style", "<table style=\"margin:Npx\"><tr><td>x</td></tr></table>",
             Probe::TableMargin, 12},
            {"table width", "<table width=N><tr><td>x</td></tr></table>", Probe::TableWidth, 12},
            {"cell width", "<table><tr><td width=N>x</td></tr></table>", Probe::ColumnWidth, 12},
            {"cell padding in a style sheet",
             "<style>td { padding: Npx }</style><table><tr><td>x</td></tr></table>",
             Probe::OwnCellPadding, 12},
            {"paragraph margin", "<p style=\"margin-top:Npx\">x</p>", Probe::BlockMargin, 12},
            {"text indent", "<p style=\"text-indent:Npx\">x</p>", Probe::TextIndent, 12},
            {"block indent", "<p style=\"-qt-block-indent:N\">x</p>", Probe::BlockIndent, 12},
            {"picture width", "<img width=N height=N src=\"x.png\">", Probe::PictureWidth, 12},
            {"font size", "<p style=\"font-size:Npx\">x</p>", Probe::FontPixels, 12},
        };
        for (const auto& r : rows)
            QTest::newRow(r.name) << QString::fromLatin1(r.page) << r.what << r.sane;
    }
    void lengthsAreCut()
    {
        QFETCH(QString, page);
        QFETCH(Probe, what);
        QFETCH(double, sane);
        const double limit = what == Probe::BlockIndent ? kMaxIndent : kMaxLength;
        {
            QTextDocument doc;
            doc.setHtml(QString(page).replace(QLatin1String("N"), QLatin1String("100000000")));
            QVERIFY2(probe(doc, what) > limit, "the page does not set what it tests");
            QVERIFY(boundLengths(doc));
            QCOMPARE(probe(doc, what), limit);
        }
        QTextDocument doc;
        doc.setHtml(QString(page).replace(QLatin1String("N"), QLatin1String("12")));
        QCOMPARE(probe(doc, what), sane);
        QVERIFY(!boundLengths(doc));
        QCOMPARE(probe(doc, what), sane);
    }

    void loadersRefuseDeepPages_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("result");
        const QByteArray ok = rep("<table><tr><td>", 8).toUtf8() + "deep";
        const QByteArray deep = rep("<table><tr><td>", 20).toUtf8() + "deeper";
        const QByteArray mail =
            "From: a@example.com\r\nSubject: s\r\nContent-Type: text/html\r\n\r\n";
        QTest::newRow("page at the limit") << "ok.html" << ok << 0;
        QTest::newRow("page past it") << "deep.html" << deep << -1;
        QTest::newRow("mail at the limit") << "ok.eml" << mail + ok << 0;
        QTest::newRow("mail past it") << "deep.eml" << mail + deep << -1;
        // Broken rows that Qt's builder nests deeper than its parser does:
        // the built document is checked before layout.
        QTest::newRow("builder nests deeper")
            << "deeper.html" << QByteArray("<td></tr><p><td><tr><p><td>x") << -1;
        QTest::newRow("page of NULs") << "nul.html" << QByteArray(2 << 20, '\0') << 0;
        // Lengths near 2^25 pixels overflow the layout's fixed point, and a
        // sparse table's grid is filled: each of these ran for minutes.
        const QByteArray slow[] = {
            "<table cellpadding=100000000><tr><td>x</td></tr></table>",
            "<table cellspacing=100000000><tr><td>x</td></tr></table>",
            "<table style=\"margin:100000000px\"><tr><td>x</td></tr></table>",
            "<table><tr><td style=\"padding:100000000px\">x</td></tr></table>",
            "<table><tr><td colspan=100>x</td></tr>" + rep("<tr><td>y</td></tr>", 1000).toLatin1(),
            "<table>" + rep("<tr><td rowspan=1000>x</td></tr>", 300).toLatin1(),
        };
        for (int i = 0; i < int(std::size(slow)); ++i) {
            QTest::addRow("slow page %d", i)
                << QStringLiteral("slow%1.html").arg(i) << slow[i] << 0;
            QTest::addRow("slow mail %d", i)
                << QStringLiteral("slow%1.eml").arg(i) << mail + slow[i] << 0;
        }
    }
    void loadersRefuseDeepPages()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, result);
        const QString path = m_dir.filePath(name);
        QVERIFY(sq::test::writeFile(path, bytes));
        sq::test::HangGuard guard(60, QTest::currentDataTag());
        TImgUtil util;
        util.setGetType(igtStretch);
        QCOMPARE(util.LoadImage(path, 160, 120), result);
        QCOMPARE(util.Bitmap().image().size(), result == 0 ? QSize(160, 120) : QSize(32, 32));
    }
};

QTEST_MAIN(TstHtmlBounds)
#include "tst_htmlbounds.moc"
