#include "viewers/Unit27.h"

TForm27::TForm27(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form27"));
    setWindowTitle(QStringLiteral("連結して保存"));
}
