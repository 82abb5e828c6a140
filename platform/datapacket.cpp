#include "datapacket.h"

#include "text.h"

#include <pugixml.hpp>

#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>
#include <unordered_map>

namespace kzt {

PacketError::PacketError(const std::string& what, std::ptrdiff_t offset)
    : Error(what + " (offset " + std::to_string(offset) + ")"), mOffset(offset)
{
}

const char* packetTypeName(FieldType type)
{
    switch (type) {
    case FieldType::String: return "string";
    case FieldType::Float: return "r8";
    case FieldType::Integer: return "i8";
    case FieldType::Boolean: return "boolean";
    }
    return "string";
}

namespace {

// A field name must be a valid XML attribute name, or its rows could not carry it.
bool isXmlName(std::string_view name)
{
    if (name.empty())
        return false;
    const auto nameChar = [](unsigned char c, bool first) {
        if (c >= 0x80 || c == '_' || c == ':' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            return true;
        return !first && ((c >= '0' && c <= '9') || c == '-' || c == '.');
    };
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (!nameChar(static_cast<unsigned char>(name[i]), i == 0))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Reading

// Names and values quoted in messages, cut short so a huge value cannot flood a message.
std::string quoted(std::string_view utf8)
{
    constexpr std::size_t kMax = 40;
    std::string text = utf8ToCp1252(utf8.substr(0, kMax));
    if (utf8.size() > kMax)
        text += "...";
    return "'" + text + "'";
}

class Reader {
public:
    explicit Reader(std::string_view xml) : mXml(xml) {}

    Packet read()
    {
        checkEncoding();
        parseDocument();
        const pugi::xml_node root = rootElement();
        const pugi::xml_node metadata = requireChild(root, "METADATA");
        const pugi::xml_node fields = requireChild(metadata, "FIELDS");
        const pugi::xml_node rowdata = requireChild(root, "ROWDATA");
        Packet packet;
        readFields(fields, packet.fields);
        readRows(rowdata, packet);
        return packet;
    }

private:
    [[noreturn]] void fail(const std::string& what, std::ptrdiff_t offset) const
    {
        throw PacketError(what, offset < 0 ? 0 : offset);
    }

    std::ptrdiff_t offsetOf(pugi::xml_node node) const { return node.offset_debug(); }

    // Attribute values live in the parsed copy of the input, at the same offsets.
    std::ptrdiff_t offsetOf(pugi::xml_attribute attr, pugi::xml_node owner) const
    {
        const char* value = attr.value();
        if (mBase && value >= mBase && value < mBase + mXml.size())
            return value - mBase;
        return offsetOf(owner);
    }

    // XML must be UTF-8 here; pugixml itself passes ill-formed bytes through.
    void checkEncoding() const
    {
        const std::size_t bad = invalidUtf8Offset(mXml);
        if (bad != std::string_view::npos)
            fail("Packet is not valid UTF-8", static_cast<std::ptrdiff_t>(bad));
    }

    void parseDocument()
    {
        const pugi::xml_parse_result result =
            mDoc.load_buffer(mXml.data(), mXml.size(), pugi::parse_default, pugi::encoding_utf8);
        if (!result)
            fail(std::string("Packet is not well-formed XML: ") + result.description(),
                 result.offset);
    }

    pugi::xml_node rootElement()
    {
        pugi::xml_node root;
        for (pugi::xml_node node : mDoc.children()) {
            if (node.type() != pugi::node_element)
                continue;
            if (root)
                fail("Packet has more than one root element", offsetOf(node));
            root = node;
        }
        if (!root)
            fail("Packet has no DATAPACKET element", 0);
        if (std::strcmp(root.name(), "DATAPACKET") != 0)
            fail("Packet root element is " + quoted(root.name()) + ", not DATAPACKET",
                 offsetOf(root));
        mBase = root.name() - root.offset_debug();
        return root;
    }

    pugi::xml_node requireChild(pugi::xml_node parent, const char* name) const
    {
        pugi::xml_node child = parent.child(name);
        if (!child)
            fail(std::string("Packet lacks ") + name + " in " + parent.name(), offsetOf(parent));
        return child;
    }

    void readFields(pugi::xml_node fieldsNode, std::vector<PacketField>& fields)
    {
        for (pugi::xml_node node : fieldsNode.children()) {
            if (node.type() != pugi::node_element)
                continue;
            if (std::strcmp(node.name(), "FIELD") != 0)
                fail("Unexpected element " + quoted(node.name()) + " in FIELDS", offsetOf(node));
            fields.push_back(readField(node));
            const std::string& name = fields.back().name;
            // Datasets find fields ignoring case, so names differing only in case collide.
            if (!mFieldIndex.emplace(upperAscii(name), fields.size() - 1).second)
                fail("Field " + quoted(name) + " is declared twice", offsetOf(node));
        }
    }

    PacketField readField(pugi::xml_node node) const
    {
        PacketField field;
        const pugi::xml_attribute name = node.attribute("attrname");
        if (!name || !*name.value())
            fail("FIELD lacks attrname", offsetOf(node));
        if (!isXmlName(name.value()))
            fail("Field name " + quoted(name.value()) + " is not a valid XML name",
                 offsetOf(name, node));
        field.name = utf8ToCp1252(name.value());

        const pugi::xml_attribute typeAttr = node.attribute("fieldtype");
        const std::string_view type = typeAttr.value();
        if (!typeAttr)
            fail("Field " + quoted(name.value()) + " lacks fieldtype", offsetOf(node));
        if (type == "string") {
            field.type = FieldType::String;
            field.width = readWidth(node, name.value());
        } else if (type == "r8") {
            field.type = FieldType::Float;
        } else if (type == "i4" || type == "i8") {
            field.type = FieldType::Integer;
            field.i4 = type == "i4";
        } else if (type == "boolean") {
            field.type = FieldType::Boolean;
        } else {
            fail("Field " + quoted(name.value()) + " has unknown fieldtype " + quoted(type),
                 offsetOf(typeAttr, node));
        }
        return field;
    }

    int readWidth(pugi::xml_node node, std::string_view fieldName) const
    {
        const pugi::xml_attribute attr = node.attribute("WIDTH");
        if (!attr)
            fail("String field " + quoted(fieldName) + " lacks WIDTH", offsetOf(node));
        const std::string_view text = attr.value();
        int width = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), width);
        if (ec != std::errc() || end != text.data() + text.size() || width <= 0)
            fail("String field " + quoted(fieldName) + " has invalid WIDTH " + quoted(text),
                 offsetOf(attr, node));
        return width;
    }

    void readRows(pugi::xml_node rowdata, Packet& packet)
    {
        const std::vector<PacketField>& fields = packet.fields;
        std::size_t count = 0;
        for (pugi::xml_node node = rowdata.first_child(); node; node = node.next_sibling())
            ++count;
        packet.rows.reserve(count);
        std::size_t rowNumber = 0;
        for (pugi::xml_node node : rowdata.children()) {
            if (node.type() != pugi::node_element)
                continue;
            if (std::strcmp(node.name(), "ROW") != 0)
                fail("Unexpected element " + quoted(node.name()) + " in ROWDATA", offsetOf(node));
            ++rowNumber;
            std::vector<CellValue> row(fields.size());
            std::size_t expected = 0;
            for (pugi::xml_attribute attr : node.attributes()) {
                const std::size_t index = fieldOf(attr, node, fields, expected, rowNumber);
                if (!std::holds_alternative<std::monostate>(row[index]))
                    fail("Row " + std::to_string(rowNumber) + " gives field "
                             + quoted(attr.name()) + " twice",
                         offsetOf(attr, node));
                row[index] = readValue(attr, node, fields[index], rowNumber);
                expected = index + 1;
            }
            packet.rows.push_back(std::move(row));
        }
    }

    // Rows name their values in field order as a rule, so try the next field first.
    std::size_t fieldOf(pugi::xml_attribute attr, pugi::xml_node row,
                        const std::vector<PacketField>& fields, std::size_t expected,
                        std::size_t rowNumber) const
    {
        const char* name = attr.name();
        if (expected < fields.size() && std::strcmp(fields[expected].name.c_str(), name) == 0)
            return expected;
        const auto found = mFieldIndex.find(upperAscii(utf8ToCp1252(name)));
        if (found == mFieldIndex.end())
            fail("Row " + std::to_string(rowNumber) + " has a value for unknown field "
                     + quoted(name),
                 offsetOf(attr, row));
        return found->second;
    }

    CellValue readValue(pugi::xml_attribute attr, pugi::xml_node row, const PacketField& field,
                        std::size_t rowNumber) const
    {
        const std::string_view text = attr.value();
        const auto bad = [&](const std::string& why) {
            fail("Field " + quoted(attr.name()) + " of row " + std::to_string(rowNumber) + ": "
                     + quoted(text) + " " + why,
                 offsetOf(attr, row));
        };
        switch (field.type) {
        case FieldType::String: {
            std::string value = utf8ToCp1252(text);
            if (value.size() > static_cast<std::size_t>(field.width))
                bad("is longer than the field's width " + std::to_string(field.width));
            return value;
        }
        case FieldType::Float: {
            double value = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
            if (text.empty() || ec != std::errc() || end != text.data() + text.size()
                || !std::isfinite(value))
                bad("is not a number");
            return value;
        }
        case FieldType::Integer: {
            std::int64_t value = 0;
            const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
            if (text.empty() || ec == std::errc::invalid_argument || end != text.data() + text.size())
                bad("is not an integer");
            if (ec == std::errc::result_out_of_range
                || (field.i4 && (value < INT32_MIN || value > INT32_MAX)))
                bad(std::string("is out of range for ") + (field.i4 ? "i4" : "i8"));
            return value;
        }
        case FieldType::Boolean:
            if (text == "TRUE")
                return true;
            if (text == "FALSE")
                return false;
            bad("is not TRUE or FALSE");
        }
        return {};
    }

    std::string_view mXml;
    pugi::xml_document mDoc;
    const char* mBase = nullptr;
    std::unordered_map<std::string, std::size_t> mFieldIndex;
};

// ---------------------------------------------------------------------------------------
// Writing

// Bytes that go into a double-quoted attribute value as they are.
constexpr std::array<bool, 256> kPlainBytes = [] {
    std::array<bool, 256> plain{};
    for (int b = 0x20; b < 0x80; ++b)
        plain[static_cast<std::size_t>(b)] = b != '&' && b != '<' && b != '>' && b != '"';
    return plain;
}();

// Windows-1252 text as UTF-8 escaped for a double-quoted attribute value; false when the
// text holds a NUL, which XML has no form for.
bool appendAttributeText(std::string& out, std::string_view text)
{
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const char* run = p;
        while (p < end && kPlainBytes[static_cast<unsigned char>(*p)])
            ++p;
        out.append(run, static_cast<std::size_t>(p - run));
        if (p == end)
            break;
        const char c = *p++;
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
        case '&': out += "&amp;"; continue;
        case '<': out += "&lt;"; continue;
        case '>': out += "&gt;"; continue;
        case '"': out += "&quot;"; continue;
        default: break;
        }
        if (byte == 0)
            return false;
        if (byte < 0x20) {
            // Raw tabs and line breaks would read back as spaces.
            out += "&#";
            out += std::to_string(byte);
            out += ';';
        } else {
            out += cp1252ToUtf8(std::string_view(&c, 1));
        }
    }
    return true;
}

bool fitsI4(const std::vector<std::vector<CellValue>>& rows, std::size_t column)
{
    for (const auto& row : rows) {
        if (column >= row.size())
            continue;
        if (const auto* value = std::get_if<std::int64_t>(&row[column])) {
            if (*value < INT32_MIN || *value > INT32_MAX)
                return false;
        }
    }
    return true;
}

void appendNumber(std::string& out, std::int64_t value)
{
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

void appendNumber(std::string& out, double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

// A value the reader would refuse is refused here, where its source can still be named.
[[noreturn]] void unwritable(const PacketField& field, std::size_t rowNumber, const std::string& why)
{
    throw PacketError("Field '" + field.name + "' of row " + std::to_string(rowNumber) + " " + why, 0);
}

void appendCell(std::string& out, const PacketField& field, const std::string& prefix,
                const CellValue& cell, std::size_t rowNumber)
{
    if (std::holds_alternative<std::monostate>(cell))
        return;
    out += prefix;
    if (const auto* text = std::get_if<std::string>(&cell)) {
        if (field.type == FieldType::String && field.width > 0
            && text->size() > static_cast<std::size_t>(field.width))
            unwritable(field, rowNumber, "holds " + std::to_string(text->size())
                                             + " characters, more than its width "
                                             + std::to_string(field.width));
        if (!appendAttributeText(out, *text))
            unwritable(field, rowNumber, "holds a NUL character, which a packet cannot carry");
    } else if (const auto* integer = std::get_if<std::int64_t>(&cell)) {
        appendNumber(out, *integer);
    } else if (const auto* real = std::get_if<double>(&cell)) {
        if (!std::isfinite(*real))
            unwritable(field, rowNumber, "holds a value that is not a finite number");
        appendNumber(out, *real);
    } else {
        out += std::get<bool>(cell) ? "TRUE" : "FALSE";
    }
    out += '"';
}

void appendFields(std::string& out, const std::vector<PacketField>& fields, const std::vector<std::vector<CellValue>>& rows)
{
    if (fields.empty()) {
        out += "    <FIELDS/>\n";
        return;
    }
    out += "    <FIELDS>\n";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const PacketField& field = fields[i];
        out += "      <FIELD attrname=\"";
        if (!isXmlName(cp1252ToUtf8(field.name)))
            throw PacketError("Field name '" + field.name + "' is not a valid XML name", 0);
        appendAttributeText(out, field.name);
        out += "\" fieldtype=\"";
        if (field.type == FieldType::Integer && field.i4 && fitsI4(rows, i))
            out += "i4";
        else
            out += packetTypeName(field.type);
        out += '"';
        if (field.type == FieldType::String)
            out += " WIDTH=\"" + std::to_string(field.width) + '"';
        out += "/>\n";
    }
    out += "    </FIELDS>\n";
}

void appendRows(std::string& out, const std::vector<PacketField>& fields, const std::vector<std::vector<CellValue>>& rows)
{
    if (rows.empty()) {
        out += "  <ROWDATA/>\n";
        return;
    }
    out += "  <ROWDATA>\n";
    // ' NAME="' once per field rather than once per cell.
    std::vector<std::string> prefixes;
    for (const PacketField& field : fields) {
        std::string prefix = " ";
        appendAttributeText(prefix, field.name);
        prefixes.push_back(prefix + "=\"");
    }
    std::size_t rowNumber = 0;
    for (const auto& row : rows) {
        ++rowNumber;
        out += "    <ROW";
        const std::size_t cells = std::min(row.size(), fields.size());
        for (std::size_t i = 0; i < cells; ++i)
            appendCell(out, fields[i], prefixes[i], row[i], rowNumber);
        out += "/>\n";
    }
    out += "  </ROWDATA>\n";
}

} // namespace

Packet parsePacket(std::string_view xml)
{
    return Reader(xml).read();
}

std::string writePacket(const Packet& packet)
{
    return writePacket(packet.fields, packet.rows);
}

std::string writePacket(const std::vector<PacketField>& fields,
                        const std::vector<std::vector<CellValue>>& rows)
{
    std::string out;
    out.reserve(256 + fields.size() * 64 + rows.size() * (16 + fields.size() * 24));
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
    out += "<DATAPACKET Version=\"2.0\">\n";
    out += "  <METADATA>\n";
    appendFields(out, fields, rows);
    out += "    <PARAMS/>\n";
    out += "  </METADATA>\n";
    appendRows(out, fields, rows);
    out += "</DATAPACKET>\n";
    return out;
}

} // namespace kzt
