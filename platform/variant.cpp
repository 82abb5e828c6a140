#include "platform/variant.h"

#include "platform/text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>
#include <system_error>

namespace kzt {

namespace {

[[noreturn]] void cannotConvert(Variant::Type from, Variant::Type to)
{
    throw VariantError(std::string("Could not convert variant of type (") + Variant::typeName(from)
                       + ") into type (" + Variant::typeName(to) + ")");
}

std::string_view trimmed(std::string_view text)
{
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool parseInteger(std::string_view text, std::int64_t& out)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parseFloat(std::string_view text, double& out)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty())
        return false;
    const auto [end, ec] =
        std::from_chars(text.data(), text.data() + text.size(), out, std::chars_format::general);
    return ec == std::errc() && end == text.data() + text.size() && std::isfinite(out);
}

// A whole float that an int64 can hold exactly.
bool wholeFloatToInteger(double value, std::int64_t& out)
{
    if (!std::isfinite(value) || std::trunc(value) != value)
        return false;
    // 2^63 is the first double beyond the int64 range.
    if (value < -9223372036854775808.0 || value >= 9223372036854775808.0)
        return false;
    out = static_cast<std::int64_t>(value);
    return true;
}

bool parseBooleanText(std::string_view text, bool& out)
{
    const std::string upper = upperAscii(trimmed(text));
    if (upper == "TRUE") {
        out = true;
        return true;
    }
    if (upper == "FALSE") {
        out = false;
        return true;
    }
    double number = 0;
    if (parseFloat(text, number)) {
        out = number != 0;
        return true;
    }
    return false;
}

} // namespace

// The shortest decimal text that reads back as the same double: plain notation for
// ordinary magnitudes ("12.5", "15", "0.001"), an exponent beyond them ("1E20").
std::string formatFloat(double value)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";

    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string_view sci(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t ePos = sci.find('e');
    std::string_view mantissa = sci.substr(0, ePos);
    const int exponent = std::atoi(std::string(sci.substr(ePos + 1)).c_str());

    std::string sign;
    if (mantissa.front() == '-') {
        sign = "-";
        mantissa.remove_prefix(1);
    }
    std::string digits;
    for (const char c : mantissa) {
        if (c != '.')
            digits += c;
    }

    if (exponent < -5 || exponent >= 15) {
        std::string out = sign + digits.substr(0, 1);
        if (digits.size() > 1)
            out += "." + digits.substr(1);
        return out + "E" + std::to_string(exponent);
    }
    const int intDigits = exponent + 1;
    if (intDigits <= 0)
        return sign + "0." + std::string(static_cast<std::size_t>(-intDigits), '0') + digits;
    const auto whole = static_cast<std::size_t>(intDigits);
    if (digits.size() <= whole)
        return sign + digits + std::string(whole - digits.size(), '0');
    return sign + digits.substr(0, whole) + "." + digits.substr(whole);
}

Variant::Variant(std::string text) : mValue(std::move(text)) {}
Variant::Variant(const char* text) : mValue(std::string(text ? text : "")) {}
Variant::Variant(std::u16string text) : mValue(std::move(text)) {}
Variant::Variant(std::int64_t value) : mValue(value) {}
Variant::Variant(int value) : mValue(static_cast<std::int64_t>(value)) {}
Variant::Variant(double value) : mValue(value) {}
Variant::Variant(bool value) : mValue(value) {}
Variant::Variant(Array items) : mValue(std::move(items)) {}

Variant Variant::fromPacket(std::string xml)
{
    Variant v;
    v.mValue = PacketXml{std::move(xml)};
    return v;
}

Variant Variant::fromCell(const CellValue& cell)
{
    switch (cell.index()) {
    case 1: return Variant(std::get<std::string>(cell));
    case 2: return Variant(std::get<std::int64_t>(cell));
    case 3: return Variant(std::get<double>(cell));
    case 4: return Variant(std::get<bool>(cell));
    default: return Variant();
    }
}

Variant Variant::arrayOf(std::size_t count)
{
    return Variant(Array(count));
}

Variant::Type Variant::type() const
{
    return static_cast<Type>(mValue.index());
}

const char* Variant::typeName(Type type)
{
    switch (type) {
    case Type::Empty: return "Empty";
    case Type::Text: return "Text";
    case Type::WideText: return "WideText";
    case Type::Integer: return "Integer";
    case Type::Float: return "Float";
    case Type::Boolean: return "Boolean";
    case Type::Array: return "Array";
    case Type::Packet: return "Packet";
    }
    return "Unknown";
}

std::string Variant::asText() const
{
    switch (type()) {
    case Type::Empty: return {};
    case Type::Text: return std::get<std::string>(mValue);
    case Type::WideText: return utf16ToCp1252(std::get<std::u16string>(mValue));
    case Type::Integer: return std::to_string(std::get<std::int64_t>(mValue));
    case Type::Float: return formatFloat(std::get<double>(mValue));
    case Type::Boolean: return std::get<bool>(mValue) ? "True" : "False";
    case Type::Array:
    case Type::Packet: break;
    }
    cannotConvert(type(), Type::Text);
}

std::u16string Variant::asWideText() const
{
    if (type() == Type::WideText)
        return std::get<std::u16string>(mValue);
    if (type() == Type::Array || type() == Type::Packet)
        cannotConvert(type(), Type::WideText);
    return cp1252ToUtf16(asText());
}

bool Variant::asBoolean() const
{
    bool out = false;
    switch (type()) {
    case Type::Boolean: return std::get<bool>(mValue);
    case Type::Integer: return std::get<std::int64_t>(mValue) != 0;
    case Type::Float: return std::get<double>(mValue) != 0;
    case Type::Text:
    case Type::WideText:
        if (parseBooleanText(asText(), out))
            return out;
        break;
    case Type::Empty:
    case Type::Array:
    case Type::Packet: break;
    }
    cannotConvert(type(), Type::Boolean);
}

std::int64_t Variant::asInteger() const
{
    std::int64_t out = 0;
    double number = 0;
    switch (type()) {
    case Type::Integer: return std::get<std::int64_t>(mValue);
    case Type::Boolean: return std::get<bool>(mValue) ? 1 : 0;
    case Type::Float:
        if (wholeFloatToInteger(std::get<double>(mValue), out))
            return out;
        break;
    case Type::Text:
    case Type::WideText: {
        const std::string text = asText();
        if (parseInteger(text, out))
            return out;
        if (parseFloat(text, number) && wholeFloatToInteger(number, out))
            return out;
        break;
    }
    case Type::Empty:
    case Type::Array:
    case Type::Packet: break;
    }
    cannotConvert(type(), Type::Integer);
}

double Variant::asFloat() const
{
    double out = 0;
    switch (type()) {
    case Type::Float: return std::get<double>(mValue);
    case Type::Integer: return static_cast<double>(std::get<std::int64_t>(mValue));
    case Type::Boolean: return std::get<bool>(mValue) ? 1.0 : 0.0;
    case Type::Text:
    case Type::WideText:
        if (parseFloat(asText(), out))
            return out;
        break;
    case Type::Empty:
    case Type::Array:
    case Type::Packet: break;
    }
    cannotConvert(type(), Type::Float);
}

const Variant::Array& Variant::array() const
{
    if (!isArray())
        cannotConvert(type(), Type::Array);
    return std::get<Array>(mValue);
}

Variant::Array& Variant::array()
{
    if (!isArray())
        cannotConvert(type(), Type::Array);
    return std::get<Array>(mValue);
}

const Variant& Variant::at(std::size_t index) const
{
    const Array& items = array();
    if (index >= items.size())
        throw VariantError("Variant array index " + std::to_string(index) + " out of bounds (0.."
                           + std::to_string(static_cast<std::int64_t>(items.size()) - 1) + ")");
    return items[index];
}

Variant& Variant::at(std::size_t index)
{
    const Variant& self = *this;
    return const_cast<Variant&>(self.at(index));
}

const std::string& Variant::packet() const
{
    if (!isPacket())
        cannotConvert(type(), Type::Packet);
    return std::get<PacketXml>(mValue).xml;
}

bool operator==(const Variant& a, const Variant& b)
{
    return a.mValue == b.mValue;
}

std::string cellText(const CellValue& cell)
{
    if (const auto* text = std::get_if<std::string>(&cell))
        return *text;
    return Variant::fromCell(cell).asText();
}

} // namespace kzt
