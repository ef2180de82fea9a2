// The loupe window that magnifies the screen around the pointer.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QWidget>

class TForm14 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm14(QWidget* parent = nullptr);
};
