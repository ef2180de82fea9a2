// The rules of the slide view's screen commands as pure functions: which
// screens a layout offers, the rectangle of a screen capture in the window,
// the composite of the whole screen area, the joining of two pictures side
// by side or one above the other, and the names "save all" gives. The slide view (Unit2_file)
// and the join dialog (Unit27) use them; tests check the numbers.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <optional>

// Whether screen (1..4) is offered in the layout of screens (1, 2 or 4)
// screens: screen 1 always, screen 2 not in the one-screen layout, screens 3
// and 4 only in the four-screen layout.
bool screenInLayout(int screen, int screens);

// What a capture reads of the window, in its client area: the top of the
// screen area (Panel3), the left edges of screen 2's and screen 4's panels
// in their rows, the top of the bottom row in the screen area, where a view
// control sits inside its panel, and the view controls' sizes.
struct TCaptureLayout
{
    int Panel3Top = 0;
    int Panel5Left = 0;
    int Panel7Left = 0;
    int Panel2Top = 0;
    QPoint Inset;                   // the view control's offset in its panel
    std::array<QSize, 4> Screens{}; // view controls 1..4
    QSize Screen(int k) const { return k >= 1 && k <= 4 ? Screens[size_t(k - 1)] : QSize(); }
};

// The window rectangle a capture of screen (1..4) copies 1:1: left
// Inset.x + X, top T + Y + Inset.y, the view control's size, where X is 0
// for screens 1 and 3 and the left edge of screen 2's or 4's panel, Y is 0
// for the top row and the bottom row's top for screens 3 and 4.
QRect captureRect(int screen, const TCaptureLayout& layout);

// The composite of the whole screen area for the layout of screens screens:
// w1 x h1, (w1 + w2) x h1, or (w1 + w2) x (h1 + h3).
QSize compositeSize(int screens, const TCaptureLayout& layout);

// Where screen (1..4) lands in that composite: 1 at (0, 0); 2 at (w1, 0)
// with two or four screens; 3 at (0, h1) and 4 at (w3, h2) with four. None
// for a screen the layout does not place.
std::optional<QPoint> compositePlace(int screen, int screens, const TCaptureLayout& layout);

// Joining direction: none chosen, side by side ("横"), one above the other
// ("縦").
enum class TJoinDirection { None = -1, Across = 0, Down = 1 };

// The joined picture's size and where the first (A) and second (B)
// pictures sit on it: the smaller one centred across the other's extent,
// its offset truncated. Empty size without a direction.
struct TJoinPlacement
{
    QSize Size;
    QPoint A;
    QPoint B;
    bool operator==(const TJoinPlacement&) const = default;
};
TJoinPlacement joinPlacement(QSize a, QSize b, TJoinDirection direction);

// The two pictures joined on black by joinPlacement, 24 bits per pixel; a
// null picture counts as 0 x 0. Null without a direction or when the result
// has no pixels.
QImage joinPictures(const QImage& a, const QImage& b, TJoinDirection direction);

// A new bitmap of that size as the screen commands create it: 24 bits per
// pixel, white. Null for an empty size.
QImage newBitmap(QSize size);

// The file name "save all" gives a screen's picture: the file name of path
// cut at its last dot + suffix + ".bmp", of which only the part after the
// last "/" is used ("/a/cat.jpg" with "_s" gives "cat_s.bmp").
QString saveAllFileName(const QString& path, const QString& suffix);
