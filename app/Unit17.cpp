#include "app/Unit17.h"

TForm17::TForm17(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form17"));
    setWindowTitle(QStringLiteral("ファイル名で選択"));
}
