// Save dialog for the loupe's picture.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QDialog>

class TForm26 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm26(QWidget* parent = nullptr);
};
