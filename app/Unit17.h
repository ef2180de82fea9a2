// The find-by-name dialog.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QDialog>

class TForm17 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm17(QWidget* parent = nullptr);
};
