// The slide view window: one, two or four screens stepped by hand, timer or at random.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QMainWindow>

class TForm2 : public QMainWindow
{
    Q_OBJECT

public:
    explicit TForm2(QWidget* parent = nullptr);
};
