#include "viewers/Unit28.h"

TForm28::TForm28(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form28"));
    setWindowTitle(QStringLiteral("名前を付けてすべて保存"));
}
