// A list whose line is chosen by the mouse or by the keys: the window's
// handler runs for every click on a line, as the design has it, and also
// for every other change of the current line (arrow keys, Home, End, typing
// a line's start, a line set by the program), so that what the window
// shows always follows the line that is current. Used by the file list
// window and the join dialog. GUI thread only.
#pragma once

#include <QObject>

#include <functional>

class QListWidget;

class TListChoice final : public QObject
{
public:
    // Child of list; run is called with the list's line already current.
    TListChoice(QListWidget* list, std::function<void()> run);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fire();
    void afterRelease();

    QListWidget* m_list;
    QObject* m_viewport;
    std::function<void()> m_run;
    bool m_pressed = false; // a mouse button is down on the list
    int m_firedRow = -1;    // the current line when run last ran
};
