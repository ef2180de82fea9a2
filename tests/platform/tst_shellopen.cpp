#include "platform/ShellOpen.h"
#include "tests/support/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A desktop entry with the keys the lookup reads.
QByteArray entry(const QString& mimeTypes, bool hidden = false, const char* type = "Application")
{
    return QByteArray("[Desktop Entry]\nType=") + type +
           "\nName=X\nExec=/bin/true %f\nMimeType=" + mimeTypes.toUtf8() + "\n" +
           (hidden ? "Hidden=true\n" : "");
}

} // namespace

class TstShellOpen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lookup_data()
    {
        QTest::addColumn<QStringList>("types");
        QTest::addColumn<QString>("handler");
        QTest::newRow("by MimeType key") << QStringList{"image/png"} << "viewer.desktop";
        QTest::newRow("default wins over the key")
            << QStringList{"image/jpeg"} << "kde-painter.desktop";
        QTest::newRow("added association") << QStringList{"text/x-log"} << "viewer.desktop";
        QTest::newRow("removed association") << QStringList{"image/gif"} << QString();
        QTest::newRow("hidden entry") << QStringList{"audio/ogg"} << QString();
        QTest::newRow("not an application") << QStringList{"video/mp4"} << QString();
        QTest::newRow("default to a missing entry") << QStringList{"image/bmp"} << "viewer.desktop";
        QTest::newRow("inherited type")
            << QStringList{"text/x-csrc", "text/plain"} << "editor.desktop";
        QTest::newRow("nothing") << QStringList{"application/x-sq-none", "application/octet-stream"}
                                 << QString();
    }
    void lookup()
    {
        QFETCH(QStringList, types);
        QFETCH(QString, handler);
        QTemporaryDir dir;
        const QString config = dir.filePath(QStringLiteral("config"));
        const QString apps = dir.filePath(QStringLiteral("data/applications"));
        QVERIFY(sq::test::writeFile(
            apps + QStringLiteral("/viewer.desktop"),
            entry(QStringLiteral("image/png;image/gif;image/jpeg;image/bmp;"))));
        QVERIFY(
            sq::test::writeFile(apps + QStringLiteral("/kde/painter.desktop"), entry(QString())));
        QVERIFY(sq::test::writeFile(apps + QStringLiteral("/editor.desktop"),
                                    entry(QStringLiteral("text/plain"))));
        QVERIFY(sq::test::writeFile(apps + QStringLiteral("/player.desktop"),
                                    entry(QStringLiteral("audio/ogg"), true)));
        QVERIFY(sq::test::writeFile(apps + QStringLiteral("/link.desktop"),
                                    entry(QStringLiteral("video/mp4"), false, "Link")));
        QVERIFY(sq::test::writeFile(config + QStringLiteral("/mimeapps.list"),
                                    "[Default Applications]\nimage/jpeg=kde-painter.desktop\n"
                                    "image/bmp=gone.desktop;viewer.desktop\n"
                                    "[Added Associations]\ntext/x-log=viewer.desktop;\n"
                                    "[Removed Associations]\nimage/gif=viewer.desktop\n"));
        const sq::platform::MimeAppsDirs dirs{{config, apps}, {apps}};
        QCOMPARE(sq::platform::findMimeHandler(types, dirs), handler);
    }

    void mimeTypes()
    {
        QTemporaryDir dir;
        QVERIFY(
            sq::platform::mimeTypesOf(dir.path()).startsWith(QStringLiteral("inode/directory")));
        const QString c = dir.filePath(QStringLiteral("a.c"));
        QVERIFY(sq::test::writeFile(c, "int main(void) { return 0; }\n"));
        const QStringList types = sq::platform::mimeTypesOf(c);
        QCOMPARE(types.first(), QStringLiteral("text/x-csrc"));
        QVERIFY(types.contains(QStringLiteral("text/plain")));
    }

    // The desktop's opener with no program for the type: it says so and
    // starts nothing.
    void desktopOpenerWithoutProgram()
    {
        QTemporaryDir dir;
        const QByteArray saved[] = {qgetenv("XDG_CONFIG_HOME"), qgetenv("XDG_CONFIG_DIRS"),
                                    qgetenv("XDG_DATA_HOME"), qgetenv("XDG_DATA_DIRS")};
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.filePath(QStringLiteral("c"))));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(dir.filePath(QStringLiteral("cd"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(QStringLiteral("d"))));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(dir.filePath(QStringLiteral("dd"))));
        const QString file = dir.filePath(QStringLiteral("data.sqzz"));
        QVERIFY(sq::test::writeFile(file, QByteArray("\x01\x02\x03\xff\xfe", 5)));
        sq::platform::DesktopShellOpener opener;
        QCOMPARE(opener.openFile(file), sq::platform::OpenStatus::NoProgram);
        QVERIFY(!opener.open(file));
        const char* names[] = {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_HOME",
                               "XDG_DATA_DIRS"};
        for (int i = 0; i < 4; ++i)
            saved[i].isEmpty() ? qunsetenv(names[i]) : qputenv(names[i], saved[i]);
    }
};

QTEST_MAIN(TstShellOpen)
#include "tst_shellopen.moc"
