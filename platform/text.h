#pragma once

// The module's text is 8-bit Windows-1252 held in std::string, one byte a character;
// wide text is UTF-16 in std::u16string; UTF-8 appears only at the edges (Qt painting,
// XML files, JSON, the terminal). These conversions are exact for all 256 code-page
// bytes: the five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// map to the C1 control characters of the same value, both ways.

#include "platform/platform_global.h"

#include <optional>
#include <string>
#include <string_view>

namespace kzt {

KZT_PLATFORM_API std::u16string cp1252ToUtf16(std::string_view text);
// A character with no Windows-1252 form becomes "?"; so does an unpaired surrogate.
KZT_PLATFORM_API std::string utf16ToCp1252(std::u16string_view text);

KZT_PLATFORM_API std::string cp1252ToUtf8(std::string_view text);
// Each maximal invalid UTF-8 sequence becomes one "?", never a crash.
KZT_PLATFORM_API std::string utf8ToCp1252(std::string_view text);

// The Windows-1252 form of UTF-8 text, or nothing when the text is not UTF-8 or holds a
// character the code page has no form for: for names and paths, where "?" would name
// something else.
KZT_PLATFORM_API std::optional<std::string> utf8ToCp1252Exact(std::string_view text);

KZT_PLATFORM_API std::string utf16ToUtf8(std::u16string_view text);
// Invalid UTF-8 becomes U+FFFD.
KZT_PLATFORM_API std::u16string utf8ToUtf16(std::string_view text);

// The byte offset of the first ill-formed UTF-8 sequence, or std::string_view::npos when
// the whole text is well-formed.
KZT_PLATFORM_API std::size_t invalidUtf8Offset(std::string_view text);

// ASCII-only upper case, as the code page's letters beyond ASCII are never compared here.
KZT_PLATFORM_API std::string upperAscii(std::string_view text);

// The whole text as a decimal integer (an optional '-', digits, nothing else), or nullopt.
KZT_PLATFORM_API std::optional<long long> wholeNumber(std::string_view text);
// Whether two texts are the same but for ASCII letter case.
KZT_PLATFORM_API bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

// A store code without its trailing blanks, which are no part of it: the store's original
// engine ignores them in comparisons, other engines do not, so "1001 " is product 1001.
KZT_PLATFORM_API std::string withoutTrailingBlanks(const std::string& code);
KZT_PLATFORM_API std::u16string withoutTrailingBlanks(const std::u16string& code);

// An input as a message quotes it: at most kQuotedLimit characters, then "…", so that
// no reply or message box echoes a whole oversized input.
inline constexpr std::size_t kQuotedLimit = 200;
KZT_PLATFORM_API std::string quotedCp1252(std::string_view cp1252);
KZT_PLATFORM_API std::string quotedUtf8(std::string_view utf8);

} // namespace kzt
