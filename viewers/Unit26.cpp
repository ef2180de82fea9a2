#include "viewers/Unit26.h"

TForm26::TForm26(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form26"));
    setWindowTitle(QStringLiteral("ルーぺ画面を保存"));
}
