#include "platform/DisplayPlatform.h"

#include <QtTest>

using sq::platform::DisplayEnvironment;

class TstDisplayPlatform : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void chooses_data()
    {
        QTest::addColumn<QByteArray>("qpa");
        QTest::addColumn<QByteArray>("wayland");
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QByteArray>("session");
        QTest::addColumn<bool>("platformArg");
        QTest::addColumn<bool>("displayArg");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("X session") << QByteArray() << QByteArray() << QByteArray(":0") << QByteArray("x11") << false << false << QByteArray();
        QTest::newRow("nothing at all") << QByteArray() << QByteArray() << QByteArray() << QByteArray() << false << false << QByteArray();
        QTest::newRow("wayland with xwayland") << QByteArray() << QByteArray("wayland-0") << QByteArray(":0") << QByteArray("wayland") << false << false << QByteArray("xcb");
        QTest::newRow("wayland without xwayland") << QByteArray() << QByteArray("wayland-0") << QByteArray() << QByteArray("wayland") << false << false << QByteArray("wayland");
        QTest::newRow("blank DISPLAY is none") << QByteArray() << QByteArray("wayland-1") << QByteArray("  ") << QByteArray() << false << false << QByteArray("wayland");
        QTest::newRow("blank WAYLAND_DISPLAY is none") << QByteArray() << QByteArray(" ") << QByteArray(":1") << QByteArray() << false << false << QByteArray();
        QTest::newRow("session type alone, with X") << QByteArray() << QByteArray() << QByteArray(":0") << QByteArray("Wayland") << false << false << QByteArray("xcb");
        QTest::newRow("session type alone, no X") << QByteArray() << QByteArray() << QByteArray() << QByteArray("wayland") << false << false << QByteArray("wayland");
        QTest::newRow("user chose wayland") << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray(":0") << QByteArray("wayland") << false << false << QByteArray();
        QTest::newRow("user chose offscreen") << QByteArray("offscreen") << QByteArray() << QByteArray() << QByteArray() << false << false << QByteArray();
        QTest::newRow("empty QT_QPA_PLATFORM") << QByteArray("") << QByteArray("wayland-0") << QByteArray(":0") << QByteArray() << false << false << QByteArray("xcb");
        QTest::newRow("-platform given") << QByteArray() << QByteArray("wayland-0") << QByteArray(":0") << QByteArray() << true << false << QByteArray();
        QTest::newRow("-display given") << QByteArray() << QByteArray("wayland-0") << QByteArray() << QByteArray() << false << true << QByteArray("xcb");
        QTest::newRow("-platform beats -display") << QByteArray() << QByteArray("wayland-0") << QByteArray() << QByteArray() << true << true << QByteArray();
    }
    void chooses()
    {
        QFETCH(QByteArray, qpa);
        QFETCH(QByteArray, wayland);
        QFETCH(QByteArray, display);
        QFETCH(QByteArray, session);
        QFETCH(bool, platformArg);
        QFETCH(bool, displayArg);
        QFETCH(QByteArray, expected);
        const DisplayEnvironment env{qpa, wayland, display, session, platformArg, displayArg};
        QCOMPARE(sq::platform::chooseDisplayPlatform(env), expected);
    }

    void findsOption_data()
    {
        QTest::addColumn<QList<QByteArray>>("args");
        QTest::addColumn<bool>("platform");
        QTest::addColumn<bool>("display");
        QTest::newRow("none") << QList<QByteArray>{} << false << false;
        QTest::newRow("-platform name") << QList<QByteArray>{"-platform", "xcb"} << true << false;
        QTest::newRow("--platform=name") << QList<QByteArray>{"--platform=wayland"} << true << false;
        QTest::newRow("-display") << QList<QByteArray>{"-style", "Fusion", "-display", ":2"} << false << true;
        QTest::newRow("look-alikes") << QList<QByteArray>{"-platformtheme", "gtk3", "-platformpluginpath", "/x"} << false << false;
        QTest::newRow("a value, not an option") << QList<QByteArray>{"-style", "platform"} << false << false;
    }
    void findsOption()
    {
        QFETCH(QList<QByteArray>, args);
        QFETCH(bool, platform);
        QFETCH(bool, display);
        const std::vector<QByteArray> v(args.begin(), args.end());
        QCOMPARE(sq::platform::hasQtOption(v, "platform"), platform);
        QCOMPARE(sq::platform::hasQtOption(v, "display"), display);
    }

    void desktop_data()
    {
        QTest::addColumn<QByteArray>("platform");
        QTest::addColumn<QByteArray>("wayland");
        QTest::addColumn<QByteArray>("session");
        QTest::addColumn<bool>("readable");
        QTest::newRow("X") << QByteArray("xcb") << QByteArray() << QByteArray("x11") << true;
        QTest::newRow("X, no session type") << QByteArray("xcb") << QByteArray() << QByteArray() << true;
        QTest::newRow("XWayland") << QByteArray("xcb") << QByteArray("wayland-0") << QByteArray("wayland") << false;
        QTest::newRow("XWayland, display only") << QByteArray("xcb") << QByteArray("wayland-0") << QByteArray() << false;
        QTest::newRow("XWayland, session only") << QByteArray("xcb") << QByteArray() << QByteArray("WAYLAND") << false;
        QTest::newRow("wayland") << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray("wayland") << false;
        QTest::newRow("wayland-egl") << QByteArray("wayland-egl") << QByteArray() << QByteArray() << false;
        QTest::newRow("offscreen") << QByteArray("offscreen") << QByteArray("wayland-0") << QByteArray() << true;
    }
    void desktop()
    {
        QFETCH(QByteArray, platform);
        QFETCH(QByteArray, wayland);
        QFETCH(QByteArray, session);
        QFETCH(bool, readable);
        QCOMPARE(sq::platform::desktopReadable(platform, wayland, session), readable);
    }

    // The choice reaches the environment Qt reads, and a user's is kept.
    void setsEnvironment()
    {
        const QByteArray keep[] = {"QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "DISPLAY", "XDG_SESSION_TYPE"};
        QList<QByteArray> saved;
        for (const QByteArray& k : keep) saved << qgetenv(k.constData());
        qunsetenv("QT_QPA_PLATFORM");
        qputenv("WAYLAND_DISPLAY", "wayland-9");
        qunsetenv("DISPLAY");
        qunsetenv("XDG_SESSION_TYPE");
        QCOMPARE(sq::platform::applyDisplayPlatform({}), QByteArray("wayland"));
        QCOMPARE(qgetenv("QT_QPA_PLATFORM"), QByteArray("wayland"));
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("DISPLAY", ":9");
        QCOMPARE(sq::platform::applyDisplayPlatform({}), QByteArray());
        QCOMPARE(qgetenv("QT_QPA_PLATFORM"), QByteArray("offscreen"));
        qunsetenv("QT_QPA_PLATFORM");
        QCOMPARE(sq::platform::applyDisplayPlatform({"-platform", "minimal"}), QByteArray());
        QVERIFY(!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"));
        for (int i = 0; i < saved.size(); ++i) {
            if (saved[i].isNull()) qunsetenv(keep[i].constData());
            else qputenv(keep[i].constData(), saved[i]);
        }
    }
};

QTEST_GUILESS_MAIN(TstDisplayPlatform)
#include "tst_displayplatform.moc"
