#include "browser/SysColors.h"

namespace {

// The classic desktop palette, by system colour number.
constexpr QRgb kSystemColors[] = {
    qRgb(212, 208, 200), // scroll bar
    qRgb(58, 110, 165),  // desktop background
    qRgb(10, 36, 106),   // active caption
    qRgb(128, 128, 128), // inactive caption
    qRgb(212, 208, 200), // menu
    qRgb(255, 255, 255), // window
    qRgb(0, 0, 0),       // window frame
    qRgb(0, 0, 0),       // menu text
    qRgb(0, 0, 0),       // window text
    qRgb(255, 255, 255), // caption text
    qRgb(212, 208, 200), // active border
    qRgb(212, 208, 200), // inactive border
    qRgb(128, 128, 128), // application workspace
    qRgb(10, 36, 106),   // highlight
    qRgb(255, 255, 255), // highlight text
    qRgb(212, 208, 200), // button face
    qRgb(128, 128, 128), // button shadow
    qRgb(128, 128, 128), // grey text
    qRgb(0, 0, 0),       // button text
    qRgb(212, 208, 200), // inactive caption text
    qRgb(255, 255, 255), // button highlight
    qRgb(64, 64, 64),    // 3-D dark shadow
    qRgb(212, 208, 200), // 3-D light
    qRgb(0, 0, 0),       // tooltip text
    qRgb(255, 255, 225), // tooltip background
};

} // namespace

QColor ColorToRGB(TColor color)
{
    const auto u = static_cast<std::uint32_t>(color);
    if ((u & 0xFF000000u) == 0xFF000000u) {
        const unsigned index = u & 0xFFu;
        if (index < std::size(kSystemColors)) return QColor::fromRgb(kSystemColors[index]);
        return QColor(0, 0, 0);
    }
    return QColor(int(u & 0xFF), int((u >> 8) & 0xFF), int((u >> 16) & 0xFF));
}
