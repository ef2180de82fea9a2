#include "tests/support/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

namespace sq::test {

MessageBoxCatcher::MessageBoxCatcher()
{
    // Polling runs inside the box's own event loop, however slow the machine.
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxCatcher::poll);
    m_timer.start(10);
}

void MessageBoxCatcher::poll()
{
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    texts << box->text();
    box->done(QMessageBox::Ok);
}

} // namespace sq::test
