#include "json.h"

#include "platform/datapacket.h"
#include "platform/text.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace station {

Json& Json::add(std::string key, Json value)
{
    std::get<Object>(mValue).emplace_back(std::move(key), std::move(value));
    return *this;
}

Json& Json::push(Json value)
{
    std::get<Array>(mValue).push_back(std::move(value));
    return *this;
}

namespace {

void writeString(std::string& out, const std::string& text)
{
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

} // namespace

void Json::write(std::string& out) const
{
    if (std::holds_alternative<std::nullptr_t>(mValue)) {
        out += "null";
    } else if (const bool* b = std::get_if<bool>(&mValue)) {
        out += *b ? "true" : "false";
    } else if (const std::int64_t* i = std::get_if<std::int64_t>(&mValue)) {
        out += std::to_string(*i);
    } else if (const double* d = std::get_if<double>(&mValue)) {
        if (!std::isfinite(*d)) {
            out += "null";  // JSON has no infinities
        } else {
            char buffer[32];
            auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, *d);
            (void)ec;
            out.append(buffer, end);
        }
    } else if (const std::string* s = std::get_if<std::string>(&mValue)) {
        writeString(out, *s);
    } else if (const Array* a = std::get_if<Array>(&mValue)) {
        out += '[';
        for (std::size_t n = 0; n < a->size(); ++n) {
            if (n)
                out += ", ";
            (*a)[n].write(out);
        }
        out += ']';
    } else {
        const Object& o = std::get<Object>(mValue);
        out += '{';
        for (std::size_t n = 0; n < o.size(); ++n) {
            if (n)
                out += ", ";
            writeString(out, o[n].first);
            out += ": ";
            o[n].second.write(out);
        }
        out += '}';
    }
}

std::string Json::dump() const
{
    std::string out;
    write(out);
    return out;
}

Json cpText(const std::string& cp1252) { return Json(kzt::cp1252ToUtf8(cp1252)); }

namespace {

Json fromCell(const kzt::CellValue& cell)
{
    if (const auto* s = std::get_if<std::string>(&cell))
        return cpText(*s);
    if (const auto* i = std::get_if<std::int64_t>(&cell))
        return Json(*i);
    if (const auto* d = std::get_if<double>(&cell))
        return Json(*d);
    if (const auto* b = std::get_if<bool>(&cell))
        return Json(*b);
    return Json();
}

Json fromPacket(const std::string& xml)
{
    const kzt::Packet packet = kzt::parsePacket(xml);
    Json fields = Json::array();
    for (const auto& field : packet.fields) {
        fields.push(Json::object()
                        .add("name", Json(field.name))
                        .add("type", Json(kzt::packetTypeName(field.type)))
                        .add("width", Json(field.width)));
    }
    Json rows = Json::array();
    for (const auto& row : packet.rows) {
        Json r = Json::object();
        for (std::size_t n = 0; n < packet.fields.size() && n < row.size(); ++n)
            r.add(packet.fields[n].name, fromCell(row[n]));
        rows.push(std::move(r));
    }
    return Json::object().add("fields", std::move(fields)).add("rows", std::move(rows));
}

} // namespace

Json fromVariant(const kzt::Variant& value)
{
    using Type = kzt::Variant::Type;
    switch (value.type()) {
    case Type::Empty:
        return Json();
    case Type::Text:
    case Type::WideText:
        return cpText(value.asText());
    case Type::Integer:
        return Json(value.asInteger());
    case Type::Float:
        return Json(value.asFloat());
    case Type::Boolean:
        return Json(value.asBoolean());
    case Type::Array: {
        Json items = Json::array();
        for (const auto& item : value.array())
            items.push(fromVariant(item));
        return items;
    }
    case Type::Packet:
        return fromPacket(value.packet());
    }
    return Json();
}

} // namespace station
