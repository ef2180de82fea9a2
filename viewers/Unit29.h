// The slide view's size dialog.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QDialog>

class TForm29 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm29(QWidget* parent = nullptr);
};
