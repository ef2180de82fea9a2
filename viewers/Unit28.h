// Save all screens' pictures under a chosen name.
// Created once at start by createWindows() and kept, hidden, until shown.
#pragma once

#include <QDialog>

class TForm28 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm28(QWidget* parent = nullptr);
};
