#include "platform/variant.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <charconv>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

namespace {

using kzt::Variant;
using kzt::VariantError;

enum class Conversion { Text, Boolean, Integer, Float };

const char* conversionName(Conversion c)
{
    switch (c) {
    case Conversion::Text: return "Text";
    case Conversion::Boolean: return "Boolean";
    case Conversion::Integer: return "Integer";
    case Conversion::Float: return "Float";
    }
    return "";
}

// The conversion's result shown as text, so one table holds every kind.
std::string convert(const Variant& v, Conversion c)
{
    switch (c) {
    case Conversion::Text: return v.asText();
    case Conversion::Boolean: return v.asBoolean() ? "true" : "false";
    case Conversion::Integer: return std::to_string(v.asInteger());
    case Conversion::Float: return std::to_string(v.asFloat());
    }
    return {};
}

struct ConversionCase {
    const char* name;
    Variant value;
    Conversion conversion;
    std::string expected; // the result, or the error message when `fails`
    bool fails = false;
};

class VariantConversions : public testing::TestWithParam<ConversionCase> {};

TEST_P(VariantConversions, GiveTheirResultOrANamedError)
{
    const ConversionCase& c = GetParam();
    if (!c.fails) {
        EXPECT_EQ(convert(c.value, c.conversion), c.expected);
        return;
    }
    try {
        const std::string got = convert(c.value, c.conversion);
        ADD_FAILURE() << "converted to " << got;
    } catch (const VariantError& e) {
        EXPECT_EQ(std::string(e.what()), c.expected);
    }
}

std::string failure(const char* from, Conversion to)
{
    return std::string("Could not convert variant of type (") + from + ") into type ("
           + conversionName(to) + ")";
}

const Variant kArray = Variant::arrayOf(2);
const Variant kPacket = Variant::fromPacket("<DATAPACKET/>");
constexpr auto T = Conversion::Text;
constexpr auto B = Conversion::Boolean;
constexpr auto I = Conversion::Integer;
constexpr auto F = Conversion::Float;

INSTANTIATE_TEST_SUITE_P(
    AsText, VariantConversions,
    testing::Values(
        ConversionCase{"Empty", Variant(), T, ""},
        ConversionCase{"Text", Variant("Cebola"), T, "Cebola"},
        ConversionCase{"WideText", Variant(std::u16string(u"A\u00E7\u00E3o \u20AC")), T,
                       "A\xE7\xE3o \x80"},
        ConversionCase{"WideTextWithoutForm", Variant(std::u16string(u"\u65E5")), T, "?"},
        ConversionCase{"Integer", Variant(42), T, "42"},
        ConversionCase{"Int64Min", Variant(std::numeric_limits<std::int64_t>::min()), T,
                       "-9223372036854775808"},
        ConversionCase{"Float", Variant(12.5), T, "12.5"},
        ConversionCase{"WholeFloat", Variant(15.0), T, "15"},
        ConversionCase{"NegativeFraction", Variant(-0.001), T, "-0.001"},
        ConversionCase{"TenthIsShort", Variant(0.1), T, "0.1"},
        ConversionCase{"SumShowsItsError", Variant(0.1 + 0.2), T, "0.30000000000000004"},
        ConversionCase{"LargeWhole", Variant(123456789012345.0), T, "123456789012345"},
        ConversionCase{"Huge", Variant(1e20), T, "1E20"},
        ConversionCase{"Tiny", Variant(1.5e-7), T, "1.5E-7"},
        ConversionCase{"Zero", Variant(0.0), T, "0"},
        ConversionCase{"True", Variant(true), T, "True"},
        ConversionCase{"False", Variant(false), T, "False"},
        ConversionCase{"Array", kArray, T, failure("Array", T), true},
        ConversionCase{"Packet", kPacket, T, failure("Packet", T), true}),
    [](const auto& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    AsBoolean, VariantConversions,
    testing::Values(ConversionCase{"True", Variant(true), B, "true"},
                    ConversionCase{"False", Variant(false), B, "false"},
                    ConversionCase{"Zero", Variant(0), B, "false"},
                    ConversionCase{"NonZero", Variant(-2), B, "true"},
                    ConversionCase{"FloatFraction", Variant(0.5), B, "true"},
                    ConversionCase{"FloatZero", Variant(0.0), B, "false"},
                    ConversionCase{"TextTrue", Variant("True"), B, "true"},
                    ConversionCase{"TextUpper", Variant("FALSE"), B, "false"},
                    ConversionCase{"TextMixedCase", Variant("tRuE"), B, "true"},
                    ConversionCase{"WideText", Variant(std::u16string(u"false")), B, "false"},
                    ConversionCase{"NumericText", Variant("1"), B, "true"},
                    ConversionCase{"NumericTextZero", Variant("0"), B, "false"},
                    ConversionCase{"PaddedNumber", Variant(" 2.5 "), B, "true"},
                    ConversionCase{"FlagLetter", Variant("S"), B, failure("Text", B), true},
                    ConversionCase{"EmptyText", Variant(""), B, failure("Text", B), true},
                    ConversionCase{"WideWord", Variant(std::u16string(u"sim")), B,
                                   failure("WideText", B), true},
                    ConversionCase{"Empty", Variant(), B, failure("Empty", B), true},
                    ConversionCase{"Array", kArray, B, failure("Array", B), true},
                    ConversionCase{"Packet", kPacket, B, failure("Packet", B), true}),
    [](const auto& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    AsInteger, VariantConversions,
    testing::Values(
        ConversionCase{"Integer", Variant(std::int64_t(1234567890123)), I, "1234567890123"},
        ConversionCase{"Boolean", Variant(true), I, "1"},
        ConversionCase{"WholeFloat", Variant(3.0), I, "3"},
        ConversionCase{"PaddedText", Variant("  17 "), I, "17"},
        ConversionCase{"NegativeText", Variant("-5"), I, "-5"},
        ConversionCase{"TenDigitSale", Variant("9999999999"), I, "9999999999"},
        ConversionCase{"Int64MaxText", Variant("9223372036854775807"), I, "9223372036854775807"},
        ConversionCase{"ExponentText", Variant("1e3"), I, "1000"},
        ConversionCase{"Fraction", Variant(3.5), I, failure("Float", I), true},
        ConversionCase{"TooLargeFloat", Variant(1e19), I, failure("Float", I), true},
        ConversionCase{"TrailingLetter", Variant("12a"), I, failure("Text", I), true},
        ConversionCase{"EmptyText", Variant(""), I, failure("Text", I), true},
        ConversionCase{"OverflowText", Variant("9223372036854775808"), I, failure("Text", I), true},
        ConversionCase{"Empty", Variant(), I, failure("Empty", I), true},
        ConversionCase{"Array", kArray, I, failure("Array", I), true}),
    [](const auto& row) { return std::string(row.param.name); });

INSTANTIATE_TEST_SUITE_P(
    AsFloat, VariantConversions,
    testing::Values(ConversionCase{"Text", Variant("12.5"), F, "12.500000"},
                    ConversionCase{"Integer", Variant(3), F, "3.000000"},
                    ConversionCase{"Boolean", Variant(false), F, "0.000000"},
                    ConversionCase{"CommaIsNoDecimalPoint", Variant("1,5"), F, failure("Text", F),
                                   true},
                    ConversionCase{"NotANumber", Variant("nan"), F, failure("Text", F), true},
                    ConversionCase{"Word", Variant("abc"), F, failure("Text", F), true},
                    ConversionCase{"Empty", Variant(), F, failure("Empty", F), true},
                    ConversionCase{"Packet", kPacket, F, failure("Packet", F), true}),
    [](const auto& row) { return std::string(row.param.name); });

class FloatText : public testing::TestWithParam<double> {};

TEST_P(FloatText, ReadsBackAsTheSameDouble)
{
    const std::string text = Variant(GetParam()).asText();
    double back = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), back);
    ASSERT_EQ(ec, std::errc()) << text;
    EXPECT_EQ(end, text.data() + text.size()) << text;
    EXPECT_EQ(back, GetParam()) << text;
    EXPECT_EQ(Variant(text).asFloat(), GetParam()) << text;
}

INSTANTIATE_TEST_SUITE_P(Table, FloatText,
                         testing::Values(1.0 / 3, 2.0 / 3, 0.1 + 0.2, 1e-300, 5e-324, DBL_MAX,
                                         -DBL_MAX, 1e15, 1e16, 123456.789, -7.25e-5, 0.00001,
                                         99999999999999.9));

TEST(VariantArray, CopiesDeeply)
{
    Variant outer = Variant::arrayOf(2);
    outer.at(0) = Variant(Variant::Array{Variant(1), Variant("a")});
    Variant copy = outer;
    copy.at(0).at(0) = Variant(99);
    copy.at(1) = Variant("changed");
    EXPECT_EQ(outer.at(0).at(0).asInteger(), 1);
    EXPECT_TRUE(outer.at(1).isEmpty());
    EXPECT_FALSE(outer == copy);
}

struct AccessCase {
    const char* name;
    std::function<void()> access;
    std::string message;
};

class VariantAccessErrors : public testing::TestWithParam<AccessCase> {};

TEST_P(VariantAccessErrors, NameWhatWentWrong)
{
    try {
        GetParam().access();
        ADD_FAILURE() << "no error";
    } catch (const VariantError& e) {
        EXPECT_EQ(std::string(e.what()), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, VariantAccessErrors,
    testing::Values(AccessCase{"IndexPastEnd", [] { (void)Variant::arrayOf(5).at(5); },
                               "Variant array index 5 out of bounds (0..4)"},
                    AccessCase{"IndexOfEmptyArray", [] { (void)Variant::arrayOf(0).at(0); },
                               "Variant array index 0 out of bounds (0..-1)"},
                    AccessCase{"TextIsNoArray", [] { (void)Variant("x").array(); },
                               "Could not convert variant of type (Text) into type (Array)"},
                    AccessCase{"EmptyIsNoArray",
                               [] {
                                   Variant v;
                                   v.at(0) = Variant(1);
                               },
                               "Could not convert variant of type (Empty) into type (Array)"},
                    AccessCase{"TextIsNoPacket", [] { (void)Variant("<DATAPACKET/>").packet(); },
                               "Could not convert variant of type (Text) into type (Packet)"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(VariantPacket, IsNeverTakenForText)
{
    const std::string xml = "<DATAPACKET Version=\"2.0\"/>";
    const Variant packet = Variant::fromPacket(xml);
    EXPECT_EQ(packet.type(), Variant::Type::Packet);
    EXPECT_TRUE(packet.isPacket());
    EXPECT_FALSE(packet.isText());
    EXPECT_EQ(packet.packet(), xml);
    EXPECT_FALSE(packet == Variant(xml));
}

} // namespace
