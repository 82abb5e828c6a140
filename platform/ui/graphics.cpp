#include "platform/ui/graphics.h"

#include "platform/text.h"

namespace kzt {

namespace {

// The classic system palette, fixed so that a layout looks the same on every desktop.
QColor systemColor(int index)
{
    switch (index) {
    case 4:  // clMenu
    case 15: // clBtnFace
        return QColor(240, 240, 240);
    case 5:  // clWindow
    case 14: // clHighlightText
        return QColor(255, 255, 255);
    case 13: // clHighlight
        return QColor(0, 120, 215);
    case 16: // clBtnShadow
        return QColor(160, 160, 160);
    case 17: // clGrayText
        return QColor(109, 109, 109);
    case 20: // clBtnHighlight
        return QColor(255, 255, 255);
    default: // clWindowText, clMenuText, clBtnText and the rest
        return QColor(0, 0, 0);
    }
}

} // namespace

QColor toQColor(TColor color)
{
    const auto value = static_cast<std::uint32_t>(color);
    if ((value >> 24) == 0xFF)
        return systemColor(static_cast<int>(value & 0xFF));
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

QFont toQFont(const FontSpec& font)
{
    // Liberation Sans has Arial's metrics, so captions break where the layout expects;
    // DejaVu Sans is wider than Tahoma, so the narrower Liberation face stands in for the
    // system faces too.
    QString family = QStringLiteral("Liberation Sans");
    if (font.name != "Arial" && font.name != "Tahoma" && font.name != "MS Sans Serif"
        && !font.name.empty())
        family = toQString(font.name);
    QFont result(family);
    result.setStyleHint(QFont::SansSerif);
    result.setPixelSize(font.height > 0 ? font.height : 11);
    result.setBold(font.bold);
    return result;
}

QString toQString(std::string_view cp1252)
{
    const std::u16string wide = cp1252ToUtf16(cp1252);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

std::string fromQString(const QString& text)
{
    return utf16ToCp1252(std::u16string_view(reinterpret_cast<const char16_t*>(text.constData()),
                                             static_cast<std::size_t>(text.size())));
}

} // namespace kzt
