#include "json.h"

#include "datapacket.h"
#include "text.h"

namespace kzt {

Json textJson(const std::string& cp1252) { return Json(cp1252ToUtf8(cp1252)); }

namespace {

Json cellJson(const CellValue& cell)
{
    if (const auto* s = std::get_if<std::string>(&cell))
        return textJson(*s);
    if (const auto* i = std::get_if<std::int64_t>(&cell))
        return Json(*i);
    if (const auto* d = std::get_if<double>(&cell))
        return Json(*d);
    if (const auto* b = std::get_if<bool>(&cell))
        return Json(*b);
    return Json();
}

Json packetJson(const std::string& xml)
{
    const Packet packet = parsePacket(xml);
    Json fields = Json::array();
    for (const auto& field : packet.fields) {
        Json f = Json::object();
        f["name"] = textJson(field.name);
        f["type"] = packetTypeName(field.type);
        f["width"] = field.width;
        fields.push_back(std::move(f));
    }
    Json rows = Json::array();
    for (const auto& row : packet.rows) {
        Json r = Json::object();
        for (std::size_t n = 0; n < packet.fields.size() && n < row.size(); ++n)
            r[cp1252ToUtf8(packet.fields[n].name)] = cellJson(row[n]);
        rows.push_back(std::move(r));
    }
    Json out = Json::object();
    out["fields"] = std::move(fields);
    out["rows"] = std::move(rows);
    return out;
}

} // namespace

Json variantJson(const Variant& value)
{
    using Type = Variant::Type;
    switch (value.type()) {
    case Type::Empty:
        return Json();
    case Type::Text:
    case Type::WideText:
        return textJson(value.asText());
    case Type::Integer:
        return Json(value.asInteger());
    case Type::Float:
        return Json(value.asFloat());
    case Type::Boolean:
        return Json(value.asBoolean());
    case Type::Array: {
        Json items = Json::array();
        for (const auto& item : value.array())
            items.push_back(variantJson(item));
        return items;
    }
    case Type::Packet:
        return packetJson(value.packet());
    }
    return Json();
}

namespace {

// nlohmann writes every value; only the separators are chosen here. The station's lines
// have always read `{"key": value, ...}`, and people and scripts grep them that way.
void writeLine(const Json& value, std::string& out)
{
    if (value.is_array()) {
        out += '[';
        const char* separator = "";
        for (const Json& item : value) {
            out += separator;
            writeLine(item, out);
            separator = ", ";
        }
        out += ']';
    } else if (value.is_object()) {
        out += '{';
        const char* separator = "";
        for (const auto& [key, item] : value.items()) {
            out += separator;
            out += Json(key).dump(-1, ' ', false, Json::error_handler_t::replace);
            out += ": ";
            writeLine(item, out);
            separator = ", ";
        }
        out += '}';
    } else {
        out += value.dump(-1, ' ', false, Json::error_handler_t::replace);
    }
}

} // namespace

std::string jsonLine(const Json& value)
{
    std::string out;
    writeLine(value, out);
    return out;
}

} // namespace kzt
