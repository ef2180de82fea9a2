#include "app/Translations.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QtTest>

class TstTranslations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // An English-speaking user: the catalogue is chosen by the program, not the locale.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QDialogButtonBox english(QDialogButtonBox::Cancel);
        QCOMPARE(english.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Cancel"));
        QVERIFY(sq::app::installQtTranslations(*qApp));
    }

    void standardButtons_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("text");
        QTest::newRow("OK") << int(QDialogButtonBox::Ok) << QStringLiteral("OK");
        QTest::newRow("Cancel") << int(QDialogButtonBox::Cancel) << QStringLiteral("キャンセル");
        QTest::newRow("Save") << int(QDialogButtonBox::Save) << QStringLiteral("保存");
        QTest::newRow("Yes") << int(QDialogButtonBox::Yes) << QStringLiteral("はい(&Y)");
        QTest::newRow("No") << int(QDialogButtonBox::No) << QStringLiteral("いいえ(&N)");
    }
    void standardButtons()
    {
        QFETCH(int, button);
        QFETCH(QString, text);
        QDialogButtonBox box{QDialogButtonBox::StandardButton(button)};
        QCOMPARE(box.button(QDialogButtonBox::StandardButton(button))->text(), text);
    }

    void fileDialogLabels_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("accept");
        QTest::newRow("open") << false << QStringLiteral("開く(&O)");
        QTest::newRow("save") << true << QStringLiteral("保存(&S)");
    }
    void fileDialogLabels()
    {
        QFETCH(bool, save);
        QFETCH(QString, accept);
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        const auto label = [&](const char* name) {
            const QLabel* l = dialog.findChild<QLabel*>(QString::fromLatin1(name));
            return l ? l->text() : QStringLiteral("(none)");
        };
        QCOMPARE(label("lookInLabel"), QStringLiteral("アドレス:"));
        QCOMPARE(label("fileNameLabel"), QStringLiteral("ファイル名(&N):"));
        QCOMPARE(label("fileTypeLabel"), QStringLiteral("ファイルの種類:"));
        const auto* buttons = dialog.findChild<QDialogButtonBox*>();
        QVERIFY(buttons);
        QCOMPARE(buttons->button(save ? QDialogButtonBox::Save : QDialogButtonBox::Open)->text(),
                 accept);
        QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
    }
};

QTEST_MAIN(TstTranslations)
#include "tst_translations.moc"
