#include "platform/DragSelection.h"
#include "platform/FileClipboard.h"
#include "platform/FileVerbs.h"
#include "platform/NativePath.h"
#include "tests/support/RawNames.h"
#include "tests/support/TestFiles.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

namespace pw = sq::platform;
using sq::test::readFile;
using sq::test::writeFile;

namespace {
class RecordingOpener : public pw::ShellOpener
{
public:
    QStringList opened;
    bool open(const QString& path) override
    {
        opened << path;
        return true;
    }
};

class NamingPrompt : public pw::QuietFileOpPrompt
{
public:
    using QuietFileOpPrompt::QuietFileOpPrompt;
    std::optional<QString> name;
    std::optional<QString> askNewName(const QString&) override { return name; }
};

std::unique_ptr<QMimeData> dataWith(const QList<QPair<QString, QByteArray>>& formats)
{
    auto data = std::make_unique<QMimeData>();
    for (const auto& [format, bytes] : formats)
        data->setData(format, bytes);
    return data;
}
} // namespace

class TstFileClipboard : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { QGuiApplication::clipboard()->clear(); }

    void formats_data()
    {
        QTest::addColumn<bool>("cut");
        QTest::newRow("copy") << false;
        QTest::newRow("cut") << true;
    }
    void formats()
    {
        QFETCH(bool, cut);
        // The last one is no UTF-8: its bytes travel as they are.
        const QStringList paths{"/tmp/a b.jpg", "/tmp/写真/#1%.jpg",
                                pw::pathFromNative(QByteArray("/tmp/bad\xff\xfe dir/x\xe9.jpg"))};
        const auto data = pw::makeFileMimeData(paths, cut);
        const QByteArray a = "file:///tmp/a%20b.jpg";
        const QByteArray b = "file:///tmp/%E5%86%99%E7%9C%9F/%231%25.jpg";
        const QByteArray c = "file:///tmp/bad%FF%FE%20dir/x%E9.jpg";
        QCOMPARE(data->data("text/uri-list"), a + "\r\n" + b + "\r\n" + c + "\r\n");
        QCOMPARE(data->data("x-special/gnome-copied-files"),
                 (cut ? "cut\n" : "copy\n") + a + "\n" + b + "\n" + c);
        QCOMPARE(data->hasFormat("application/x-kde-cutselection"), cut);
        if (cut) QCOMPARE(data->data("application/x-kde-cutselection"), QByteArray("1"));
        QCOMPARE(data->text(),
                 QStringList({paths[0], paths[1], pw::displayText(paths[2])}).join('\n'));
        QCOMPARE(data->text().count(QChar(0xFFFD)), 3);
        const pw::ClipboardFiles back = pw::readFileMimeData(data.get());
        QCOMPARE(back.paths, paths);
        QCOMPARE(back.cut, cut);
    }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("uriList");
        QTest::addColumn<QByteArray>("gnome");
        QTest::addColumn<QByteArray>("kde");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<bool>("cut");
        QTest::newRow("uri-list only")
            << QByteArray("file:///a.jpg\r\nfile:///b%20c.jpg\r\n") << QByteArray() << QByteArray()
            << QStringList{"/a.jpg", "/b c.jpg"} << false;
        QTest::newRow("uri-list, LF, no final newline")
            << QByteArray("file:///a.jpg\nfile:///b.jpg") << QByteArray() << QByteArray()
            << QStringList{"/a.jpg", "/b.jpg"} << false;
        QTest::newRow("KDE cut") << QByteArray("file:///a.jpg\r\n") << QByteArray()
                                 << QByteArray("1") << QStringList{"/a.jpg"} << true;
        QTest::newRow("KDE copy marker") << QByteArray("file:///a.jpg\r\n") << QByteArray()
                                         << QByteArray("0") << QStringList{"/a.jpg"} << false;
        QTest::newRow("GNOME cut")
            << QByteArray() << QByteArray("cut\nfile:///a.jpg\nfile:///b.jpg") << QByteArray()
            << QStringList{"/a.jpg", "/b.jpg"} << true;
        QTest::newRow("GNOME wins over uri-list")
            << QByteArray("file:///x.jpg\r\n") << QByteArray("cut\nfile:///a.jpg\n") << QByteArray()
            << QStringList{"/a.jpg"} << true;
        QTest::newRow("bad GNOME mode falls back")
            << QByteArray("file:///x.jpg\r\n") << QByteArray("move\nfile:///a.jpg") << QByteArray()
            << QStringList{"/x.jpg"} << false;
        QTest::newRow("non-file URLs ignored")
            << QByteArray("http://example.org/a.jpg\r\nfile:///b.jpg\r\nsmb://host/c.jpg\r\n")
            << QByteArray() << QByteArray() << QStringList{"/b.jpg"} << false;
        QTest::newRow("comments and blanks")
            << QByteArray("# comment\r\n\r\nfile:///b.jpg\r\n") << QByteArray() << QByteArray()
            << QStringList{"/b.jpg"} << false;
        QTest::newRow("another host")
            << QByteArray("file://elsewhere/b.jpg\r\nfile://localhost/c.jpg\r\n") << QByteArray()
            << QByteArray() << QStringList{"/c.jpg"} << false;
        QTest::newRow("doubled slash") << QByteArray("file:////a.jpg\r\n") << QByteArray() << QByteArray()
                                       << QStringList{"/a.jpg"} << false;
        QTest::newRow("garbage") << QByteArray("\x01\x02 not a url \xff\r\n%%%\r\n")
                                 << QByteArray("cut") << QByteArray("1") << QStringList{} << false;
        QTest::newRow("nothing") << QByteArray() << QByteArray() << QByteArray() << QStringList{}
                                 << false;
        QTest::newRow("bytes that are not UTF-8")
            << QByteArray("file:///tmp/bad%FF.jpg\r\nfile:///tmp/%c3%28.jpg\r\n") << QByteArray()
            << QByteArray()
            << QStringList{pw::pathFromNative(QByteArray("/tmp/bad\xff.jpg")),
                           pw::pathFromNative(QByteArray("/tmp/\xc3(.jpg"))}
            << false;
        QTest::newRow("raw UTF-8 taken as it is")
            << QByteArray("file:///tmp/写真 1.jpg\r\n") << QByteArray() << QByteArray()
            << QStringList{"/tmp/写真 1.jpg"} << false;
        QTest::newRow("NUL refused")
            << QByteArray("file:///a%00b.jpg\r\nfile:/b.jpg\r\n") << QByteArray() << QByteArray()
            << QStringList{"/b.jpg"} << false;
        QTest::newRow("query and fragment are no part of the name")
            << QByteArray("FILE:///a.jpg?x=1\r\nfile:///b%3F%23.jpg#top\r\n") << QByteArray()
            << QByteArray() << QStringList{"/a.jpg", "/b?#.jpg"} << false;
    }
    void reading()
    {
        QFETCH(QByteArray, uriList);
        QFETCH(QByteArray, gnome);
        QFETCH(QByteArray, kde);
        QFETCH(QStringList, paths);
        QFETCH(bool, cut);
        QList<QPair<QString, QByteArray>> formats;
        if (!uriList.isEmpty()) formats.append({"text/uri-list", uriList});
        if (!gnome.isEmpty()) formats.append({"x-special/gnome-copied-files", gnome});
        if (!kde.isEmpty()) formats.append({"application/x-kde-cutselection", kde});
        const auto data = dataWith(formats);
        const pw::ClipboardFiles files = pw::readFileMimeData(data.get());
        QCOMPARE(files.paths, paths);
        QCOMPARE(files.cut, cut);
        QCOMPARE(pw::hasFileData(data.get()), !paths.isEmpty());
    }

    // The file: URI decoder itself, on lines as other programs write them
    // (QMimeData mends some of these before they get here).
    void uriDecoding_data()
    {
        QTest::addColumn<QByteArray>("uri");
        QTest::addColumn<QByteArray>("path"); // the bytes; empty: refused
        QTest::newRow("plain") << QByteArray("file:///a/b.jpg") << QByteArray("/a/b.jpg");
        QTest::newRow("escaped bytes")
            << QByteArray("file:///a/%E5%86%99%FF.jpg") << QByteArray("/a/\xe5\x86\x99\xff.jpg");
        QTest::newRow("lower-case escapes")
            << QByteArray("file:///%c3%a9") << QByteArray("/\xc3\xa9");
        QTest::newRow("localhost") << QByteArray("file://LocalHost/x") << QByteArray("/x");
        QTest::newRow("one slash") << QByteArray("file:/x") << QByteArray("/x");
        QTest::newRow("another host") << QByteArray("file://elsewhere/x") << QByteArray();
        QTest::newRow("no path") << QByteArray("file://") << QByteArray();
        QTest::newRow("relative") << QByteArray("file:x.jpg") << QByteArray();
        QTest::newRow("bad escape") << QByteArray("file:///a%G1.jpg") << QByteArray();
        QTest::newRow("cut escape") << QByteArray("file:///a%F") << QByteArray();
        QTest::newRow("NUL") << QByteArray("file:///a%00b") << QByteArray();
        QTest::newRow("control character") << QByteArray("file:///a\x01b") << QByteArray();
        QTest::newRow("other scheme") << QByteArray("http:///a") << QByteArray();
        QTest::newRow("dot dot cleaned") << QByteArray("file:///a/../b") << QByteArray("/b");
    }
    void uriDecoding()
    {
        QFETCH(QByteArray, uri);
        QFETCH(QByteArray, path);
        const QString got = pw::localPathOfUri(uri);
        QCOMPARE(pw::nativePath(got), path);
        // What is read is written back as it was, less the spelling.
        if (!path.isEmpty()) QCOMPARE(pw::localPathOfUri(pw::fileUriOf(got)), got);
    }

    // Copy or cut, then paste into another folder.
    void copyCutPaste_data()
    {
        QTest::addColumn<bool>("cut");
        QTest::newRow("copy") << false;
        QTest::newRow("cut") << true;
    }
    void copyCutPaste()
    {
        QFETCH(bool, cut);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.path() + "/src/a.jpg", "alpha"));
        QVERIFY(writeFile(dir.path() + "/src/album/one.jpg", "one"));
        QVERIFY(QDir().mkpath(dir.path() + "/dst"));
        pw::QuietFileOpPrompt prompt;
        RecordingOpener opener;
        pw::FileVerbs verbs(prompt, opener);
        const QStringList sel{dir.path() + "/src/a.jpg", dir.path() + "/src/album"};
        QVERIFY(verbs.run(cut ? pw::FileVerb::Cut : pw::FileVerb::Copy, sel));
        QCOMPARE(pw::filesOnClipboard().paths, sel);
        QCOMPARE(pw::filesOnClipboard().cut, cut);
        QVERIFY(verbs.run(pw::FileVerb::Paste, {}, dir.path() + "/dst"));
        QCOMPARE(readFile(dir.path() + "/dst/a.jpg"), QByteArray("alpha"));
        QCOMPARE(readFile(dir.path() + "/dst/album/one.jpg"), QByteArray("one"));
        QCOMPARE(QFileInfo::exists(dir.path() + "/src/a.jpg"), !cut);
        QCOMPARE(QFileInfo::exists(dir.path() + "/src/album"), !cut);
        // A cut is pasted once; a copy can be pasted again.
        QCOMPARE(pw::clipboardHasFiles(), !cut);
        QVERIFY(opener.opened.isEmpty());
    }

    // A pasted name conflict answered with cancel changes nothing.
    void pasteConflictCancelled()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.path() + "/src/a.jpg", "new"));
        QVERIFY(writeFile(dir.path() + "/dst/a.jpg", "old"));
        pw::QuietFileOpPrompt prompt(pw::ConflictAnswer::Cancel);
        pw::FileVerbs verbs(prompt);
        QVERIFY(verbs.cut({dir.path() + "/src/a.jpg"}));
        QVERIFY(!verbs.paste(dir.path() + "/dst"));
        QCOMPARE(prompt.conflicts, 1);
        QVERIFY(verbs.lastResult().cancelled);
        QCOMPARE(readFile(dir.path() + "/dst/a.jpg"), QByteArray("old"));
        QCOMPARE(readFile(dir.path() + "/src/a.jpg"), QByteArray("new"));
        QVERIFY(pw::clipboardHasFiles()); // still there to paste elsewhere
    }

    void pasteFolderIntoItselfRefused()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.path() + "/album/one.jpg", "one"));
        pw::QuietFileOpPrompt prompt;
        pw::FileVerbs verbs(prompt);
        QVERIFY(verbs.copy({dir.path() + "/album"}));
        QVERIFY(!verbs.paste(dir.path() + "/album"));
        QCOMPARE(prompt.errors.size(), std::size_t(1));
        QCOMPARE(prompt.errors[0].kind, pw::FileOpError::IntoItself);
        QCOMPARE(QDir(dir.path() + "/album")
                     .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList{"one.jpg"});
    }

    // Failed checks do nothing and answer false.
    void preconditions()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.path() + "/a.jpg", "alpha"));
        pw::QuietFileOpPrompt prompt;
        RecordingOpener opener;
        pw::FileVerbs verbs(prompt, opener);
        const QString missing = dir.path() + "/gone.jpg";
        QVERIFY(!verbs.copy({missing}));
        QVERIFY(!pw::clipboardHasFiles());
        QVERIFY(!verbs.cut({dir.path() + "/a.jpg", missing}));
        QVERIFY(!pw::clipboardHasFiles());
        QVERIFY(!verbs.copy({}));
        QVERIFY(!verbs.remove({missing}));
        QVERIFY(!verbs.open({missing}));
        QVERIFY(opener.opened.isEmpty());
        QVERIFY(!verbs.copyPath({}));
        // Paste: no files on the clipboard, then a target that is no folder.
        QGuiApplication::clipboard()->setText("just text");
        QVERIFY(!verbs.paste(dir.path()));
        QVERIFY(verbs.copy({dir.path() + "/a.jpg"}));
        QVERIFY(!verbs.paste(dir.path() + "/a.jpg"));
        QVERIFY(!verbs.paste(dir.path() + "/nowhere"));
        QVERIFY(
            !verbs.canRun(pw::FileVerb::Rename, {dir.path() + "/a.jpg", dir.path() + "/a.jpg"}));
        QVERIFY(prompt.errors.empty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.jpg"});
    }

    void openDeleteRenameCopyPath()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.path() + "/a.jpg", "alpha"));
        QVERIFY(writeFile(dir.path() + "/b.jpg", "bravo"));
        NamingPrompt prompt;
        RecordingOpener opener;
        pw::FileVerbs verbs(prompt, opener);
        QVERIFY(verbs.run(pw::FileVerb::Open, {dir.path() + "/a.jpg"}));
        QCOMPARE(opener.opened, QStringList{dir.path() + "/a.jpg"});

        QVERIFY(
            verbs.run(pw::FileVerb::CopyPath, {dir.path() + "/a.jpg", dir.path() + "/./b.jpg"}));
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 dir.path() + "/a.jpg\n" + dir.path() + "/b.jpg");

        prompt.name = QStringLiteral("b.jpg"); // taken
        QVERIFY(!verbs.run(pw::FileVerb::Rename, {dir.path() + "/a.jpg"}));
        QCOMPARE(prompt.errors.back().kind, pw::FileOpError::RenameFailed);
        prompt.name = std::nullopt; // the user gave up
        QVERIFY(!verbs.run(pw::FileVerb::Rename, {dir.path() + "/a.jpg"}));
        prompt.name = QStringLiteral("写真.jpg");
        QVERIFY(verbs.run(pw::FileVerb::Rename, {dir.path() + "/a.jpg"}));
        QCOMPARE(readFile(dir.path() + "/写真.jpg"), QByteArray("alpha"));

        QVERIFY(verbs.run(pw::FileVerb::Delete, {dir.path() + "/写真.jpg", dir.path() + "/b.jpg"}));
        QCOMPARE(verbs.lastResult().done, 2);
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
        const QString trash =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash/files";
        QCOMPARE(readFile(trash + "/写真.jpg"), QByteArray("alpha"));
    }

    // "Copy path" of names that are not UTF-8: the URI list names the exact
    // bytes, reads back as the same paths (as a paste or a file manager
    // reads it), and the text shows them; no cut marker is set.
    void copyPathKeepsTheBytes_data()
    {
        QTest::addColumn<QList<QByteArray>>("names"); // in the test's folder
        QTest::addColumn<QByteArray>("uriTails");     // after the folder's URI, CR LF each
        QTest::addColumn<QString>("textTails");       // after the folder, one a line
        using L = QList<QByteArray>;
        QTest::newRow("a lone 0xFF") << L{"bad\xff.jpg"} << QByteArray("/bad%FF.jpg\r\n")
                                     << QStringLiteral("/bad\uFFFD.jpg");
        QTest::newRow("Latin-1 and UTF-8")
            << L{"caf\xe9.jpg", "写真.jpg"}
            << QByteArray("/caf%E9.jpg\r\n/%E5%86%99%E7%9C%9F.jpg\r\n")
            << QStringLiteral("/caf\uFFFD.jpg\n/写真.jpg");
        QTest::newRow("a folder, an overlong slash and a space")
            << L{"d \xc0\xaf"} << QByteArray("/d%20%C0%AF\r\n")
            << QStringLiteral("/d \uFFFD\uFFFD");
        QTest::newRow("percent and hash in a name")
            << L{"50%#1\xfe"} << QByteArray("/50%25%231%FE\r\n") << QStringLiteral("/50%#1\uFFFD");
    }
    void copyPathKeepsTheBytes()
    {
        QFETCH(QList<QByteArray>, names);
        QFETCH(QByteArray, uriTails);
        QFETCH(QString, textTails);
        sq::test::RawTempDir dir;
        QStringList paths;
        for (const QByteArray& name : names) {
            QVERIFY(name.startsWith("d ") ? sq::test::makeFolderAt(dir.bytes() + '/' + name)
                                          : sq::test::writeFileAt(dir.bytes() + '/' + name, "x"));
            paths << pw::pathFromNative(dir.bytes() + '/' + name);
        }
        NamingPrompt prompt;
        RecordingOpener opener;
        pw::FileVerbs verbs(prompt, opener);
        QVERIFY(verbs.run(pw::FileVerb::CopyPath, paths));
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QVERIFY(data);
        const QByteArray folderUri = pw::fileUriOf(dir.path());
        QByteArray uris;
        for (const QByteArray& tail : uriTails.split('\n'))
            if (!tail.isEmpty()) uris += folderUri + tail + '\n';
        QCOMPARE(data->data(QStringLiteral("text/uri-list")), uris);
        QString text = textTails;
        text.replace(QLatin1Char('\n'), QLatin1Char('\n') + dir.path());
        QCOMPARE(data->text(), dir.path() + text);
        // Read back as files of the clipboard: the very paths, copied.
        const pw::ClipboardFiles files = pw::filesOnClipboard();
        QCOMPARE(files.paths, paths);
        QVERIFY(!files.cut);
        QVERIFY(!data->hasFormat(QStringLiteral("application/x-kde-cutselection")));
        QVERIFY(!data->hasFormat(QStringLiteral("x-special/gnome-copied-files")));
        for (const QString& path : files.paths)
            QVERIFY(sq::test::existsAt(pw::nativePath(path)));
    }

    // The answers a drag gives other X programs, from the data the browser's
    // drags carry: each format under its own name, the paths' text under
    // the X text names, STRING only where Latin-1 can hold the text.
    void dragAnswers_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("target");
        QTest::addColumn<QByteArray>("type"); // empty: refused
        QTest::addColumn<QByteArray>("bytes");
        const QString plain = QStringLiteral("/p/a b.jpg");
        const QString japanese = QStringLiteral("/p/写真.jpg");
        const QString accented = QStringLiteral("/p/café.jpg");
        QTest::newRow("uri-list") << plain << QByteArray("text/uri-list") << QByteArray("text/uri-list")
                                  << QByteArray("file:///p/a%20b.jpg\r\n");
        QTest::newRow("gnome list") << plain << QByteArray("x-special/gnome-copied-files")
                                    << QByteArray("x-special/gnome-copied-files")
                                    << QByteArray("copy\nfile:///p/a%20b.jpg");
        QTest::newRow("utf8") << japanese << QByteArray("UTF8_STRING") << QByteArray("UTF8_STRING")
                              << japanese.toUtf8();
        QTest::newRow("charset") << japanese << QByteArray("text/plain;charset=utf-8")
                                 << QByteArray("text/plain;charset=utf-8") << japanese.toUtf8();
        QTest::newRow("latin-1 string") << accented << QByteArray("STRING") << QByteArray("STRING")
                                        << accented.toLatin1();
        QTest::newRow("no latin-1 string") << japanese << QByteArray("STRING") << QByteArray()
                                           << QByteArray();
        QTest::newRow("text as string") << accented << QByteArray("TEXT") << QByteArray("STRING")
                                        << accented.toLatin1();
        QTest::newRow("text as utf8") << japanese << QByteArray("TEXT") << QByteArray("UTF8_STRING")
                                      << japanese.toUtf8();
        QTest::newRow("unknown") << plain << QByteArray("image/png") << QByteArray() << QByteArray();
        QTest::newRow("cut marker absent") << plain << QByteArray("application/x-kde-cutselection")
                                           << QByteArray() << QByteArray();
    }
    void dragAnswers()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, target);
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, bytes);
        const auto data = pw::makeFileMimeData({path}, false);
        pw::DragFormats formats;
        for (const QString& f : data->formats()) formats.append({f.toUtf8(), data->data(f)});
        const auto answer = pw::dragDataFor(formats, target);
        QCOMPARE(answer.has_value(), !type.isEmpty());
        if (answer) {
            QCOMPARE(answer->type, type);
            QCOMPARE(answer->bytes, bytes);
        }
        // Everything offered can be had; text names only with text.
        const QList<QByteArray> targets = pw::dragTargetsOf(formats);
        for (const QByteArray& t : targets) QVERIFY2(pw::dragDataFor(formats, t), t.constData());
        QVERIFY(targets.contains("UTF8_STRING"));
        formats.removeIf([](const auto& f) { return f.first == "text/plain"; });
        QVERIFY(!pw::dragTargetsOf(formats).contains("UTF8_STRING"));
        QVERIFY(!pw::dragDataFor(formats, "UTF8_STRING"));
    }

    void verbTable()
    {
        for (const char* name : {"copy", "cut", "paste", "delete", "open", "rename", "copypath"}) {
            const auto verb = pw::fileVerbFromName(QString::fromLatin1(name));
            QVERIFY2(verb.has_value(), name);
            QVERIFY(!pw::fileVerbCaption(*verb).isEmpty());
        }
        QVERIFY(!pw::fileVerbFromName("explore").has_value());
    }
};

QTEST_MAIN(TstFileClipboard)
#include "tst_fileclipboard.moc"
