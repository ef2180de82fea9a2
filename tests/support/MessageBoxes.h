// Answers the message boxes a test provokes: every modal QMessageBox that
// opens while the object lives is closed with its default button and its
// text recorded. Used by the widget tests of the windows.
#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

namespace sq::test {

class MessageBoxCatcher : public QObject
{
public:
    MessageBoxCatcher();
    // The texts of the boxes answered so far, in order.
    QStringList texts;

private:
    void poll();
    QTimer m_timer;
};

} // namespace sq::test
