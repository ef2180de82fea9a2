// The start-up folder dialog.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QDialog>

class TForm3 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm3(QWidget* parent = nullptr);
};
