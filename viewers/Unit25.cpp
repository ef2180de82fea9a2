#include "viewers/Unit25.h"

TForm25::TForm25(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Form25"));
    setWindowTitle(QString());
}
