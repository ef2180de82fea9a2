#include "viewers/SlideGeometry.h"

#include <algorithm>

TSlideGeometry slideRelayout(int screens, const TSlideMetrics& m, const TSlideGeometry& current)
{
    TSlideGeometry g = current;
    const int h = m.H();
    if (screens == 4) {
        g.Panel4Width = m.W1() / 2;
        g.Panel6Width = m.W2() / 2;
        g.TopHeight = h / 2;
        g.Panel5Shown = true;
        g.BottomShown = true;
    } else if (screens == 2) {
        g.Panel4Width = m.W1() / 2;
        g.TopHeight = h;
        g.Panel5Shown = true;
        g.BottomShown = false;
    } else {
        g.Panel4Width = m.W1();
        g.TopHeight = h;
        g.Panel5Shown = false;
        g.BottomShown = false;
    }
    return g;
}

std::optional<TSlideGeometry> slideEnlarge(int screens, int screen, const TSlideMetrics& m,
                                           const TSlideGeometry& current)
{
    const int q = m.W1() / 4;
    const int h = m.H();
    if (screens == 2) {
        if (screen != 1 && screen != 2) return std::nullopt;
        TSlideGeometry g = slideRelayout(2, m, current);
        g.Panel4Width = screen == 1 ? 3 * q : q;
        return g;
    }
    if (screens != 4 || screen < 1 || screen > 4) return std::nullopt;
    TSlideGeometry g = slideRelayout(4, m, current);
    if (screen <= 2) {
        g.Panel4Width = screen == 1 ? 3 * q : q;
        g.Panel6Width = m.W2() / 2;
        g.TopHeight = 2 * (h / 3);
    } else {
        g.Panel4Width = m.W1() / 2;
        g.Panel6Width = screen == 3 ? 3 * (m.W2() / 4) : m.W2() / 4;
        g.TopHeight = h / 3;
    }
    return g;
}

TSlideGeometry slideSizeAdjust(int screen, int w, int h, int rowWidth, const TSlideMetrics& m,
                               const TSlideGeometry& current)
{
    TSlideGeometry g = current;
    const int panelWidth = w + 2;
    const int rowHeight = h + 4;
    switch (screen) {
    case 1:
        g.Panel4Width = panelWidth;
        g.TopHeight = rowHeight;
        break;
    case 2:
        g.Panel4Width = std::max(0, rowWidth - m.Splitter1Width - panelWidth);
        g.TopHeight = rowHeight;
        break;
    case 3:
        g.Panel6Width = panelWidth;
        g.TopHeight = std::max(0, m.Panel3Height - m.Splitter3Height - rowHeight);
        break;
    case 4:
        g.Panel6Width = std::max(0, rowWidth - m.Splitter2Width - panelWidth);
        g.TopHeight = std::max(0, m.Panel3Height - m.Splitter3Height - rowHeight);
        break;
    default:
        break;
    }
    return g;
}
