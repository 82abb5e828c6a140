// The station's JSON lines: escaping, code-page text, and host variants as they print.

#include "station/app/json.h"

#include "platform/datapacket.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using station::Json;

TEST(StationJson, ValuesPrintAsJson)
{
    struct Case {
        const char* name;
        Json value;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"null", Json(), "null"},
        {"quotes, backslash and line breaks are escaped", Json("a\"b\\c\nd\te\r"),
         R"("a\"b\\c\nd\te\r")"},
        {"other control characters as \\u", Json(std::string("x\x01y\x1f", 4)), R"("x\u0001y\u001f")"},
        {"code-page text becomes UTF-8", station::cpText(kzt::utf8ToCp1252("Observação")),
         "\"Observação\""},
        {"integers and booleans", Json::array().push(Json(-3)).push(Json(true)).push(Json(false)),
         "[-3, true, false]"},
        {"doubles print shortest", Json(4.5), "4.5"},
        {"infinity has no JSON form", Json(std::numeric_limits<double>::infinity()), "null"},
        {"objects keep insertion order",
         Json::object().add("z", Json(1)).add("a", Json::array()).add("m", Json::object()),
         R"({"z": 1, "a": [], "m": {}})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.dump(), c.expected);
    }
}

TEST(StationJson, HostVariants)
{
    kzt::Packet packet;
    packet.fields = {{"CDOCORR", kzt::FieldType::String, 2},
                     {"VRPRECO", kzt::FieldType::Float, 0},
                     {"QT", kzt::FieldType::Integer, 0},
                     {"OK", kzt::FieldType::Boolean, 0}};
    packet.rows = {{std::string("01"), 12.5, std::int64_t{3}, true},
                   {std::string(kzt::utf8ToCp1252("PÃ")), std::monostate{}, std::monostate{},
                    std::monostate{}}};
    struct Case {
        const char* name;
        kzt::Variant value;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"empty", kzt::Variant(), "null"},
        {"text", kzt::Variant(kzt::utf8ToCp1252("ção")), "\"ção\""},
        {"wide text", kzt::Variant(std::u16string(u"ação")), "\"ação\""},
        {"integer", kzt::Variant(std::int64_t{9999999999}), "9999999999"},
        {"boolean", kzt::Variant(false), "false"},
        {"array of mixed entries", kzt::Variant(kzt::Variant::Array{kzt::Variant("01"), kzt::Variant()}),
         R"(["01", null])"},
        {"packet: fields with type and width, rows by name, nulls as null",
         kzt::Variant::fromPacket(kzt::writePacket(packet)),
         R"({"fields": [{"name": "CDOCORR", "type": "string", "width": 2}, )"
         R"({"name": "VRPRECO", "type": "r8", "width": 0}, {"name": "QT", "type": "i8", "width": 0}, )"
         R"({"name": "OK", "type": "boolean", "width": 0}], "rows": [)"
         R"({"CDOCORR": "01", "VRPRECO": 12.5, "QT": 3, "OK": true}, )"
         R"({"CDOCORR": "PÃ", "VRPRECO": null, "QT": null, "OK": null}]})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(station::fromVariant(c.value).dump(), c.expected);
    }
}

} // namespace
