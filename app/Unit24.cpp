#include "app/Unit24.h"

TForm24::TForm24(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form24"));
    setWindowTitle(QStringLiteral("名前の変更"));
}
