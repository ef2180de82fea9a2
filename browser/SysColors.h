// Colours the browser and the viewers are configured in: RGB values written
// as the design writes them (red in the low byte), or system colours, which
// map to one fixed table of the classic desktop palette so that pictures and
// tests look the same on every desktop.
#pragma once

#include <QColor>

#include <cstdint>

using TColor = std::int32_t;

constexpr TColor RGB(int r, int g, int b)
{
    return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

constexpr TColor sysColor(int index)
{
    return static_cast<TColor>(0xFF000000u | static_cast<unsigned>(index));
}

constexpr TColor clScrollBar = sysColor(0);
constexpr TColor clBackground = sysColor(1);
constexpr TColor clActiveCaption = sysColor(2);
constexpr TColor clInactiveCaption = sysColor(3);
constexpr TColor clMenu = sysColor(4);
constexpr TColor clWindow = sysColor(5);
constexpr TColor clWindowFrame = sysColor(6);
constexpr TColor clMenuText = sysColor(7);
constexpr TColor clWindowText = sysColor(8);
constexpr TColor clCaptionText = sysColor(9);
constexpr TColor clActiveBorder = sysColor(10);
constexpr TColor clInactiveBorder = sysColor(11);
constexpr TColor clAppWorkSpace = sysColor(12);
constexpr TColor clHighlight = sysColor(13);
constexpr TColor clHighlightText = sysColor(14);
constexpr TColor clBtnFace = sysColor(15);
constexpr TColor clBtnShadow = sysColor(16);
constexpr TColor clGrayText = sysColor(17);
constexpr TColor clBtnText = sysColor(18);
constexpr TColor clInactiveCaptionText = sysColor(19);
constexpr TColor clBtnHighlight = sysColor(20);
constexpr TColor cl3DDkShadow = sysColor(21);
constexpr TColor cl3DLight = sysColor(22);
constexpr TColor clInfoText = sysColor(23);
constexpr TColor clInfoBk = sysColor(24);

constexpr TColor clBlack = RGB(0, 0, 0);
constexpr TColor clMaroon = RGB(128, 0, 0);
constexpr TColor clGreen = RGB(0, 128, 0);
constexpr TColor clOlive = RGB(128, 128, 0);
constexpr TColor clNavy = RGB(0, 0, 128);
constexpr TColor clGray = RGB(128, 128, 128);
constexpr TColor clSilver = RGB(192, 192, 192);
constexpr TColor clRed = RGB(255, 0, 0);
constexpr TColor clBlue = RGB(0, 0, 255);
constexpr TColor clWhite = RGB(255, 255, 255);

// The RGB value of a colour; an unknown system colour is black.
QColor ColorToRGB(TColor color);
