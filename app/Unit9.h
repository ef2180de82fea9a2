// The favourite folder choose dialog of the slide view's saved screens.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QDialog>

class TForm9 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm9(QWidget* parent = nullptr);
};
