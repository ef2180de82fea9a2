// The loupe bar: show/hide, size, magnification, shape and motion of the loupe.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QWidget>

class TForm18 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm18(QWidget* parent = nullptr);
};
