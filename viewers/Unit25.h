// The loupe backdrop window.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QWidget>

class TForm25 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm25(QWidget* parent = nullptr);
};
