#include "viewers/Unit6.h"

TForm6::TForm6(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(QStringLiteral("画面を保存"));
}
