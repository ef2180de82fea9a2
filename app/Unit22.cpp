#include "app/Unit22.h"

TForm22::TForm22(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form22"));
    setWindowTitle(QStringLiteral("名前の変更"));
}
