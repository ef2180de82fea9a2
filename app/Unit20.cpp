#include "app/Unit20.h"

TForm20::TForm20(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form20"));
    setWindowTitle(QStringLiteral("お気に入り編集"));
}
