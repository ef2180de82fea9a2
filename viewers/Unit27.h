// Join two screens' pictures and save the result.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QDialog>

class TForm27 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm27(QWidget* parent = nullptr);
};
