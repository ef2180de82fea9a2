// The slide view's screen-area geometry as pure functions of sizes: the
// plain layouts of one, two and four screens (Relayout), the enlarged
// screen (Enlarge) and the size adjustment of one screen. The slide view
// applies the result to its rows and panels; tests check the numbers.
#pragma once

#include <optional>

// The sizes the rules set: the top row's height, the widths of screen 1's
// and screen 3's panels (screens 2 and 4 take the rest of their rows), and
// which panels are shown.
struct TSlideGeometry
{
    int TopHeight = 0;        // Panel1
    int Panel4Width = 0;      // screen 1
    int Panel6Width = 0;      // screen 3
    bool Panel5Shown = false; // screen 2
    bool BottomShown = false; // the bottom row Panel2 with screens 3 and 4
    bool operator==(const TSlideGeometry&) const = default;
};

// What the rules read: the window's outer width, the screen area's height
// and the splitters' thicknesses.
struct TSlideMetrics
{
    int WindowWidth = 0;
    int Panel3Height = 0;
    int Splitter1Width = 3;
    int Splitter2Width = 3;
    int Splitter3Height = 3;
    int W1() const { return WindowWidth - Splitter1Width; }
    int W2() const { return WindowWidth - Splitter2Width; }
    int H() const { return Panel3Height - Splitter3Height; }
};

// The plain layout of screens (1, 2 or 4) screens. Sizes a layout does not
// set are kept from current.
TSlideGeometry slideRelayout(int screens, const TSlideMetrics& m, const TSlideGeometry& current);

// Screen (1..4) enlarged in the layout of screens screens; nothing in the
// one-screen layout, and for screens 3 and 4 outside the four-screen one.
std::optional<TSlideGeometry> slideEnlarge(int screens, int screen, const TSlideMetrics& m,
                                           const TSlideGeometry& current);

// The size adjustment of screen (1..4) to a w x h picture: its panel becomes
// w + 2 wide and its row h + 4 high. Screens 2 and 4 fill the rest of their
// row, so their size is reached by moving the splitter before them; the
// bottom row likewise through the top row. rowWidth is the width of the rows.
TSlideGeometry slideSizeAdjust(int screen, int w, int h, int rowWidth, const TSlideMetrics& m,
                               const TSlideGeometry& current);
