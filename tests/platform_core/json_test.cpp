// The one JSON shape of host variants (the station's lines, the C interface's replies):
// escaping, code-page text, numbers, and packets as fields and rows.

#include "platform/json.h"

#include "platform/datapacket.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using kzt::Json;
using kzt::Variant;

TEST(VariantJson, PrintsOnOneLineInTheSharedShape)
{
    kzt::Packet packet;
    packet.fields = {{"CDOCORR", kzt::FieldType::String, 2},
                     {"VRPRECO", kzt::FieldType::Float, 0},
                     {"QT", kzt::FieldType::Integer, 0},
                     {"OK", kzt::FieldType::Boolean, 0}};
    packet.rows = {{std::string("01"), 12.5, std::int64_t{3}, true},
                   {std::string(kzt::utf8ToCp1252("PÃ")), std::monostate{}, std::monostate{},
                    std::monostate{}}};
    Json ordered = Json::object();
    ordered["z"] = 1;
    ordered["a"] = Json::array();
    struct Case {
        const char* name;
        Json value;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"empty is null", kzt::variantJson(Variant()), "null"},
        {"quotes, backslash and control characters are escaped",
         kzt::textJson(std::string("a\"b\\c\nd\x01", 8)), R"("a\"b\\c\nd\u0001")"},
        {"code-page text becomes UTF-8", kzt::variantJson(Variant(kzt::utf8ToCp1252("ção"))),
         "\"ção\""},
        {"wide text", kzt::variantJson(Variant(std::u16string(u"ação"))), "\"ação\""},
        {"64-bit integer", kzt::variantJson(Variant(std::int64_t{9999999999})), "9999999999"},
        {"boolean", kzt::variantJson(Variant(false)), "false"},
        {"infinity has no JSON form",
         kzt::variantJson(Variant(std::numeric_limits<double>::infinity())), "null"},
        {"objects keep insertion order", ordered, R"({"z": 1, "a": []})"},
        {"bytes that are not UTF-8 are replaced, not fatal, in keys too",
         Json::object({{std::string("k\xff"), std::string("a\xff")}}),
         "{\"k\xEF\xBF\xBD\": \"a\xEF\xBF\xBD\"}"},
        {"array of mixed entries",
         kzt::variantJson(Variant(Variant::Array{Variant("01"), Variant()})), R"(["01", null])"},
        {"packet: fields with type and width, rows by name, nulls as null",
         kzt::variantJson(Variant::fromPacket(kzt::writePacket(packet))),
         R"({"fields": [{"name": "CDOCORR", "type": "string", "width": 2}, )"
         R"({"name": "VRPRECO", "type": "r8", "width": 0}, {"name": "QT", "type": "i8", "width": 0}, )"
         R"({"name": "OK", "type": "boolean", "width": 0}], "rows": [)"
         R"({"CDOCORR": "01", "VRPRECO": 12.5, "QT": 3, "OK": true}, )"
         R"({"CDOCORR": "PÃ", "VRPRECO": null, "QT": null, "OK": null}]})"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(kzt::jsonLine(c.value), c.expected);
    }
}

} // namespace
