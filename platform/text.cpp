#include "platform/text.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace kzt {

namespace {

// Bytes 0x80..0x9F; the rest of the code page equals its Unicode code point. The five
// bytes the code page leaves undefined keep the C1 control of the same value.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char32_t kReplacement = 0xFFFD;

char16_t byteToUnit(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return kHighControls[byte - 0x80];
    return byte;
}

// The code page byte for a code point, or '?' when it has none.
char codePointToByte(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

// Decodes one code point at `pos`, advancing past it. An ill-formed sequence yields
// kReplacement and advances past its maximal subpart (the longest prefix that could
// still have begun a well-formed sequence), so one bad sequence costs one replacement.
char32_t decodeUtf8(std::string_view text, std::size_t& pos)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos++);
    if (lead < 0x80)
        return lead;

    int need = 0;
    char32_t cp = 0;
    unsigned char lo = 0x80, hi = 0xBF; // the range allowed for the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        cp = lead & 0x0F;
        if (lead == 0xE0)
            lo = 0xA0; // no overlong forms
        else if (lead == 0xED)
            hi = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        cp = lead & 0x07;
        if (lead == 0xF0)
            lo = 0x90;
        else if (lead == 0xF4)
            hi = 0x8F; // nothing above U+10FFFF
    } else {
        return kReplacement; // a continuation byte or a byte that never starts a sequence
    }

    for (int i = 0; i < need; ++i) {
        if (pos >= text.size())
            return kReplacement;
        const unsigned char next = byte(pos);
        const unsigned char min = i == 0 ? lo : 0x80;
        const unsigned char max = i == 0 ? hi : 0xBF;
        if (next < min || next > max)
            return kReplacement;
        cp = (cp << 6) | (next & 0x3F);
        ++pos;
    }
    return cp;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// The length of the leading ASCII run, eight bytes at a time: packets are mostly ASCII.
std::size_t asciiPrefix(std::string_view text)
{
    std::size_t pos = 0;
    while (pos + 8 <= text.size()) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + pos, 8);
        if (word & 0x8080808080808080ull)
            break;
        pos += 8;
    }
    while (pos < text.size() && static_cast<unsigned char>(text[pos]) < 0x80)
        ++pos;
    return pos;
}

bool isHighSurrogate(char32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Decodes one code point of UTF-16 at `pos`; an unpaired surrogate yields kReplacement.
char32_t decodeUtf16(std::u16string_view text, std::size_t& pos)
{
    const char32_t unit = text[pos++];
    if (isHighSurrogate(unit) && pos < text.size() && isLowSurrogate(text[pos])) {
        const char32_t low = text[pos++];
        return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    if (isHighSurrogate(unit) || isLowSurrogate(unit))
        return kReplacement;
    return unit;
}

} // namespace

std::u16string cp1252ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (const char c : text)
        out += byteToUnit(static_cast<unsigned char>(c));
    return out;
}

std::string utf16ToCp1252(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();)
        out += codePointToByte(decodeUtf16(text, pos));
    return out;
}

std::string cp1252ToUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            out += c;
        else
            appendUtf8(out, byteToUnit(byte));
    }
    return out;
}

std::string utf8ToCp1252(std::string_view text)
{
    std::size_t pos = asciiPrefix(text);
    if (pos == text.size())
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    out.append(text.data(), pos);
    while (pos < text.size()) {
        out += codePointToByte(decodeUtf8(text, pos));
        const std::size_t run = asciiPrefix(text.substr(pos));
        out.append(text.data() + pos, run);
        pos += run;
    }
    return out;
}

std::optional<std::string> utf8ToCp1252Exact(std::string_view text)
{
    if (invalidUtf8Offset(text) != std::string_view::npos)
        return std::nullopt;
    std::string out = utf8ToCp1252(text);
    if (cp1252ToUtf8(out) != text)
        return std::nullopt;
    return out;
}

std::string utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();)
        appendUtf8(out, decodeUtf16(text, pos));
    return out;
}

std::u16string utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const char32_t cp = decodeUtf8(text, pos);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

std::size_t invalidUtf8Offset(std::string_view text)
{
    for (std::size_t pos = 0; pos < text.size();) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            pos += asciiPrefix(text.substr(pos));
            continue;
        }
        const std::size_t start = pos;
        if (decodeUtf8(text, pos) == kReplacement) {
            // U+FFFD written out in the text is fine; only a failed decode is not.
            if (pos - start != 3 || text.substr(start, 3) != "\xEF\xBF\xBD")
                return start;
        }
    }
    return std::string_view::npos;
}

std::string upperAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::optional<long long> wholeNumber(std::string_view text)
{
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

std::string withoutTrailingBlanks(const std::string& code)
{
    return code.substr(0, code.find_last_not_of(' ') + 1);
}

std::u16string withoutTrailingBlanks(const std::u16string& code)
{
    return code.substr(0, code.find_last_not_of(u' ') + 1);
}

std::string quotedCp1252(std::string_view cp1252)
{
    if (cp1252.size() <= kQuotedLimit)
        return std::string(cp1252);
    return std::string(cp1252.substr(0, kQuotedLimit)) + "\x85";
}

std::string quotedUtf8(std::string_view utf8)
{
    std::size_t characters = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        // A character starts at every byte that is not a continuation byte.
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80 && characters++ == kQuotedLimit)
            return std::string(utf8.substr(0, i)) + "\xE2\x80\xA6";
    }
    return std::string(utf8);
}

} // namespace kzt
