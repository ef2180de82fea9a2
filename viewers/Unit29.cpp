#include "viewers/Unit29.h"

TForm29::TForm29(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form29"));
    setWindowTitle(QString());
}
