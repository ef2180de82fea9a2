// The file operations' windows: the conflict question (answered by mouse
// and keys, never covered by the progress window), the progress window's
// delay and cancel, and the one error box per operation.
#include "platform/FileClipboard.h"
#include "platform/FileOpsDialogs.h"
#include "platform/FileVerbs.h"
#include "platform/NativePath.h"
#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace pw = sq::platform;
using sq::test::readFile;
using sq::test::writeFile;
Q_DECLARE_METATYPE(pw::ConflictAnswer)

namespace {

QWidget* progressWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("FileOpProgress")) return w;
    return nullptr;
}

bool progressShown()
{
    QWidget* w = progressWindow();
    return w && w->isVisible();
}

QMessageBox* openBox()
{
    return qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
}

// Calls act with the question box once it is open; polls the event loop so
// it also runs inside the box's own exec.
void whenBoxOpen(std::function<void(QMessageBox*)> act)
{
    QTimer::singleShot(20, [act] {
        if (QMessageBox* box = openBox())
            act(box);
        else
            whenBoxOpen(act);
    });
}

// How an answer is given: a click, or a key sent where the keyboard focus is.
enum class Answer { ClickReplace, Return, Escape, KeyR, KeyS, AltR };

void give(QMessageBox* box, Answer how)
{
    QWidget* focus = QApplication::focusWidget();
    QWidget* target = focus && box->isAncestorOf(focus) ? focus : box;
    switch (how) {
    case Answer::ClickReplace:
        for (QAbstractButton* b : box->buttons())
            if (b->text().startsWith(QStringLiteral("置き換え")))
                QTest::mouseClick(b, Qt::LeftButton);
        break;
    case Answer::Return:
        QTest::keyClick(target, Qt::Key_Return);
        break;
    case Answer::Escape:
        QTest::keyClick(target, Qt::Key_Escape);
        break;
    case Answer::KeyR:
        QTest::keyClick(target, Qt::Key_R);
        break;
    case Answer::KeyS:
        QTest::keyClick(target, Qt::Key_S);
        break;
    case Answer::AltR:
        QTest::keyClick(target, Qt::Key_R, Qt::AltModifier);
        break;
    }
}

} // namespace

Q_DECLARE_METATYPE(Answer)

namespace {

// Closes every error box as it opens and counts them, keeping the texts.
struct BoxCounter
{
    int boxes = 0;
    QStringList texts;
    bool running = true;
    void start()
    {
        QTimer::singleShot(10, [this] {
            if (!running) return;
            if (QMessageBox* box = openBox()) {
                ++boxes;
                texts << box->text();
                box->accept();
            }
            start();
        });
    }
};

} // namespace

class TstFileOpsDialogs : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void conflictButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("all");
        QTest::addColumn<pw::ConflictAnswer>("answer");
        QTest::newRow("replace") << "置き換え(&R)" << false << pw::ConflictAnswer::Replace;
        QTest::newRow("replace all") << "置き換え(&R)" << true << pw::ConflictAnswer::Replace;
        QTest::newRow("skip all") << "スキップ(&S)" << true << pw::ConflictAnswer::Skip;
        QTest::newRow("cancel") << "キャンセル" << false << pw::ConflictAnswer::Cancel;
    }
    void conflictButtons()
    {
        QFETCH(QString, button);
        QFETCH(bool, all);
        QFETCH(pw::ConflictAnswer, answer);
        pw::DialogFileOpPrompt prompt;
        whenBoxOpen([=](QMessageBox* box) {
            if (all) box->checkBox()->setChecked(true);
            for (QAbstractButton* b : box->buttons())
                if (b->text() == button) b->click();
        });
        bool applyToAll = !all;
        QCOMPARE(prompt.askConflict("/a/x.jpg", "/b/x.jpg", applyToAll), answer);
        QCOMPARE(applyToAll, all);
    }

    // Short work shows no progress window; long work does, its bar counts
    // totals past 2^31 bytes, and its キャンセル is seen by cancelRequested.
    void progressOnlyForLongWork()
    {
        pw::DialogFileOpPrompt prompt;
        prompt.beginProgress(1000);
        prompt.stepProgress(10);
        QVERIFY(!progressShown());
        prompt.endProgress();

        prompt.beginProgress(qint64(8) << 30);
        prompt.stepProgress(qint64(1) << 20);
        QTest::qWait(600);
        prompt.stepProgress(qint64(2) << 20);
        QVERIFY(progressShown());
        QVERIFY(!prompt.cancelRequested());
        auto* bar = progressWindow()->findChild<QProgressBar*>();
        QVERIFY(bar && bar->value() >= 0 && bar->value() < 10);
        QTest::mouseClick(progressWindow()->findChild<QPushButton*>("cancel"), Qt::LeftButton);
        QVERIFY(prompt.cancelRequested());
        prompt.endProgress();
        QVERIFY(!progressWindow());
        QVERIFY(!prompt.cancelRequested());
    }

    // The progress window never covers a question: asked before the window
    // was due, it does not appear while the question is open (also past its
    // delay); asked while it shows, it goes away. Either way it comes back
    // only once the delay has run again after the answer.
    void questionNeverCovered_data()
    {
        QTest::addColumn<bool>("shownBefore");
        QTest::newRow("asked before the window showed") << false;
        QTest::newRow("asked while it shows") << true;
    }
    void questionNeverCovered()
    {
        QFETCH(bool, shownBefore);
        pw::DialogFileOpPrompt prompt;
        prompt.beginProgress(1000);
        prompt.stepProgress(10);
        if (shownBefore) {
            QTest::qWait(600);
            prompt.stepProgress(100);
            QVERIFY(progressShown());
        }
        bool covered = false, sawBox = false;
        whenBoxOpen([&](QMessageBox* box) {
            sawBox = true;
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < 800) {
                QTest::qWait(20);
                if (progressShown() || QApplication::activeModalWidget() != box) covered = true;
            }
            give(box, Answer::KeyS);
        });
        bool all = false;
        QCOMPARE(prompt.askConflict("/a/x.jpg", "/b/x.jpg", all), pw::ConflictAnswer::Skip);
        QVERIFY(sawBox);
        QVERIFY(!covered);
        prompt.stepProgress(200);
        QVERIFY(!progressShown()); // the delay runs again from the answer
        QTest::qWait(600);
        prompt.stepProgress(300);
        QVERIFY(progressShown());
        prompt.endProgress();
    }

    // A long paste of many files with a conflict in the middle: the question
    // is answered by a click or keys on the real box while the paste runs,
    // and the answer does what it says to the rest of the paste.
    void conflictAnsweredDuringPaste_data()
    {
        QTest::addColumn<Answer>("how");
        QTest::addColumn<QByteArray>("middleAfter");
        QTest::addColumn<bool>("restCopied");
        QTest::newRow("click replace") << Answer::ClickReplace << QByteArray("new") << true;
        QTest::newRow("Return skips") << Answer::Return << QByteArray("old") << true;
        QTest::newRow("Escape cancels") << Answer::Escape << QByteArray("old") << false;
        QTest::newRow("R replaces") << Answer::KeyR << QByteArray("new") << true;
        QTest::newRow("Alt+R replaces") << Answer::AltR << QByteArray("new") << true;
        QTest::newRow("S skips") << Answer::KeyS << QByteArray("old") << true;
    }
    void conflictAnsweredDuringPaste()
    {
        QFETCH(Answer, how);
        QFETCH(QByteArray, middleAfter);
        QFETCH(bool, restCopied);
        QTemporaryDir dir;
        const int count = 200;
        QStringList sources;
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("f%1.jpg").arg(i, 3, 10, QLatin1Char('0'));
            QVERIFY(writeFile(dir.path() + "/src/" + name, i == count / 2 ? "new" : "x"));
            sources << dir.path() + "/src/" + name;
        }
        const QString middle = QStringLiteral("f%1.jpg").arg(count / 2, 3, 10, QLatin1Char('0'));
        QVERIFY(writeFile(dir.path() + "/dst/" + middle, "old"));
        QWidget owner;
        owner.show();
        pw::DialogFileOpPrompt prompt(&owner);
        // The progress window is up from the first file, as in a long paste.
        prompt.setShowDelay(0);
        pw::FileVerbs verbs(prompt);
        pw::putFilesOnClipboard(sources, false);
        bool covered = false;
        int boxes = 0;
        whenBoxOpen([&](QMessageBox* box) {
            ++boxes;
            QTest::qWait(100);
            if (progressShown() || QApplication::activeModalWidget() != box) covered = true;
            give(box, how);
        });
        verbs.paste(dir.path() + "/dst");
        QCOMPARE(boxes, 1);
        QVERIFY(!covered);
        QCOMPARE(readFile(dir.path() + "/dst/" + middle), middleAfter);
        QCOMPARE(QFile::exists(dir.path() + "/dst/f199.jpg"), restCopied);
        QVERIFY(QFile::exists(dir.path() + "/dst/f000.jpg"));
        QCOMPARE(verbs.lastResult().cancelled, how == Answer::Escape);
        QVERIFY(!progressWindow());
    }

    // The rename box shows the old name as it can be shown; left as it is,
    // the name keeps its bytes; a typed name is taken as it is typed.
    void renameShowsOldName_data()
    {
        QTest::addColumn<QString>("typed"); // empty: left as shown
        QTest::addColumn<QByteArray>("result");
        QTest::newRow("left as it is") << QString() << QByteArray("bad\xff.jpg");
        QTest::newRow("typed") << QStringLiteral("良い.jpg") << QStringLiteral("良い.jpg").toUtf8();
    }
    void renameShowsOldName()
    {
        QFETCH(QString, typed);
        QFETCH(QByteArray, result);
        pw::DialogFileOpPrompt prompt;
        QString shown;
        QTimer::singleShot(20, [&] {
            auto* edit = QApplication::activeModalWidget()
                             ? QApplication::activeModalWidget()->findChild<QLineEdit*>()
                             : nullptr;
            if (!edit) return;
            shown = edit->text();
            if (!typed.isEmpty()) edit->setText(typed);
            QTest::keyClick(edit, Qt::Key_Return);
        });
        const auto name =
            prompt.askNewName(pw::pathFromNative(QByteArray("/x/pics\xfe/bad\xff.jpg")));
        QCOMPARE(shown, QStringLiteral("bad\uFFFD.jpg"));
        QVERIFY(name.has_value());
        QCOMPARE(pw::nativePath(*name), result);
    }

    // A list of 10,000 missing files: one box at the end, naming the first
    // few and the count; the files that exist are copied all the same.
    void errorsGatheredInOneBox()
    {
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.path() + "/src/real.jpg", "real"));
        QVERIFY(QDir().mkpath(dir.path() + "/dst"));
        QStringList sources;
        for (int i = 0; i < 10000; ++i)
            sources << dir.path() +
                           QStringLiteral("/src/gone%1.jpg").arg(i, 5, 10, QLatin1Char('0'));
        sources << dir.path() + "/src/real.jpg";
        pw::DialogFileOpPrompt prompt;
        pw::FileVerbs verbs(prompt);
        pw::putFilesOnClipboard(sources, false);
        BoxCounter counter;
        counter.start();
        QVERIFY(!verbs.paste(dir.path() + "/dst"));
        counter.running = false;
        QCOMPARE(counter.boxes, 1);
        const QString text = counter.texts.value(0);
        QVERIFY2(text.contains(QStringLiteral("10000 件")), qPrintable(text));
        for (int i = 0; i < pw::DialogFileOpPrompt::ErrorsListed; ++i)
            QVERIFY(text.contains(QStringLiteral("gone%1.jpg").arg(i, 5, 10, QLatin1Char('0'))));
        QVERIFY(!text.contains(
            QStringLiteral("gone%1.jpg")
                .arg(pw::DialogFileOpPrompt::ErrorsListed, 5, 10, QLatin1Char('0'))));
        QVERIFY(text.contains(
            QStringLiteral("ほか %1 件").arg(10000 - pw::DialogFileOpPrompt::ErrorsListed)));
        QCOMPARE(verbs.lastResult().failed, 10000);
        QCOMPARE(readFile(dir.path() + "/dst/real.jpg"), QByteArray("real"));

        // Outside an operation (a rename) an error shows at once, alone.
        BoxCounter single;
        single.start();
        QVERIFY(!verbs.rename(dir.path() + "/src/real.jpg", "a/b"));
        single.running = false;
        QCOMPARE(single.boxes, 1);
        QVERIFY(!single.texts.value(0).contains(QStringLiteral("件")));
    }
};

QTEST_MAIN(TstFileOpsDialogs)
#include "tst_fileopsdialogs.moc"
