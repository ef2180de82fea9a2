// The new folder dialog.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QDialog>

class TForm19 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm19(QWidget* parent = nullptr);
};
