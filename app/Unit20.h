// The favourites edit dialog.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QDialog>

class TForm20 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm20(QWidget* parent = nullptr);
};
