// The destination folder chooser; its caption is set per use.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QDialog>

class TForm23 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm23(QWidget* parent = nullptr);
};
