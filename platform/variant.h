#pragma once

// A dynamically typed value, as the host boundary and the data routines use it:
// empty, 8-bit text, wide text, 64-bit integer, floating point, boolean, array of
// variants, or a data packet. A data packet is a kind of its own, never confused with
// text, holding the serialised packet (see datapacket.h).

#include "platform/datapacket.h"
#include "platform/error.h"
#include "platform/platform_global.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kzt {

class KZT_PLATFORM_API VariantError : public Error {
public:
    using Error::Error;
};

// The shortest decimal text that reads back as the same double ("12.5", "15", "0.001",
// "1E20"), as a float reads "as text".
KZT_PLATFORM_API std::string formatFloat(double value);

class KZT_PLATFORM_API Variant {
public:
    enum class Type { Empty, Text, WideText, Integer, Float, Boolean, Array, Packet };
    using Array = std::vector<Variant>;

    Variant() = default;
    Variant(std::string text);    // 8-bit Windows-1252 text
    Variant(const char* text);    // 8-bit Windows-1252 text
    Variant(std::u16string text); // wide text
    Variant(std::int64_t value);
    Variant(int value);
    Variant(double value);
    Variant(bool value);
    Variant(Array items);

    static Variant fromPacket(std::string xml);
    // A packet cell: null is empty.
    static Variant fromCell(const CellValue& cell);
    // An array of `count` empty entries, indices 0 .. count-1.
    static Variant arrayOf(std::size_t count);

    Type type() const;
    bool isEmpty() const { return type() == Type::Empty; }
    bool isText() const { return type() == Type::Text || type() == Type::WideText; }
    bool isArray() const { return type() == Type::Array; }
    bool isPacket() const { return type() == Type::Packet; }
    static const char* typeName(Type type);

    // "As text": text as is (wide text converted to Windows-1252), integer and float in
    // decimal, boolean "True"/"False", empty "". Arrays and packets do not convert.
    std::string asText() const;
    std::u16string asWideText() const;
    // "As boolean": boolean as is, numbers non-zero, text "True"/"False" (any case) or a
    // number; anything else raises VariantError.
    bool asBoolean() const;
    std::int64_t asInteger() const; // integers, whole floats, booleans, numeric text
    double asFloat() const;

    // Array access; raises VariantError when this is no array or the index is outside it.
    const Array& array() const;
    Array& array();
    const Variant& at(std::size_t index) const;
    Variant& at(std::size_t index);

    // The serialised packet; raises VariantError when this is no packet.
    const std::string& packet() const;

    friend KZT_PLATFORM_API bool operator==(const Variant& a, const Variant& b);

private:
    struct PacketXml {
        std::string xml;
        friend bool operator==(const PacketXml&, const PacketXml&) = default;
    };
    // Arrays copy deeply, as variant arrays do at the host boundary.
    std::variant<std::monostate, std::string, std::u16string, std::int64_t, double, bool, Array,
                 PacketXml>
        mValue;
};

// A packet cell "as text", as fromCell(cell).asText() reads it, without copying text twice.
KZT_PLATFORM_API std::string cellText(const CellValue& cell);

} // namespace kzt
