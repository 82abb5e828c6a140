#pragma once

// A small JSON value that keeps its keys in the order they were added, so the station's
// output reads in a fixed order and compares line for line. Text is UTF-8.

#include "platform/variant.h"

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace station {

class Json {
public:
    using Array = std::vector<Json>;
    using Object = std::vector<std::pair<std::string, Json>>;

    Json() = default;  // null
    Json(bool value) : mValue(value) {}
    Json(int value) : mValue(static_cast<std::int64_t>(value)) {}
    Json(std::int64_t value) : mValue(value) {}
    Json(double value) : mValue(value) {}
    Json(std::string utf8) : mValue(std::move(utf8)) {}
    Json(const char* utf8) : mValue(std::string(utf8)) {}
    Json(Array items) : mValue(std::move(items)) {}
    Json(Object members) : mValue(std::move(members)) {}

    static Json object() { return Json(Object{}); }
    static Json array() { return Json(Array{}); }
    Json& add(std::string key, Json value);  // objects
    Json& push(Json value);                  // arrays

    std::string dump() const;  // on one line

private:
    void write(std::string& out) const;
    std::variant<std::nullptr_t, bool, std::int64_t, double, std::string, Array, Object> mValue =
        nullptr;
};

// A Windows-1252 text as a JSON string.
Json cpText(const std::string& cp1252);
// A host variant: empty as null, texts as strings, packets as {"fields", "rows"}.
Json fromVariant(const kzt::Variant& value);

} // namespace station
