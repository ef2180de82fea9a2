// The find-by-name dialog: a text that the main window looks for in the
// browser's file names. Created once at start by createWindows() and kept,
// hidden, until shown; stays on top, not modal.
#pragma once

#include <QDialog>

#include <functional>

class QLineEdit;

class TForm17 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm17(QWidget* parent = nullptr);

    QLineEdit* Edit1 = nullptr;
    // Called by "OK" with the text, before the dialog hides.
    std::function<void(const QString&)> onFind;

    void Button1Click(); // "OK"
};
