#include "viewers/Unit11.h"

TForm11::TForm11(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form11"));
    setWindowTitle(QStringLiteral("ファイルリスト"));
}
