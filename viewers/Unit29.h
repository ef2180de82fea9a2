// The slide view's size dialog: a width and a height of at most 4 digits for
// one screen. Created once at start by createWindows() and kept, hidden;
// the slide view opens it for a screen and learns the numbers on "OK".
#pragma once

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;

class TForm29 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm29(QWidget* parent = nullptr);

    // Shows the dialog for screen k (1..4); onOK receives the width and
    // height when the user confirms two numbers.
    void openFor(int k, std::function<void(int w, int h)> onOK);
    int Screen() const { return m_screen; }

    QLineEdit* Edit1 = nullptr;     // 幅
    QLineEdit* Edit2 = nullptr;     // 高さ
    QPushButton* Button1 = nullptr; // OK
    QPushButton* Button2 = nullptr; // キャンセル

    void Button1Click();

private:
    int m_screen = 0;
    std::function<void(int, int)> m_onOK;
};
