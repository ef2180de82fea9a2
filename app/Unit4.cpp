#include "app/Unit4.h"

TForm4::TForm4(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("バージョン情報"));
}
