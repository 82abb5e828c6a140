#pragma once

// The one JSON shape of host variants, shared by the station's output and the module's C
// interface: empty as null, texts as strings, numbers and booleans as such, arrays as
// arrays, data packets as {"fields": [{"name", "type", "width"}], "rows": [{...}]}.
// Objects keep their keys in the order they were added, so lines read in a fixed order.
// Text is UTF-8 in JSON and Windows-1252 in memory.

#include "platform/platform_global.h"
#include "platform/variant.h"

#include <nlohmann/json.hpp>

#include <string>

namespace kzt {

using Json = nlohmann::ordered_json;

// A Windows-1252 text as a JSON string.
KZT_PLATFORM_API Json textJson(const std::string& cp1252);
// A host variant in the shape above. A packet that does not parse raises PacketError.
KZT_PLATFORM_API Json variantJson(const Variant& value);
// On one line, UTF-8, as `{"key": value, "list": [1, 2]}`. Bytes that are not UTF-8 (a
// name typed on a command line, say) become U+FFFD rather than failing the whole line;
// non-finite numbers print as null.
KZT_PLATFORM_API std::string jsonLine(const Json& value);

} // namespace kzt
