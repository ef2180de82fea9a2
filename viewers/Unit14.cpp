#include "viewers/Unit14.h"

TForm14::TForm14(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form14"));
    setWindowTitle(QStringLiteral("ルーペウインドウ"));
}
