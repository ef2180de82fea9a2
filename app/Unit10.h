// The progress box of batch conversion; its caption is set per run.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QDialog>

class TForm10 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm10(QWidget* parent = nullptr);
};
