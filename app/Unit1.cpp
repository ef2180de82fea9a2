#include "app/Unit1.h"

TForm1::TForm1(const QString& dataFolder, QWidget* parent)
    : QMainWindow(parent)
    , m_dataFolder(dataFolder)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Sorrelquint"));
}
