#include "app/Unit19.h"

TForm19::TForm19(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form19"));
    setWindowTitle(QStringLiteral("新規フォルダ作成"));
}
