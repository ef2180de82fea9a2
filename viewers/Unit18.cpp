#include "viewers/Unit18.h"

TForm18::TForm18(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form18"));
    setWindowTitle(QStringLiteral("ルーペ"));
}
