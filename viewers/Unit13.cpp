#include "viewers/Unit13.h"

TForm13::TForm13(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form13"));
    setWindowTitle(QStringLiteral("ファイルリストビュー/Sorrelquint"));
}
