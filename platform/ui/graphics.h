#pragma once

// Colours and fonts as the dialog's design gives them, and their Qt forms.

#include "platform/platform_global.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>

namespace kzt {

// A colour value: red in the lowest byte, then green, then blue. Values with the top
// byte 0xFF name a system colour, taken from the platform's current palette.
using TColor = std::int32_t;

constexpr TColor rgb(int r, int g, int b)
{
    return r | (g << 8) | (b << 16);
}

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clGray = 0x808080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clWindowText = static_cast<TColor>(0xFF000008);
constexpr TColor clWindow = static_cast<TColor>(0xFF000005);
constexpr TColor clMenu = static_cast<TColor>(0xFF000004);

KZT_PLATFORM_API QColor toQColor(TColor color);

struct FontSpec {
    std::string name = "MS Sans Serif";
    int height = 11; // character height in pixels
    bool bold = false;
    TColor color = clWindowText;
};

// Design font names map to the faces installed here: Arial -> Liberation Sans (the same
// metrics); Tahoma and MS Sans Serif -> Liberation Sans as well, which is narrower than
// DejaVu Sans and so keeps their captions inside the layout. Heights are pixel sizes.
KZT_PLATFORM_API QFont toQFont(const FontSpec& font);

// Windows-1252 text for painting, and back.
KZT_PLATFORM_API QString toQString(std::string_view cp1252);
KZT_PLATFORM_API std::string fromQString(const QString& text);

} // namespace kzt
