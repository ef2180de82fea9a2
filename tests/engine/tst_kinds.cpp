#include "engine/ImgUtils.h"
#include "tests/support/IconFiles.h"
#include "tests/support/TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

using sq::test::IconImageDesc;

class TstKinds : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    // The icon drawn for a file that carries its own: right kind, 32 x 32,
    // the colour of the chosen image outside its transparent corner, which
    // shows the background.
    void filesDrawTheirOwnIcon_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("iconIndex");
        QTest::addColumn<int>("type");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<int>("iconCount");
        const QList<QList<IconImageDesc>> groups = {
            {{32, 24, Qt::red}}, {{32, 8, Qt::green}}, {{16, 24, Qt::gray}, {32, 32, Qt::blue}}};
        const QByteArray pe = sq::test::makePeFile(groups);
        QTest::newRow("exe, index 0: first group") << "a.exe" << pe << 0 << int(iitExe) << QColor(Qt::red) << 3;
        QTest::newRow("exe, index 2: third group") << "b.exe" << pe << 2 << int(iitExe) << QColor(Qt::blue) << 3;
        QTest::newRow("dll, index 1") << "c.dll" << pe << 1 << int(iitDll) << QColor(Qt::green) << 3;
        QTest::newRow("cur") << "d.cur" << sq::test::makeIcoFile({{32, 24, Qt::magenta}}, true) << 0
                             << int(iitCur) << QColor(Qt::magenta) << 0;
        QTest::newRow("ani, sequence from frame 1")
            << "e.ani"
            << sq::test::makeAniFile({sq::test::makeIcoFile({{32, 24, Qt::red}}, true),
                                      sq::test::makeIcoFile({{32, 24, Qt::cyan}}, true)},
                                     {1, 0})
            << 0 << int(iitAni) << QColor(Qt::cyan) << 0;
        QTest::newRow("ico, 48 only: shrunk to 32") << "f.ico" << sq::test::makeIcoFile({{48, 32, Qt::yellow}})
                                                    << 0 << int(iitIco) << QColor(Qt::yellow) << 0;
    }
    void filesDrawTheirOwnIcon()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, iconIndex);
        QFETCH(int, type);
        QFETCH(QColor, colour);
        QFETCH(int, iconCount);
        QVERIFY(sq::test::writeFile(path(name), bytes));
        TImgUtil util;
        QCOMPARE(util.LoadImage(path(name), 200, 150, iconIndex), 0);
        QCOMPARE(int(util.ImageType()), type);
        QCOMPARE(util.IconCount(), iconCount);
        const QImage& image = util.Bitmap().image();
        QCOMPARE(image.size(), QSize(32, 32));
        QCOMPARE(QColor(image.pixel(28, 28)).rgb(), colour.rgb());
        QCOMPARE(QColor(image.pixel(2, 2)).rgb(), QColor(Qt::white).rgb());
    }

    // No resources, or damage: the theme icon for the file's type, still 32 x 32
    // and result 0 as for any icon.
    void filesWithoutUsableIconsGetTheThemeIcon_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("iconCount");
        QTest::newRow("exe without resources") << "n.exe" << sq::test::makePeFileWithoutResources() << 0;
        QByteArray pe = sq::test::makePeFile({{{32, 24, Qt::red}}});
        QTest::newRow("exe cut short") << "t.exe" << pe.left(0x210) << 0;
        QTest::newRow("dll that is text") << "x.dll" << QByteArray("not a program") << 0;
        QTest::newRow("ani that is empty") << "e.ani" << QByteArray() << 0;
    }
    void filesWithoutUsableIconsGetTheThemeIcon()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(int, iconCount);
        QVERIFY(sq::test::writeFile(path(name), bytes));
        TImgUtil util;
        QCOMPARE(util.LoadImage(path(name), 200, 150, 1), 0);
        QCOMPARE(util.IconCount(), iconCount);
        QCOMPARE(util.Bitmap().image().size(), QSize(32, 32));
    }
};

QTEST_MAIN(TstKinds)
#include "tst_kinds.moc"
