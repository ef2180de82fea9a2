#include "app/CommandLine.h"
#include "platform/NativePath.h"

#include <QtTest>

using sq::app::CommandLine;

Q_DECLARE_METATYPE(std::vector<QByteArray>)

class TstCommandLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        using Args = std::vector<QByteArray>;
        QTest::addColumn<Args>("args");
        QTest::addColumn<int>("action");
        QTest::addColumn<QByteArray>("path"); // the bytes of the path opened
        QTest::addColumn<QByteArray>("qt");   // Qt's arguments joined by spaces
        QTest::newRow("nothing") << Args{} << int(CommandLine::Run) << QByteArray() << QByteArray();
        QTest::newRow("a folder") << Args{"/tmp"} << int(CommandLine::Run) << QByteArray("/tmp")
                                  << QByteArray();
        QTest::newRow("only the first path") << Args{"a.jpg", "b.jpg"} << int(CommandLine::Run)
                                             << QByteArray("a.jpg") << QByteArray();
        QTest::newRow("--help") << Args{"--help"} << int(CommandLine::Help) << QByteArray()
                                << QByteArray();
        QTest::newRow("-h after a path")
            << Args{"x.jpg", "-h"} << int(CommandLine::Help) << QByteArray("x.jpg") << QByteArray();
        QTest::newRow("--version")
            << Args{"--version"} << int(CommandLine::Version) << QByteArray() << QByteArray();
        QTest::newRow("unknown long")
            << Args{"--bogus"} << int(CommandLine::Error) << QByteArray() << QByteArray();
        QTest::newRow("unknown short")
            << Args{"-x", "a.jpg"} << int(CommandLine::Error) << QByteArray() << QByteArray();
        QTest::newRow("-version is not --version")
            << Args{"-version"} << int(CommandLine::Error) << QByteArray() << QByteArray();
        QTest::newRow("Qt's option with its value")
            << Args{"-style", "Fusion", "p.jpg"} << int(CommandLine::Run) << QByteArray("p.jpg")
            << QByteArray("-style Fusion");
        QTest::newRow("Qt's option, = form")
            << Args{"--platform=xcb", "p.jpg"} << int(CommandLine::Run) << QByteArray("p.jpg")
            << QByteArray("--platform=xcb");
        QTest::newRow("Qt's flag")
            << Args{"-reverse"} << int(CommandLine::Run) << QByteArray() << QByteArray("-reverse");
        QTest::newRow("flag given a value")
            << Args{"-reverse=1"} << int(CommandLine::Error) << QByteArray() << QByteArray();
        QTest::newRow("value missing")
            << Args{"-display"} << int(CommandLine::Error) << QByteArray() << QByteArray();
        QTest::newRow("-- then a dash name") << Args{"--", "-style"} << int(CommandLine::Run)
                                             << QByteArray("-style") << QByteArray();
        QTest::newRow("-- then --help is a path") << Args{"--", "--help"} << int(CommandLine::Run)
                                                  << QByteArray("--help") << QByteArray();
        QTest::newRow("lone dash is a path")
            << Args{"-"} << int(CommandLine::Run) << QByteArray("-") << QByteArray();
        QTest::newRow("invalid UTF-8 kept") << Args{"/p/bad\xff.jpg"} << int(CommandLine::Run)
                                            << QByteArray("/p/bad\xff.jpg") << QByteArray();
        QTest::newRow("Japanese name") << Args{"/写真/夏.jpg"} << int(CommandLine::Run)
                                       << QByteArray("/写真/夏.jpg") << QByteArray();
    }
    void parse()
    {
        QFETCH(std::vector<QByteArray>, args);
        QFETCH(int, action);
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, qt);
        const CommandLine c = sq::app::parseCommandLine(args);
        QCOMPARE(int(c.action), action);
        if (action == CommandLine::Error) {
            QVERIFY(!c.error.isEmpty());
            return;
        }
        QCOMPARE(sq::platform::nativePath(c.path), path);
        QByteArrayList qtArgs(c.qtArguments.begin(), c.qtArguments.end());
        QCOMPARE(qtArgs.join(' '), qt);
    }

    void errorsNameTheOption()
    {
        QVERIFY(sq::app::parseCommandLine({"--frobnicate"})
                    .error.contains(QStringLiteral("--frobnicate")));
        QVERIFY(sq::app::parseCommandLine({"-platform"})
                    .error.contains(QStringLiteral("needs a value")));
        QVERIFY(sq::app::usageText().contains(QStringLiteral("--version")));
    }
};

QTEST_GUILESS_MAIN(TstCommandLine)
#include "tst_commandline.moc"
