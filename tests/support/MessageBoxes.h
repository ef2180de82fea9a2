// Answers the message boxes a test provokes: while the object lives, every
// modal QMessageBox that opens is recorded (its text) and closed with the
// next queued answer, a button text ("OK" when the queue is empty). An
// answer "button|check box" ticks the box's check box of that text first
// (forAll: the conflict question's "以降すべてに適用"). Used by the main
// window's tests, whose commands ask and report through boxes.
#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

namespace sq::test {

class MessageBoxes : public QObject
{
public:
    explicit MessageBoxes(QStringList answers = {});
    // The texts of the boxes seen so far, in order.
    const QStringList& texts() const { return m_texts; }
    // Queues more answers.
    void answer(const QStringList& buttons) { m_answers << buttons; }
    void clear() { m_texts.clear(); }
    // The answer button with "apply to all" ticked.
    static QString forAll(const QString& button);

private:
    void poll();

    QTimer m_timer;
    QStringList m_answers;
    QStringList m_texts;
};

} // namespace sq::test
