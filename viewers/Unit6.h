// Save dialog of the slide view's screens.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QDialog>

class TForm6 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm6(QWidget* parent = nullptr);
};
