#include "app/Unit3.h"

TForm3::TForm3(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("起動フォルダ設定"));
}
