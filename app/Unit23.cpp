#include "app/Unit23.h"

TForm23::TForm23(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form23"));
    setWindowTitle(QString());
}
