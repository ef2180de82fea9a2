// The file rename dialog.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QDialog>

class TForm24 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm24(QWidget* parent = nullptr);
};
