#include "platform/xmlcheck.h"

#include "platform/datapacket.h"
#include "platform/text.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <vector>

namespace kzt {

namespace {

constexpr bool isXmlChar(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF)
           || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

constexpr bool isNameStart(char32_t c)
{
    if (c < 0x80)
        return c == ':' || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF)
           || (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF)
           || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F)
           || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF)
           || (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD)
           || (c >= 0x10000 && c <= 0xEFFFF);
}

constexpr bool isNameChar(char32_t c)
{
    return isNameStart(c) || c == '-' || c == '.' || (c >= '0' && c <= '9') || c == 0xB7
           || (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

// The code point at `pos` of text known to be well-formed UTF-8, and its length.
inline char32_t decodeAt(std::string_view s, std::size_t pos, std::size_t& length)
{
    const auto b = [&](std::size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(s[pos + i]));
    };
    const char32_t lead = b(0);
    if (lead < 0x80) {
        length = 1;
        return lead;
    }
    if (lead < 0xE0) {
        length = 2;
        return ((lead & 0x1F) << 6) | (b(1) & 0x3F);
    }
    if (lead < 0xF0) {
        length = 3;
        return ((lead & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    }
    length = 4;
    return ((lead & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
}

// ASCII bytes that may start and continue a name; names in packets are ASCII as a rule.
constexpr std::array<bool, 128> asciiWhere(bool (*test)(char32_t))
{
    std::array<bool, 128> chars{};
    for (int c = 0; c < 128; ++c)
        chars[static_cast<std::size_t>(c)] = test(static_cast<char32_t>(c));
    return chars;
}

constexpr std::array<bool, 128> kAsciiNameStarts = asciiWhere(isNameStart);
constexpr std::array<bool, 128> kAsciiNameChars = asciiWhere(isNameChar);

// The length of the UTF-8 sequence a lead byte starts.
constexpr std::size_t sequenceLength(char lead)
{
    const auto c = static_cast<unsigned char>(lead);
    return c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
}

// Bytes a scan stops at: the control characters XML forbids, 0xEF (which starts U+FFFE
// and U+FFFF), and the markup bytes of the context.
using Stops = std::array<bool, 256>;

constexpr Stops stopsAt(std::string_view markup)
{
    Stops stops{};
    for (int b = 0; b < 0x20; ++b)
        stops[static_cast<std::size_t>(b)] = b != 0x9 && b != 0xA && b != 0xD;
    stops[0xEF] = true;
    for (const char c : markup)
        stops[static_cast<unsigned char>(c)] = true;
    return stops;
}

constexpr Stops kText = stopsAt("<&]");
constexpr Stops kAttribute = stopsAt("<&\"'");
constexpr Stops kComment = stopsAt("-");
constexpr Stops kCdata = stopsAt("]");
constexpr Stops kInstruction = stopsAt("?");

class Checker {
public:
    explicit Checker(std::string_view xml) : s(xml) {}

    // document ::= prolog element Misc*
    void run()
    {
        if (at("\xEF\xBB\xBF"))
            p = 3;
        if (at("<?xml") && p + 5 < s.size() && (isSpace(s[p + 5]) || s[p + 5] == '?'))
            declaration();
        misc();
        if (at("<!DOCTYPE"))
            fail(p, "packets have no document type declaration");
        if (atEnd())
            fail(p, "No document element found");
        if (s[p] != '<')
            fail(p, "text before the root element");
        if (at("<!"))
            fail(p, "unexpected markup before the root element");
        element();
        misc();
        if (atEnd())
            return;
        if (s[p] == '<' && p + 1 < s.size() && startsName(p + 1))
            throw PacketError("Packet has more than one root element",
                              static_cast<std::ptrdiff_t>(p + 1));
        fail(p, "text after the root element");
    }

private:
    [[noreturn]] void fail(std::size_t offset, const std::string& what) const
    {
        throw PacketError("Packet is not well-formed XML: " + what,
                          static_cast<std::ptrdiff_t>(offset));
    }

    bool atEnd() const { return p >= s.size(); }
    bool at(std::string_view text) const { return s.substr(p).starts_with(text); }
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

    bool skipSpace()
    {
        const std::size_t start = p;
        while (!atEnd() && isSpace(s[p]))
            ++p;
        return p != start;
    }

    bool startsName(std::size_t pos) const
    {
        const auto c = static_cast<unsigned char>(s[pos]);
        if (c < 0x80)
            return kAsciiNameStarts[c];
        std::size_t length = 0;
        return isNameStart(decodeAt(s, pos, length));
    }

    // Moves over characters up to the first stop of the context (or the end), refusing
    // the characters XML does not allow on the way.
    void scan(const Stops& stops)
    {
        while (p < s.size()) {
            const auto c = static_cast<unsigned char>(s[p]);
            if (!stops[c]) {
                ++p;
                continue;
            }
            if (c == 0xEF) {
                // U+FFFE and U+FFFF are no characters; any other sequence from 0xEF is.
                if (static_cast<unsigned char>(s[p + 1]) == 0xBF
                    && (static_cast<unsigned char>(s[p + 2]) & 0xFE) == 0xBE)
                    fail(p, "U+FFFE and U+FFFF are not characters XML allows");
                p += 3;
                continue;
            }
            if (c < 0x20)
                fail(p, "the control character " + hexByte(c) + " is not allowed in XML");
            return;
        }
    }

    std::string_view name(const char* what)
    {
        const std::size_t start = p;
        if (atEnd() || !startsName(p))
            fail(p, std::string("expected ") + what);
        p += sequenceLength(s[p]);
        std::size_t length = 0;
        while (!atEnd()) {
            const auto c = static_cast<unsigned char>(s[p]);
            if (c < 0x80) {
                if (!kAsciiNameChars[c])
                    break;
                ++p;
            } else if (isNameChar(decodeAt(s, p, length))) {
                p += length;
            } else {
                break;
            }
        }
        return s.substr(start, p - start);
    }

    // '&#' digits ';', '&#x' hex digits ';', or one of the five predefined entities.
    void reference()
    {
        const std::size_t start = p++;
        if (!atEnd() && s[p] == '#') {
            ++p;
            const bool hex = !atEnd() && s[p] == 'x';
            if (hex)
                ++p;
            char32_t value = 0;
            std::size_t digits = 0;
            for (; !atEnd(); ++p, ++digits) {
                const char c = s[p];
                int digit = 0;
                if (c >= '0' && c <= '9')
                    digit = c - '0';
                else if (hex && c >= 'a' && c <= 'f')
                    digit = c - 'a' + 10;
                else if (hex && c >= 'A' && c <= 'F')
                    digit = c - 'A' + 10;
                else
                    break;
                // Anything past the last code point stays past it, without overflowing.
                value = std::min<char32_t>(value * (hex ? 16 : 10) + static_cast<char32_t>(digit),
                                           0x110000);
            }
            if (digits == 0 || atEnd() || s[p] != ';')
                fail(start, "malformed character reference");
            ++p;
            if (!isXmlChar(value))
                fail(start, "character reference " + quoted(s.substr(start, p - start))
                                + " is not a character XML allows");
            return;
        }
        if (atEnd() || !startsName(p))
            fail(start, "'&' must be written as &amp;");
        const std::string_view entity = name("an entity name");
        if (atEnd() || s[p] != ';')
            fail(start, "malformed entity reference");
        ++p;
        if (entity != "lt" && entity != "gt" && entity != "amp" && entity != "apos"
            && entity != "quot")
            fail(start, "undeclared entity " + quoted(s.substr(start, p - start)));
    }

    void attributeValue()
    {
        const char quote = s[p++];
        for (;;) {
            scan(kAttribute);
            if (atEnd())
                fail(p, "the packet ends inside an attribute value");
            const char c = s[p];
            if (c == quote) {
                ++p;
                return;
            }
            if (c == '"' || c == '\'')
                ++p;
            else if (c == '<')
                fail(p, "'<' inside an attribute value");
            else
                reference();
        }
    }

    void startTag(std::vector<std::string_view>& open)
    {
        ++p;
        const std::string_view element = name("an element name");
        mAttributes.clear();
        for (;;) {
            const bool spaced = skipSpace();
            if (atEnd())
                fail(p, "the packet ends inside the tag " + quoted(element));
            if (s[p] == '>') {
                ++p;
                open.push_back(element);
                break;
            }
            if (s[p] == '/') {
                if (!at("/>"))
                    fail(p, "expected '/>'");
                p += 2;
                break;
            }
            if (!spaced)
                fail(p, "attributes must be separated by whitespace");
            const std::size_t attributeAt = p;
            const std::string_view attribute = name("an attribute name");
            skipSpace();
            if (atEnd() || s[p] != '=')
                fail(p, "expected '=' after the attribute " + quoted(attribute));
            ++p;
            skipSpace();
            if (atEnd() || (s[p] != '"' && s[p] != '\''))
                fail(p, "the value of the attribute " + quoted(attribute) + " is not quoted");
            attributeValue();
            mAttributes.emplace_back(attribute, attributeAt);
        }
        checkUniqueAttributes(element);
    }

    void checkUniqueAttributes(std::string_view element)
    {
        const auto twice = [&](std::size_t later) {
            fail(mAttributes[later].second, "the element " + quoted(element) + " has the attribute "
                                                + quoted(mAttributes[later].first) + " twice");
        };
        if (mAttributes.size() <= 16) {
            // Length and end bytes tell most names apart before their bytes are compared.
            const auto differ = [](std::string_view a, std::string_view b) {
                return a.size() != b.size() || a.front() != b.front() || a.back() != b.back()
                       || a != b;
            };
            for (std::size_t i = 1; i < mAttributes.size(); ++i)
                for (std::size_t j = 0; j < i; ++j)
                    if (!differ(mAttributes[i].first, mAttributes[j].first))
                        twice(i);
            return;
        }
        std::vector<std::pair<std::string_view, std::size_t>> sorted;
        sorted.reserve(mAttributes.size());
        for (std::size_t i = 0; i < mAttributes.size(); ++i)
            sorted.emplace_back(mAttributes[i].first, i);
        std::sort(sorted.begin(), sorted.end());
        std::size_t first = mAttributes.size();
        for (std::size_t i = 1; i < sorted.size(); ++i)
            if (sorted[i].first == sorted[i - 1].first)
                first = std::min(first, sorted[i].second);
        if (first < mAttributes.size())
            twice(first);
    }

    void endTag(std::vector<std::string_view>& open)
    {
        p += 2;
        const std::size_t nameAt = p;
        const std::string_view element = name("an element name");
        if (element != open.back())
            fail(nameAt,
                 "the end tag " + quoted(element) + " does not close " + quoted(open.back()));
        skipSpace();
        if (atEnd() || s[p] != '>')
            fail(p, "expected '>'");
        ++p;
        open.pop_back();
    }

    void comment()
    {
        const std::size_t start = p;
        p += 4;
        for (;;) {
            scan(kComment);
            if (atEnd())
                fail(start, "unterminated comment");
            if (at("--")) {
                if (!at("-->"))
                    fail(p, "'--' inside a comment");
                p += 3;
                return;
            }
            ++p;
        }
    }

    void cdata()
    {
        const std::size_t start = p;
        p += 9;
        for (;;) {
            scan(kCdata);
            if (atEnd())
                fail(start, "unterminated CDATA section");
            if (at("]]>")) {
                p += 3;
                return;
            }
            ++p;
        }
    }

    void processingInstruction()
    {
        const std::size_t start = p;
        p += 2;
        const std::string_view target = name("a processing instruction target");
        if (equalsIgnoringAsciiCase(target, "xml"))
            fail(start, "the XML declaration is not at the start of the packet");
        if (!at("?>") && !skipSpace())
            fail(p, "expected whitespace after the processing instruction target");
        for (;;) {
            scan(kInstruction);
            if (atEnd())
                fail(start, "unterminated processing instruction");
            if (at("?>")) {
                p += 2;
                return;
            }
            ++p;
        }
    }

    std::string_view quotedValue()
    {
        skipSpace();
        if (atEnd() || s[p] != '=')
            fail(p, "malformed XML declaration");
        ++p;
        skipSpace();
        if (atEnd() || (s[p] != '"' && s[p] != '\''))
            fail(p, "malformed XML declaration");
        const std::size_t end = s.find(s[p], p + 1);
        if (end == std::string_view::npos)
            fail(p, "malformed XML declaration");
        const std::string_view value = s.substr(p + 1, end - p - 1);
        p = end + 1;
        return value;
    }

    // '<?xml' version, then encoding and standalone, each optional, then '?>'.
    void declaration()
    {
        p += 5;
        if (!skipSpace() || !at("version"))
            fail(p, "the XML declaration lacks the version");
        p += 7;
        const std::string_view version = quotedValue();
        const std::size_t versionAt = p - 1 - version.size();
        if (version.size() < 3 || !version.starts_with("1.")
            || version.substr(2).find_first_not_of("0123456789") != std::string_view::npos)
            fail(versionAt, "unknown XML version " + quoted(version));
        bool spaced = skipSpace();
        if (spaced && at("encoding")) {
            p += 8;
            const std::string_view encoding = quotedValue();
            const std::size_t encodingAt = p - 1 - encoding.size();
            if (!equalsIgnoringAsciiCase(encoding, "UTF-8"))
                fail(encodingAt, "the packet declares the encoding " + quoted(encoding)
                                     + "; packets are UTF-8");
            spaced = skipSpace();
        }
        if (spaced && at("standalone")) {
            p += 10;
            const std::string_view standalone = quotedValue();
            const std::size_t standaloneAt = p - 1 - standalone.size();
            if (standalone != "yes" && standalone != "no")
                fail(standaloneAt, "standalone must be 'yes' or 'no'");
            skipSpace();
        }
        if (!at("?>"))
            fail(p, "malformed XML declaration");
        p += 2;
    }

    // Misc ::= Comment | PI | S
    void misc()
    {
        for (;;) {
            skipSpace();
            if (at("<!--"))
                comment();
            else if (at("<?"))
                processingInstruction();
            else
                return;
        }
    }

    // The root element and everything in it; nesting is kept on a stack, not in calls,
    // so no depth of nesting can exhaust the call stack.
    void element()
    {
        std::vector<std::string_view> open;
        startTag(open);
        while (!open.empty()) {
            scan(kText);
            if (atEnd())
                fail(p, "the packet ends before " + quoted(open.back()) + " is closed");
            if (s[p] == '&') {
                reference();
            } else if (s[p] == ']') {
                if (at("]]>"))
                    fail(p, "']]>' in text");
                ++p;
            } else if (at("</")) {
                endTag(open);
            } else if (at("<!--")) {
                comment();
            } else if (at("<![CDATA[")) {
                cdata();
            } else if (at("<?")) {
                processingInstruction();
            } else if (at("<!")) {
                fail(p, "markup declarations are not allowed inside an element");
            } else {
                startTag(open);
            }
        }
    }

    std::string_view s;
    std::size_t p = 0;
    std::vector<std::pair<std::string_view, std::size_t>> mAttributes;
};

} // namespace

std::string hexByte(unsigned char byte)
{
    const char* const digits = "0123456789ABCDEF";
    return std::string("0x") + digits[byte >> 4] + digits[byte & 0xF];
}

std::string quoted(std::string_view utf8)
{
    constexpr std::size_t kMax = 40;
    std::string text = utf8ToCp1252(utf8.substr(0, kMax));
    if (utf8.size() > kMax)
        text += "...";
    return "'" + text + "'";
}

void checkWellFormedXml(std::string_view xml)
{
    Checker(xml).run();
}

bool isXmlName(std::string_view utf8)
{
    if (utf8.empty() || invalidUtf8Offset(utf8) != std::string_view::npos)
        return false;
    std::size_t length = 0;
    if (!isNameStart(decodeAt(utf8, 0, length)))
        return false;
    for (std::size_t pos = length; pos < utf8.size(); pos += length) {
        if (!isNameChar(decodeAt(utf8, pos, length)))
            return false;
    }
    return true;
}

} // namespace kzt
