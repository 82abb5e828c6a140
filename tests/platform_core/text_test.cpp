#include "platform/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

namespace {

using kzt::cp1252ToUtf16;
using kzt::cp1252ToUtf8;
using kzt::utf16ToCp1252;
using kzt::utf16ToUtf8;
using kzt::utf8ToCp1252;
using kzt::utf8ToUtf16;

std::string allBytes()
{
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    return bytes;
}

TEST(CodePage, EveryByteSurvivesBothRoundTrips)
{
    const std::string bytes = allBytes();
    const std::u16string wide = cp1252ToUtf16(bytes);
    ASSERT_EQ(wide.size(), 256u); // one character a byte
    EXPECT_EQ(utf16ToCp1252(wide), bytes);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(bytes)), bytes);
    EXPECT_EQ(utf8ToUtf16(cp1252ToUtf8(bytes)), wide);
    EXPECT_EQ(utf16ToUtf8(wide), cp1252ToUtf8(bytes));
}

TEST(CodePage, DistinctBytesGiveDistinctCharacters)
{
    std::u16string wide = cp1252ToUtf16(allBytes());
    std::sort(wide.begin(), wide.end());
    EXPECT_EQ(std::adjacent_find(wide.begin(), wide.end()), wide.end());
}

struct ByteCase {
    unsigned char byte;
    char16_t unit;
};

class CodePageBytes : public testing::TestWithParam<ByteCase> {};

TEST_P(CodePageBytes, MapsToItsCharacter)
{
    const std::string byte(1, static_cast<char>(GetParam().byte));
    EXPECT_EQ(cp1252ToUtf16(byte), std::u16string(1, GetParam().unit));
    EXPECT_EQ(utf16ToCp1252(std::u16string(1, GetParam().unit)), byte);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CodePageBytes,
    testing::Values(ByteCase{0x00, 0x0000}, ByteCase{0x41, u'A'}, ByteCase{0x7F, 0x007F},
                    ByteCase{0x80, 0x20AC}, ByteCase{0x81, 0x0081}, ByteCase{0x8A, 0x0160},
                    ByteCase{0x8D, 0x008D}, ByteCase{0x8F, 0x008F}, ByteCase{0x90, 0x0090},
                    ByteCase{0x93, 0x201C}, ByteCase{0x96, 0x2013}, ByteCase{0x99, 0x2122},
                    ByteCase{0x9D, 0x009D}, ByteCase{0x9F, 0x0178}, ByteCase{0xA0, 0x00A0},
                    ByteCase{0xC7, 0x00C7}, ByteCase{0xE3, 0x00E3}, ByteCase{0xFF, 0x00FF}));

TEST(CodePage, PortugueseTextConvertsByteForByte)
{
    const std::string utf8 = "Observação deve ser informada. Código, Descrição, ÁÉÍÓÚ âêô ü";
    const std::string cp = utf8ToCp1252(utf8);
    EXPECT_EQ(cp, "Observa\xE7\xE3o deve ser informada. C\xF3"
                  "digo, Descri\xE7\xE3o, "
                  "\xC1\xC9\xCD\xD3\xDA \xE2\xEA\xF4 \xFC");
    EXPECT_EQ(cp1252ToUtf8(cp), utf8);
}

struct NoFormCase {
    const char* name;
    std::u16string wide;
    std::string expected;
};

class CharactersWithoutCodePageForm : public testing::TestWithParam<NoFormCase> {};

TEST_P(CharactersWithoutCodePageForm, BecomeQuestionMarks)
{
    EXPECT_EQ(utf16ToCp1252(GetParam().wide), GetParam().expected);
    EXPECT_EQ(utf8ToCp1252(utf16ToUtf8(GetParam().wide)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CharactersWithoutCodePageForm,
    testing::Values(NoFormCase{"Cjk", u"a\u65E5\u672Cb", "a??b"},
                    // U+0080 is a C1 control the code page spends on the euro sign.
                    NoFormCase{"C1WhoseByteIsTaken", u"\u0080\u009F", "??"},
                    NoFormCase{"EuroKeepsItsByte", u"\u20AC", "\x80"},
                    NoFormCase{"OutsideBmpIsOneCharacter", u"x\U0001F600y", "x?y"},
                    NoFormCase{"Cyrillic", u"\u0416", "?"},
                    NoFormCase{"ReplacementCharacter", u"\uFFFD", "?"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CodePage, UnpairedSurrogatesBecomeQuestionMarks)
{
    const std::u16string lone = {u'a', char16_t(0xD800), u'b', char16_t(0xDC00)};
    EXPECT_EQ(utf16ToCp1252(lone), "a?b?");
    EXPECT_EQ(utf16ToUtf8(lone), "a\xEF\xBF\xBD"
                                 "b\xEF\xBF\xBD");
}

struct BrokenCase {
    const char* name;
    std::string utf8;
    std::string cp1252; // each maximal ill-formed subpart becomes one '?'
    std::size_t invalidAt;
};

class BrokenUtf8 : public testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenUtf8, IsReplacedOncePerBadSequence)
{
    const BrokenCase& c = GetParam();
    EXPECT_EQ(utf8ToCp1252(c.utf8), c.cp1252);
    std::u16string expectedWide;
    const std::u16string converted = cp1252ToUtf16(c.cp1252);
    for (const char16_t unit : converted)
        expectedWide += unit == u'?' ? char16_t(0xFFFD) : unit;
    EXPECT_EQ(utf8ToUtf16(c.utf8), expectedWide);
    EXPECT_EQ(kzt::invalidUtf8Offset(c.utf8), c.invalidAt);
}

INSTANTIATE_TEST_SUITE_P(Table, BrokenUtf8,
                         testing::Values(BrokenCase{"StrayContinuation", "a\x80z", "a?z", 1},
                                         BrokenCase{"TwoStrayContinuations", "\x80\xBF", "??", 0},
                                         BrokenCase{"TruncatedAtEnd", "ab\xC3", "ab?", 2},
                                         BrokenCase{"TruncatedThreeByte", "\xE2\x82x", "?x", 0},
                                         BrokenCase{"TruncatedFourByte", "\xF0\x9F\x98", "?", 0},
                                         BrokenCase{"OverlongTwoByte", "\xC0\xAF", "??", 0},
                                         BrokenCase{"OverlongThreeByte", "\xE0\x80\xAF", "???", 0},
                                         BrokenCase{"EncodedSurrogate", "\xED\xA0\x80", "???", 0},
                                         BrokenCase{"AboveUnicode", "\xF4\x90\x80\x80", "????", 0},
                                         BrokenCase{"NeverALead", "\xFF\xFE", "??", 0},
                                         BrokenCase{"GoodAroundBad", "\xC3\xA7\x80\xC3\xA3",
                                                    "\xE7?\xE3", 2},
                                         BrokenCase{"LeadThenAscii",
                                                    "\xC3"
                                                    "A",
                                                    "?A", 0},
                                         BrokenCase{"WellFormed", "a\xC3\xA7\xE2\x82\xAC",
                                                    "a\xE7\x80", std::string::npos},
                                         BrokenCase{"ReplacementCharacterItself", "\xEF\xBF\xBD",
                                                    "?", std::string::npos}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST(CodePage, UpperAsciiLeavesAccentedLettersAlone)
{
    EXPECT_EQ(kzt::upperAscii("a\xE7z09_"), "A\xE7Z09_");
}

// A message quotes 200 characters of an input, cut between characters, never inside one.
TEST(QuotedInput, AtMostTwoHundredCharacters)
{
    const std::string a200(200, 'a');
    const std::vector<std::tuple<std::string, std::string>> utf8 = {
        {a200, a200},
        {a200 + "b", a200 + "\u2026"},
        {std::string(199, 'a') + "\u00e7\u00e7", std::string(199, 'a') + "\u00e7\u2026"},
        {"\U0001F600" + std::string(200, 'a'), "\U0001F600" + std::string(199, 'a') + "\u2026"},
    };
    for (const auto& [text, quoted] : utf8)
        EXPECT_EQ(kzt::quotedUtf8(text), quoted) << text.size();
    EXPECT_EQ(kzt::quotedCp1252(a200 + "\xE7"), a200 + "\x85");
    EXPECT_EQ(kzt::quotedCp1252(a200), a200);
}

} // namespace
