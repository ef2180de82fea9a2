#include "tests/support/MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTest>

namespace sq::test {

MessageBoxes::MessageBoxes(QStringList answers) : m_answers(std::move(answers))
{
    m_timer.setInterval(20);
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxes::poll);
    m_timer.start();
}

QString MessageBoxes::forAll(const QString& button)
{
    return button + QStringLiteral("|以降すべてに適用");
}

void MessageBoxes::poll()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || box->property("sqAnswered").toBool()) return;
    box->setProperty("sqAnswered", true);
    m_texts << box->text();
    QString wanted = m_answers.isEmpty() ? QStringLiteral("OK") : m_answers.takeFirst();
    // "置き換え(&R)" answers to "置き換え": the mnemonic is not part of the name.
    const auto plain = [](QString text) {
        text.remove(QLatin1Char('&'));
        return text.remove(QRegularExpression(QStringLiteral("\\([A-Za-z]\\)$")));
    };
    if (const qsizetype bar = wanted.indexOf(QLatin1Char('|')); bar >= 0) {
        const QString check = wanted.mid(bar + 1);
        wanted.truncate(bar);
        if (!box->checkBox() || plain(box->checkBox()->text()) != check) {
            qWarning("MessageBoxes: no check box '%s' in box '%s'", qPrintable(check),
                     qPrintable(box->text()));
            box->reject();
            return;
        }
        box->checkBox()->setChecked(true);
    }
    for (QAbstractButton* button : box->buttons()) {
        const QString text = plain(button->text());
        if (text == wanted) {
            button->click();
            return;
        }
    }
    // No such button: the escape answer, so a test never hangs on a box.
    qWarning("MessageBoxes: no button '%s' in box '%s'", qPrintable(wanted),
             qPrintable(box->text()));
    box->reject();
}

} // namespace sq::test
