// The about box.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QDialog>

class TForm4 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm4(QWidget* parent = nullptr);
};
