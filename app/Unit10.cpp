#include "app/Unit10.h"

TForm10::TForm10(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form10"));
    setWindowTitle(QString());
}
