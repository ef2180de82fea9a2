#include "platform/ShortenPath.h"

#include <QtTest>

class TstShortenPath : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // One pixel per character keeps the expectations readable.
    void shortens_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("expected");
        QTest::newRow("fits") << "/home/user/pics" << 15 << "/home/user/pics";
        QTest::newRow("one folder out") << "/home/user/pics/2024/x.jpg" << 25 << "/home/.../pics/2024/x.jpg";
        QTest::newRow("two folders out") << "/home/user/pics/2024/x.jpg" << 20 << "/home/.../2024/x.jpg";
        QTest::newRow("only root and name") << "/home/user/pics/2024/x.jpg" << 12 << "/.../x.jpg";
        QTest::newRow("name too long") << "/home/averyveryverylongname" << 12 << ".../avery...";
        QTest::newRow("japanese") << "/写真/二〇二四年/夏/海.jpg" << 16 << "/写真/.../夏/海.jpg";
        QTest::newRow("relative, first kept") << "ab/cd/ef/gh" << 9 << "ab/.../gh";
        QTest::newRow("relative") << "a/b/c/d" << 6 << ".../d";
    }
    void shortens()
    {
        QFETCH(QString, path);
        QFETCH(int, width);
        QFETCH(QString, expected);
        const auto chars = [](const QString& t) { return int(t.size()); };
        const QString got = sq::platform::shortenPath(path, width, chars);
        QCOMPARE(got, expected);
        QVERIFY(got.size() <= width || got == expected);
    }
};

QTEST_GUILESS_MAIN(TstShortenPath)
#include "tst_shortenpath.moc"
