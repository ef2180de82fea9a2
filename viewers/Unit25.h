// The loupe backdrop: a borderless window of one solid colour placed under
// the loupe (Unit14) while its picture is captured, so that what lies
// outside the loupe's shape comes out in that colour. Created once by
// createWindows(); used by the loupe picture dialog (Unit26). GUI thread only.
#pragma once

#include <QColor>
#include <QWidget>

class TForm25 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm25(QWidget* parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor& color);

    // Shows the window on the display and returns once its colour is there
    // (or after a second where the display never says so).
    void showPainted();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color = Qt::white;
};
