#include "platform/json.h"

#include "platform/datapacket.h"
#include "platform/text.h"

namespace kzt {

Json textJson(const std::string& cp1252)
{
    return Json(cp1252ToUtf8(cp1252));
}

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
    std::vector<std::string> names;
    names.reserve(packet.fields.size());
    for (const auto& field : packet.fields)
        names.push_back(cp1252ToUtf8(field.name));
    Json rows = Json::array();
    rows.get_ref<Json::array_t&>().reserve(packet.rows.size());
    for (const auto& row : packet.rows) {
        Json r = Json::object();
        auto& members = r.get_ref<Json::object_t&>();
        for (std::size_t n = 0; n < names.size() && n < row.size(); ++n)
            members.emplace_back(names[n], cellJson(row[n])); // names are unique
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
    case Type::Empty: return Json();
    case Type::Text:
    case Type::WideText: return textJson(value.asText());
    case Type::Integer: return Json(value.asInteger());
    case Type::Float: return Json(value.asFloat());
    case Type::Boolean: return Json(value.asBoolean());
    case Type::Array: {
        Json items = Json::array();
        for (const auto& item : value.array())
            items.push_back(variantJson(item));
        return items;
    }
    case Type::Packet: return packetJson(value.packet());
    }
    return Json();
}

std::string jsonLine(const Json& value)
{
    // nlohmann writes the line; only a blank goes after each separator outside strings.
    // The station's lines have always read `{"key": value, ...}`, and people and scripts
    // grep them that way.
    const std::string compact = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::string out;
    out.reserve(compact.size() + compact.size() / 4);
    std::size_t copied = 0;
    bool inString = false;
    for (std::size_t i = 0; i < compact.size(); ++i) {
        const char c = compact[i];
        if (inString) {
            if (c == '\\')
                ++i; // the escaped character cannot end the string
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == ',' || c == ':') {
            out.append(compact, copied, i + 1 - copied);
            out += ' ';
            copied = i + 1;
        }
    }
    out.append(compact, copied, std::string::npos);
    return out;
}

} // namespace kzt
