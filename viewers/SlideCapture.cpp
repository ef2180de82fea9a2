#include "viewers/SlideCapture.h"

#include <QPainter>

#include <algorithm>

bool screenInLayout(int screen, int screens)
{
    switch (screen) {
    case 1:
        return true;
    case 2:
        return screens == 2 || screens == 4;
    case 3:
    case 4:
        return screens == 4;
    default:
        return false;
    }
}

QRect captureRect(int screen, const TCaptureLayout& layout)
{
    if (screen < 1 || screen > 4) return {};
    const int x = screen == 2 ? layout.Panel5Left : screen == 4 ? layout.Panel7Left : 0;
    const int y = screen >= 3 ? layout.Panel2Top : 0;
    return QRect(QPoint(layout.Inset.x() + x, layout.Panel3Top + y + layout.Inset.y()),
                 layout.Screen(screen));
}

QSize compositeSize(int screens, const TCaptureLayout& layout)
{
    const QSize s1 = layout.Screen(1);
    if (screens == 4)
        return {s1.width() + layout.Screen(2).width(), s1.height() + layout.Screen(3).height()};
    if (screens == 2) return {s1.width() + layout.Screen(2).width(), s1.height()};
    return s1;
}

std::optional<QPoint> compositePlace(int screen, int screens, const TCaptureLayout& layout)
{
    if (screens != 1 && screens != 2 && screens != 4) return std::nullopt;
    if (!screenInLayout(screen, screens)) return std::nullopt;
    switch (screen) {
    case 1:
        return QPoint(0, 0);
    case 2:
        return QPoint(layout.Screen(1).width(), 0);
    case 3:
        return QPoint(0, layout.Screen(1).height());
    default:
        return QPoint(layout.Screen(3).width(), layout.Screen(2).height());
    }
}

TJoinPlacement joinPlacement(QSize a, QSize b, TJoinDirection direction)
{
    TJoinPlacement p;
    const int wa = std::max(0, a.width()), ha = std::max(0, a.height());
    const int wb = std::max(0, b.width()), hb = std::max(0, b.height());
    if (direction == TJoinDirection::Across) {
        const int h = std::max(ha, hb);
        p.Size = QSize(wa + wb, h);
        p.A = QPoint(0, ha < h ? (h - ha) / 2 : 0);
        p.B = QPoint(wa, hb < h ? (h - hb) / 2 : 0);
    } else if (direction == TJoinDirection::Down) {
        const int w = std::max(wa, wb);
        p.Size = QSize(w, ha + hb);
        p.A = QPoint(wa < w ? (w - wa) / 2 : 0, 0);
        p.B = QPoint(wb < w ? (w - wb) / 2 : 0, ha);
    }
    return p;
}

QImage joinPictures(const QImage& a, const QImage& b, TJoinDirection direction)
{
    const TJoinPlacement p =
        joinPlacement(a.isNull() ? QSize() : a.size(), b.isNull() ? QSize() : b.size(), direction);
    if (p.Size.isEmpty()) return QImage();
    QImage out(p.Size, QImage::Format_RGB888);
    if (out.isNull()) return QImage();
    out.fill(Qt::black);
    QPainter painter(&out);
    if (!a.isNull()) painter.drawImage(p.A, a);
    if (!b.isNull()) painter.drawImage(p.B, b);
    return out;
}

QImage newBitmap(QSize size)
{
    if (size.isEmpty()) return QImage();
    QImage image(size, QImage::Format_RGB888);
    if (!image.isNull()) image.fill(Qt::white);
    return image;
}

QString saveAllFileName(const QString& path, const QString& suffix)
{
    QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) name.truncate(dot);
    const QString full = name + suffix + QStringLiteral(".bmp");
    return full.mid(full.lastIndexOf(QLatin1Char('/')) + 1);
}
