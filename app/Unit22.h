// The folder rename dialog.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QDialog>

class TForm22 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm22(QWidget* parent = nullptr);
};
