// The settings and favourites files of the data folder: a file that cannot
// be read is kept as it is, two windows on one data folder merge their
// favourites, and a settings file that is a link is replaced, never written
// through.
#include "app/FavoritesMerge.h"
#include "app/Windows.h"
#include "engine/TextLines.h"
#include "platform/NativePath.h"
#include "tests/app/AppFixture.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/MessageBoxes.h"

#include <QComboBox>
#include <QProcess>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using sq::test::MessageBoxes;

namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

// What is at path, not followed: 'f' file, 'd' folder, 'p' FIFO, 'l' link.
char kindAt(const QString& path)
{
    struct stat st;
    if (::lstat(native(path).constData(), &st) != 0) return '-';
    return S_ISREG(st.st_mode)    ? 'f'
           : S_ISDIR(st.st_mode)  ? 'd'
           : S_ISFIFO(st.st_mode) ? 'p'
           : S_ISLNK(st.st_mode)  ? 'l'
                                  : '?';
}

QStringList split(const QString& list)
{
    return list.isEmpty() ? QStringList() : list.split(QLatin1Char(' '));
}

} // namespace

class TstDataFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A file that is there but cannot be read is used as empty (favourites)
    // or as the defaults (settings), said once at first show, and is never
    // written over at close, though the user changed the list and settings.
    void unreadableFileKept_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("message");
        const QString fav = QStringLiteral("favorites.dat");
        const QString ini = QStringLiteral("sorrelquint.ini");
        const QString favText =
            QStringLiteral("\nを読み込めません。お気に入りの変更は保存されません");
        const QString iniText = QStringLiteral("\nを読み込めません。設定の変更は保存されません");
        QTest::newRow("favourites over 16 MiB") << fav << "big" << favText;
        QTest::newRow("favourites FIFO") << fav << "fifo" << favText;
        QTest::newRow("favourites folder") << fav << "folder" << favText;
        QTest::newRow("favourites read fails") << fav << "eio" << favText;
        QTest::newRow("settings over 1 MiB") << ini << "big" << iniText;
        QTest::newRow("settings FIFO") << ini << "fifo" << iniText;
        QTest::newRow("settings read fails") << ini << "eio" << iniText;
    }
    void unreadableFileKept()
    {
        QFETCH(QString, file);
        QFETCH(QString, kind);
        QFETCH(QString, message);
        AppFixture app;
        QDir().mkpath(app.data());
        const QString path = app.data() + file;
        const bool favourites = file == QLatin1String("favorites.dat");
        QByteArray big;
        if (kind == QLatin1String("big")) {
            // A sound file, only too long: a list of long paths, or a
            // settings file with a huge line 0.
            const QByteArray line = "/" + QByteArray(200, 'p') + "\r\n";
            const qint64 cap = favourites ? sq::kMaxPathLinesBytes : sq::kMaxTextLinesBytes;
            while (big.size() <= cap)
                big += line;
            QVERIFY(sq::test::writeFile(path, big));
        } else if (kind == QLatin1String("fifo")) {
            QVERIFY(sq::test::makeHostile(sq::test::Hostile::Fifo, path));
        } else if (kind == QLatin1String("folder")) {
            QVERIFY(QDir().mkpath(path));
        } else {
            // A regular file whose read fails, for root too.
            QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), path));
        }
        const char kindBefore = kindAt(path);
        QVERIFY(QDir().mkpath(app.path(QStringLiteral("a"))));
        sq::test::HangGuard guard(120, QTest::currentDataTag());
        MessageBoxes boxes;
        TForm1* f = app.start(QStringLiteral("a"));
        QTRY_COMPARE(boxes.texts(), QStringList{sq::platform::displayText(path) + message});
        // The user works as usual: a favourite added, a setting changed.
        f->ComboBox1->setEditText(QStringLiteral("/tmp"));
        f->N53Click();
        f->settings().setInt(3, 4);
        f->close();
        QCOMPARE(boxes.texts().size(), 1); // said once, not again at close
        QCOMPARE(kindAt(path), kindBefore);
        if (!big.isEmpty()) QVERIFY(sq::test::readFile(path) == big);
        // The other file was written as usual.
        const QString other = app.data() + (favourites ? "sorrelquint.ini" : "favorites.dat");
        QCOMPARE(kindAt(other), 'f');
    }

    // Open refused by permissions is "cannot be read", not "missing": as
    // another user (a child process), a root-only favourites file.
    void refusedOpenIsNotMissing()
    {
        if (::geteuid() != 0) QSKIP("needs root to read as another user");
        QTemporaryDir dir;
        QVERIFY(::chmod(native(dir.path()).constData(), 0755) == 0);
        const QString path = dir.filePath(QStringLiteral("favorites.dat"));
        QVERIFY(sq::test::writeFile(path, "/a\r\n"));
        QVERIFY(::chmod(native(path).constData(), 0600) == 0);
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
            QStringList lines;
            sq::platform::OpenResult result = sq::platform::OpenResult::Ok;
            const bool read = sq::readPathLines(path, lines, &result);
            ::_exit(read ? 4 : result == sq::platform::OpenResult::Failed ? 0 : 5);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        if (WEXITSTATUS(status) == 3) QSKIP("cannot become another user here");
        QCOMPARE(WEXITSTATUS(status), 0);
    }

    // The program run as another user, for whom the favourites file (root's,
    // mode 0600) cannot be opened: the list starts empty, it says so, and the
    // file keeps its bytes after close. This test runs its second half in a
    // child process started through setpriv.
    void favouritesRefusedToUser()
    {
        if (::geteuid() != 0) QSKIP("needs root to run the program as another user");
        QTemporaryDir dir;
        QVERIFY(::chmod(native(dir.path()).constData(), 0777) == 0);
        const QString data = dir.filePath(QStringLiteral("data")) + QLatin1Char('/');
        QVERIFY(QDir().mkpath(data + QStringLiteral("a")));
        QVERIFY(::chmod(native(data).constData(), 0777) == 0);
        const QString fav = data + QStringLiteral("favorites.dat");
        QVERIFY(sq::test::writeFile(fav, "/root-only\r\n"));
        QVERIFY(::chmod(native(fav).constData(), 0600) == 0);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SQ_CHILD_DATA"), data);
        env.insert(QStringLiteral("HOME"), dir.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path());
        env.insert(QStringLiteral("XDG_CACHE_HOME"), dir.path());
        child.setProcessEnvironment(env);
        child.start(QStringLiteral("setpriv"),
                    {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                     QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                     QStringLiteral("favouritesRefusedChild")});
        if (!child.waitForStarted(10000)) QSKIP("setpriv cannot be run here");
        QVERIFY(child.waitForFinished(120000));
        const QByteArray out = child.readAllStandardOutput() + child.readAllStandardError();
        if (child.exitCode() == 77) QSKIP("cannot become another user here");
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 out.constData());
        QVERIFY2(out.contains("PASS   : TstDataFiles::favouritesRefusedChild()"), out.constData());
        QCOMPARE(sq::test::readFile(fav), QByteArray("/root-only\r\n"));
        struct stat st;
        QCOMPARE(::stat(native(fav).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), 0600);
        QCOMPARE(int(st.st_uid), 0);
    }
    void favouritesRefusedChild()
    {
        const QString data = qEnvironmentVariable("SQ_CHILD_DATA");
        if (data.isEmpty()) QSKIP("the second half of favouritesRefusedToUser");
        {
            MessageBoxes boxes;
            sq::app::createWindows(data, data + QStringLiteral("a"));
            Form1->show();
            QTest::qWait(0);
            QCOMPARE(Form1->favorites(), QStringList());
            QTRY_COMPARE(boxes.texts(),
                     QStringList{
                         sq::platform::displayText(data + QStringLiteral("favorites.dat")) +
                         QStringLiteral("\nを読み込めません。お気に入りの変更は保存されません")});
            Form1->ComboBox1->setEditText(QStringLiteral("/tmp"));
            Form1->N53Click();
            Form1->close();
            QCOMPARE(boxes.texts().size(), 1);
        }
        sq::app::destroyWindows();
    }

    void mergeFavorites_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("ours");
        QTest::addColumn<QString>("theirs");
        QTest::addColumn<QString>("merged");
        QTest::newRow("nobody else wrote: ours, order too") << "a b c"
                                                            << "c a d"
                                                            << "a b c"
                                                            << "c a d";
        QTest::newRow("we changed nothing: theirs") << "a b"
                                                    << "a b"
                                                    << "b x"
                                                    << "b x";
        QTest::newRow("both added") << "a"
                                    << "a d"
                                    << "a e"
                                    << "a e d";
        QTest::newRow("we removed, they added") << "a b c"
                                                << "a c"
                                                << "a b c e"
                                                << "a c e";
        QTest::newRow("they removed, we added") << "a b c"
                                                << "a b c d"
                                                << "b c"
                                                << "b c d";
        QTest::newRow("both removed the same") << "a b"
                                               << "b"
                                               << "b"
                                               << "b";
        QTest::newRow("they emptied, we added") << "a b"
                                                << "a b d"
                                                << ""
                                                << "d";
        QTest::newRow("duplicates counted") << "a a"
                                            << "a a a"
                                            << "a a b"
                                            << "a a b a";
        QTest::newRow("one of two duplicates removed") << "a b a"
                                                       << "a b"
                                                       << "a b a x"
                                                       << "b a x";
        QTest::newRow("started empty") << ""
                                       << "d"
                                       << "e"
                                       << "e d";
    }
    void mergeFavorites()
    {
        QFETCH(QString, base);
        QFETCH(QString, ours);
        QFETCH(QString, theirs);
        QFETCH(QString, merged);
        QCOMPARE(sq::app::mergeFavorites(split(base), split(ours), split(theirs)), split(merged));
    }

    // Two main windows on one data folder: each adds and removes favourites;
    // the one closed last keeps what the first one wrote, and its own
    // settings are the ones that stay.
    void twoWindowsMerge()
    {
        AppFixture app;
        const QString fav = app.data() + QStringLiteral("favorites.dat");
        QVERIFY(sq::test::writeFile(fav, "/a\r\n/b\r\n/c\r\n"));
        QVERIFY(QDir().mkpath(app.path(QStringLiteral("x"))));
        TForm1* first = app.start(QStringLiteral("x"));
        auto second = std::make_unique<TForm1>(app.data(), app.path(QStringLiteral("x")));
        QCOMPARE(second->favorites(), (QStringList{"/a", "/b", "/c"}));

        first->setFavorites({"/a", "/c", "/first"});   // /b removed, /first added
        second->setFavorites({"/b", "/c", "/second"}); // /a removed, /second added
        first->settings().setInt(3, 1);
        second->settings().setInt(3, 4);

        second->close();
        QCOMPARE(sq::test::readFile(fav), QByteArray("/b\r\n/c\r\n/second\r\n"));
        first->close();
        QCOMPARE(sq::test::readFile(fav), QByteArray("/c\r\n/second\r\n/first\r\n"));
        TSettingsLines s;
        QCOMPARE(s.load(app.data() + QStringLiteral("sorrelquint.ini"), 1024),
                 TSettingsLines::FileState::Read);
        QCOMPARE(s.readInt(3), 1);
    }

    // A settings file that is a link (to a file outside the data folder) is
    // read through the link and replaced by a file of its own at close; the
    // link's target is left as it was.
    void settingsLinkReplaced()
    {
        AppFixture app;
        QDir().mkpath(app.data());
        const QString outside = app.path(QStringLiteral("outside.ini"));
        QByteArray lines;
        for (int i = 0; i < 55; ++i)
            lines += (i == 3 ? QByteArray("2") : QByteArray::number(i == 0 ? 0 : 1)) + "\r\n";
        QVERIFY(sq::test::writeFile(outside, lines));
        const QString ini = app.data() + QStringLiteral("sorrelquint.ini");
        QVERIFY(QFile::link(outside, ini));
        QVERIFY(QDir().mkpath(app.path(QStringLiteral("a"))));
        TForm1* f = app.start(QStringLiteral("a"));
        QCOMPARE(f->settings().readInt(3), 2);
        f->settings().setInt(3, 4);
        f->close();
        QCOMPARE(sq::test::readFile(outside), lines);
        QCOMPARE(kindAt(ini), 'f');
        TSettingsLines s;
        QCOMPARE(s.load(ini, 1024), TSettingsLines::FileState::Read);
        QCOMPARE(s.readInt(3), 4);
    }
};

QTEST_MAIN(TstDataFiles)
#include "tst_datafiles.moc"
