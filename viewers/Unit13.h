// The file list view, which doubles as the full-screen view.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QMainWindow>

class TForm13 : public QMainWindow
{
    Q_OBJECT

public:
    explicit TForm13(QWidget* parent = nullptr);
};
