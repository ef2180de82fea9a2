// The file list window.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QDialog>

class TForm11 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm11(QWidget* parent = nullptr);
};
