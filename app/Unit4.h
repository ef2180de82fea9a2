// The about box: the program's icon, its name and version, and "OK".
#pragma once

#include <QDialog>

class QLabel;

class TForm4 : public QDialog
{
    Q_OBJECT

public:
    explicit TForm4(QWidget* parent = nullptr);

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
};
