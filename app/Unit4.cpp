#include "app/Unit4.h"

#include <QColor>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
// A 32 x 32 picture-frame icon drawn here, so the box needs no icon file.
QImage productIcon()
{
    QImage icon(32, 32, QImage::Format_RGB888);
    icon.fill(QColor(192, 192, 192));
    QPainter p(&icon);
    p.fillRect(3, 5, 26, 22, QColor(128, 64, 0));
    p.fillRect(6, 8, 20, 16, QColor(255, 255, 193));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 128, 0));
    p.drawPolygon(QPolygon({QPoint(6, 24), QPoint(13, 14), QPoint(19, 20), QPoint(26, 12), QPoint(26, 24)}));
    return icon;
}
} // namespace

TForm4::TForm4(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("バージョン情報"));
    setModal(false);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(QPixmap::fromImage(productIcon()));
    Image1->setFixedSize(32, 32);
    Label1 = new QLabel(QStringLiteral("Sorrelquint %1").arg(QStringLiteral(SQ_VERSION)), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    connect(ok, &QPushButton::clicked, this, &QWidget::hide);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(Image1);
    top->addWidget(Label1, 1);
    layout->addLayout(top);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
}
