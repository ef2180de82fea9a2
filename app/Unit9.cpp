#include "app/Unit9.h"

TForm9::TForm9(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form9"));
    setWindowTitle(QStringLiteral("お気に入りフォルダ指定"));
}
