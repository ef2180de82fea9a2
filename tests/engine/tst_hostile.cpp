// The engine's readers against files that attack them: a FIFO, a link to
// /dev/zero and a sparse 8 GiB file under every picture kind's extension
// (the PNG, GIF, WebP and TIFF loader installed, as the program does), and
// the program's own text files and cache in those forms. Each must come back
// (a hang ends the test through the guard) with its kind's failure, and no
// read may fill memory.
#include "engine/ImgUtils.h"
#include "engine/PictureLoader.h"
#include "engine/TextLines.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/TestFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace sq::test;

Q_DECLARE_METATYPE(Hostile)

namespace {

// Peak resident memory of the process so far, in MiB.
qint64 peakMiB()
{
    const QByteArray status = readFile(QStringLiteral("/proc/self/status"));
    const qsizetype at = status.indexOf("VmHWM:");
    if (at < 0) return -1;
    return status.mid(at + 6, status.indexOf('\n', at) - at - 6)
               .trimmed()
               .split(' ')
               .first()
               .toLongLong() /
           1024;
}

// Far above what any reader needs, far below what reading 8 GiB takes.
constexpr qint64 kMemoryGrowthMiB = 1024;

} // namespace

class TstHostile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_serial = 0;

    QString fresh(const QString& name)
    {
        return m_dir.filePath(QString::number(++m_serial) + QLatin1Char('/') + name);
    }

private Q_SLOTS:
    void everyKindFailsAtOnce_data()
    {
        QTest::addColumn<QString>("ext");
        QTest::addColumn<Hostile>("kind");
        // The result LoadImage gives: icon kinds always draw their (theme)
        // icon with 0; a page or a text of zeros is a blank picture.
        QTest::addColumn<int>("result");
        struct Row
        {
            const char* ext;
            int fifo, zero, sparse;
        };
        const Row rows[] = {
            {"jpg", -1, -1, -1}, {"jpeg", -1, -1, -1}, {"bmp", -1, -1, -1}, {"emf", -1, -1, -1},
            {"wmf", -1, -1, -1}, {"avi", -1, -1, -1},  {"eml", -1, -1, -1}, {"html", -1, -1, 0},
            {"htm", -1, -1, 0},  {"txt", -1, -1, 0},   {"ico", 0, 0, 0},    {"cur", 0, 0, 0},
            {"ani", 0, 0, 0},    {"exe", 0, 0, 0},     {"dll", 0, 0, 0},
            {"png", -1, -1, -1}, {"gif", -1, -1, -1},  {"webp", -1, -1, -1}, {"tif", -1, -1, -1},
            {"tiff", -1, -1, -1},
        };
        for (const Row& r : rows) {
            const QString ext = QLatin1String(r.ext);
            QTest::addRow("%s fifo", r.ext) << ext << Hostile::Fifo << r.fifo;
            QTest::addRow("%s /dev/zero", r.ext) << ext << Hostile::DevZero << r.zero;
            QTest::addRow("%s sparse 8 GiB", r.ext) << ext << Hostile::Sparse8G << r.sparse;
        }
    }
    void everyKindFailsAtOnce()
    {
        QFETCH(QString, ext);
        QFETCH(Hostile, kind);
        QFETCH(int, result);
        const QString path = fresh(QStringLiteral("x.") + ext);
        QVERIFY(makeHostile(kind, path));
        const qint64 before = peakMiB();
        HangGuard guard(120, QTest::currentDataTag());
        for (const TGetType type : {igtStretch, igtNormal}) {
            TImgUtil util;
            sq::installPictureLoader(util); // as every engine of the program
            util.setGetType(type);
            QCOMPARE(util.LoadImage(path, 160, 120), result);
            if (result != 0 || sq::isIconKind(util.ImageType()))
                QCOMPARE(util.Bitmap().image().size(), QSize(32, 32));
        }
        QVERIFY2(peakMiB() - before < kMemoryGrowthMiB,
                 qPrintable(QString::number(peakMiB() - before)));
    }

    void textLinesGiveUpOnWhatIsNoFile_data()
    {
        QTest::addColumn<Hostile>("kind");
        QTest::newRow("fifo") << Hostile::Fifo;
        QTest::newRow("/dev/zero") << Hostile::DevZero;
        QTest::newRow("sparse 8 GiB") << Hostile::Sparse8G;
        QTest::newRow("folder") << Hostile::Folder;
    }
    void textLinesGiveUpOnWhatIsNoFile()
    {
        // Settings, favourites and saved screens are read through here.
        QFETCH(Hostile, kind);
        const QString path = fresh(QStringLiteral("sorrelquint.ini"));
        QVERIFY(makeHostile(kind, path));
        const qint64 before = peakMiB();
        HangGuard guard(60, QTest::currentDataTag());
        QStringList lines{QStringLiteral("kept")};
        QVERIFY(!sq::readTextLines(path, lines));
        QCOMPARE(lines, QStringList{QStringLiteral("kept")});
        QVERIFY(sq::ReadTextLines(path, 10, 80).isEmpty());
        QVERIFY(peakMiB() - before < kMemoryGrowthMiB);
    }

    void textLinesCapAtOneMiB()
    {
        const QString path = fresh(QStringLiteral("favorites.dat"));
        QByteArray lines;
        while (lines.size() <= sq::kMaxTextLinesBytes)
            lines += "/some/folder/of/pictures\r\n";
        QVERIFY(writeFile(path, lines));
        QStringList got;
        QVERIFY(!sq::readTextLines(path, got));
        QVERIFY(writeFile(path, lines.left(int(sq::kMaxTextLinesBytes))));
        QVERIFY(sq::readTextLines(path, got));
        QVERIFY(got.size() > 1000);
    }
};

QTEST_MAIN(TstHostile)
#include "tst_hostile.moc"
