#include "tests/support/MessageBoxes.h"

#include <QAbstractButton>
#include <QApplication>
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

void MessageBoxes::poll()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || box->property("sqAnswered").toBool()) return;
    box->setProperty("sqAnswered", true);
    m_texts << box->text();
    const QString wanted = m_answers.isEmpty() ? QStringLiteral("OK") : m_answers.takeFirst();
    for (QAbstractButton* button : box->buttons()) {
        // "置き換え(&R)" answers to "置き換え": the mnemonic is not part of the name.
        QString text = button->text().remove(QLatin1Char('&'));
        text.remove(QRegularExpression(QStringLiteral("\\([A-Za-z]\\)$")));
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
