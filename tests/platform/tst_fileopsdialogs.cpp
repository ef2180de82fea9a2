#include "platform/FileOpsDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace pw = sq::platform;
Q_DECLARE_METATYPE(pw::ConflictAnswer)

namespace {
// Once the question box is up, ticks its check box if asked and clicks the
// button with the given text.
void answerBox(const QString& button, bool all)
{
    QTimer::singleShot(50, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return answerBox(button, all);
        if (all) box->checkBox()->setChecked(true);
        for (QAbstractButton* b : box->buttons())
            if (b->text() == button) b->click();
    });
}
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
        QTest::newRow("replace") << "置き換え" << false << pw::ConflictAnswer::Replace;
        QTest::newRow("replace all") << "置き換え" << true << pw::ConflictAnswer::Replace;
        QTest::newRow("skip all") << "スキップ" << true << pw::ConflictAnswer::Skip;
        QTest::newRow("cancel") << "キャンセル" << false << pw::ConflictAnswer::Cancel;
    }
    void conflictButtons()
    {
        QFETCH(QString, button);
        QFETCH(bool, all);
        QFETCH(pw::ConflictAnswer, answer);
        pw::DialogFileOpPrompt prompt;
        answerBox(button, all);
        bool applyToAll = !all;
        QCOMPARE(prompt.askConflict("/a/x.jpg", "/b/x.jpg", applyToAll), answer);
        QCOMPARE(applyToAll, all);
    }

    // Short work shows no progress window; long work does, and its cancel
    // button is seen by cancelRequested.
    void progressOnlyForLongWork()
    {
        pw::DialogFileOpPrompt prompt;
        prompt.beginProgress(1000);
        prompt.stepProgress(10);
        auto* dialog = QApplication::activeModalWidget();
        QVERIFY(!dialog || !dialog->isVisible());
        prompt.endProgress();

        prompt.beginProgress(qint64(8) << 30); // more than an int holds
        prompt.stepProgress(qint64(1) << 20);
        QTest::qWait(700);
        prompt.stepProgress(qint64(2) << 20);
        auto* progress = qobject_cast<QProgressDialog*>(QApplication::activeModalWidget());
        QVERIFY(progress && progress->isVisible());
        QVERIFY(progress->value() >= 0 && progress->value() < 10);
        QVERIFY(!prompt.cancelRequested());
        progress->cancel();
        QVERIFY(prompt.cancelRequested());
        prompt.endProgress();
        QVERIFY(!prompt.cancelRequested());
    }
};

QTEST_MAIN(TstFileOpsDialogs)
#include "tst_fileopsdialogs.moc"
