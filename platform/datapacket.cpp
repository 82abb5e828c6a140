#include "platform/datapacket.h"

#include "platform/text.h"
#include "platform/xmlcheck.h"

#include <pugixml.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>
#include <unordered_map>

namespace kzt {

PacketError::PacketError(const std::string& what, std::ptrdiff_t offset)
    : Error(what + " (offset " + std::to_string(offset) + ")"), mOffset(offset)
{}

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

// A field name names an attribute of every row: it must be an XML name, without a colon
// (a namespace-aware parser would take what comes before it for a prefix) and not
// "xmlns" (such a parser would take the attribute for a namespace declaration).
const char* fieldNameFault(std::string_view utf8)
{
    if (!isXmlName(utf8))
        return "is not a valid XML name";
    if (utf8.find(':') != std::string_view::npos || utf8 == "xmlns")
        return "is reserved for XML namespaces";
    return nullptr;
}

// ---------------------------------------------------------------------------------------
// Reading

// Whether the NUL-terminated `name` is exactly `field`, without measuring `name` first.
bool spells(const char* name, std::string_view field)
{
    return std::strncmp(name, field.data(), field.size()) == 0 && name[field.size()] == '\0';
}

bool isText(pugi::xml_node node)
{
    return node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata;
}

class Reader {
public:
    Reader(std::string_view xml, const PacketLimits& limits) : mXml(xml), mLimits(limits) {}

    Packet read()
    {
        if (mXml.size() > mLimits.maxBytes)
            fail("Packet is " + std::to_string(mXml.size()) + " bytes long, more than the "
                     + std::to_string(mLimits.maxBytes) + " allowed",
                 static_cast<std::ptrdiff_t>(mLimits.maxBytes));
        checkEncoding();
        checkWellFormedXml(mXml);
        parseDocument();
        const pugi::xml_node root = rootElement();
        allowAttributes(root, {"Version"});
        pugi::xml_node metadata, rowdata, fields, params;
        takeChildren(root, {{"METADATA", &metadata}, {"ROWDATA", &rowdata}});
        require(metadata, "METADATA", root);
        require(rowdata, "ROWDATA", root);
        allowAttributes(metadata, {});
        takeChildren(metadata, {{"FIELDS", &fields}, {"PARAMS", &params}});
        require(fields, "FIELDS", metadata);
        allowAttributes(fields, {});
        if (params) {
            allowAttributes(params, {});
            refuseContent(params);
        }
        allowAttributes(rowdata, {});
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

    // Names and values live in the parsed copy of the input, at the same offsets.
    std::ptrdiff_t offsetOf(const char* text, pugi::xml_node owner) const
    {
        if (mBase && text >= mBase && text < mBase + mXml.size())
            return text - mBase;
        return offsetOf(owner);
    }

    std::ptrdiff_t offsetOf(pugi::xml_attribute attr, pugi::xml_node owner) const
    {
        return offsetOf(attr.value(), owner);
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

    // Well-formed XML has exactly one root element.
    pugi::xml_node rootElement()
    {
        const pugi::xml_node root = mDoc.document_element();
        if (std::strcmp(root.name(), "DATAPACKET") != 0)
            fail("Packet root element is " + quoted(root.name()) + ", not DATAPACKET",
                 offsetOf(root));
        mBase = root.name() - root.offset_debug();
        return root;
    }

    void require(pugi::xml_node child, const char* name, pugi::xml_node parent) const
    {
        if (!child)
            fail(std::string("Packet lacks ") + name + " in " + parent.name(), offsetOf(parent));
    }

    // A packet holds no text anywhere, and nothing that would be dropped unread.
    void refuseText(pugi::xml_node node, pugi::xml_node parent) const
    {
        if (isText(node))
            fail(std::string("Packet has text in ") + parent.name(), offsetOf(node));
    }

    void refuseContent(pugi::xml_node node) const
    {
        const pugi::xml_node child = node.first_child();
        if (!child)
            return;
        refuseText(child, node);
        fail("Unexpected element " + quoted(child.name()) + " in " + node.name(), offsetOf(child));
    }

    void allowAttributes(pugi::xml_node node, std::initializer_list<const char*> names) const
    {
        for (pugi::xml_attribute attr : node.attributes()) {
            bool known = false;
            for (const char* name : names)
                known = known || std::strcmp(attr.name(), name) == 0;
            if (!known)
                fail("Unexpected attribute " + quoted(attr.name()) + " in " + node.name(),
                     offsetOf(attr.name(), node));
        }
    }

    // The children of `parent`: each named element at most once, into its slot; any
    // other element is refused.
    void takeChildren(pugi::xml_node parent,
                      std::initializer_list<std::pair<const char*, pugi::xml_node*>> slots) const
    {
        for (pugi::xml_node node : parent.children()) {
            refuseText(node, parent);
            bool known = false;
            for (const auto& [name, slot] : slots) {
                if (std::strcmp(node.name(), name) != 0)
                    continue;
                if (*slot)
                    fail(std::string("Packet has a second ") + name + " in " + parent.name(),
                         offsetOf(node));
                *slot = node;
                known = true;
            }
            if (!known)
                fail("Unexpected element " + quoted(node.name()) + " in " + parent.name(),
                     offsetOf(node));
        }
    }

    void readFields(pugi::xml_node fieldsNode, std::vector<PacketField>& fields)
    {
        for (pugi::xml_node node : fieldsNode.children()) {
            refuseText(node, fieldsNode);
            if (std::strcmp(node.name(), "FIELD") != 0)
                fail("Unexpected element " + quoted(node.name()) + " in FIELDS", offsetOf(node));
            if (fields.size() == mLimits.maxFields)
                fail("Packet declares more than " + std::to_string(mLimits.maxFields) + " fields",
                     offsetOf(node));
            refuseContent(node);
            allowAttributes(node, {"attrname", "fieldtype", "WIDTH"});
            fields.push_back(readField(node));
            const std::string& name = fields.back().name;
            // Datasets find fields ignoring case, so names differing only in case collide.
            if (!mFieldIndex.emplace(upperAscii(name), fields.size() - 1).second)
                fail("Field " + quoted(cp1252ToUtf8(name)) + " is declared twice", offsetOf(node));
        }
    }

    PacketField readField(pugi::xml_node node)
    {
        PacketField field;
        const pugi::xml_attribute name = node.attribute("attrname");
        if (!name || !*name.value())
            fail("FIELD lacks attrname", offsetOf(node));
        const std::string_view utf8 = name.value();
        if (const char* fault = fieldNameFault(utf8))
            fail("Field name " + quoted(utf8) + " " + fault, offsetOf(name, node));
        // Read as "?", the name could not be written back, nor told from another.
        const std::optional<std::string> cp1252 = utf8ToCp1252Exact(utf8);
        if (!cp1252)
            fail("Field name " + quoted(utf8) + " has no Windows-1252 form", offsetOf(name, node));
        field.name = *cp1252;
        mFieldNames.push_back(utf8);

        const pugi::xml_attribute typeAttr = node.attribute("fieldtype");
        const std::string_view type = typeAttr.value();
        if (!typeAttr)
            fail("Field " + quoted(utf8) + " lacks fieldtype", offsetOf(node));
        if (type == "string") {
            field.type = FieldType::String;
            field.width = readWidth(node, utf8);
        } else if (type == "r8") {
            field.type = FieldType::Float;
        } else if (type == "i4" || type == "i8") {
            field.type = FieldType::Integer;
            field.i4 = type == "i4";
        } else if (type == "boolean") {
            field.type = FieldType::Boolean;
        } else {
            fail("Field " + quoted(utf8) + " has unknown fieldtype " + quoted(type),
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
        packet.rows.reserve(std::min(count, mLimits.maxRows));
        std::size_t rowNumber = 0;
        for (pugi::xml_node node : rowdata.children()) {
            refuseText(node, rowdata);
            if (std::strcmp(node.name(), "ROW") != 0)
                fail("Unexpected element " + quoted(node.name()) + " in ROWDATA", offsetOf(node));
            if (++rowNumber > mLimits.maxRows)
                fail("Packet holds more than " + std::to_string(mLimits.maxRows) + " rows",
                     offsetOf(node));
            refuseContent(node);
            std::vector<CellValue> row(fields.size());
            std::size_t expected = 0;
            for (pugi::xml_attribute attr : node.attributes()) {
                const std::size_t index = fieldOf(attr, node, expected, rowNumber);
                if (!std::holds_alternative<std::monostate>(row[index]))
                    fail("Row " + std::to_string(rowNumber) + " gives field " + quoted(attr.name())
                             + " twice",
                         offsetOf(attr, node));
                row[index] = readValue(attr, node, fields[index], rowNumber);
                expected = index + 1;
            }
            packet.rows.push_back(std::move(row));
        }
    }

    // Rows name their values in field order as a rule, so try the next field first. Names
    // are compared as the characters they are, never as bytes of different encodings.
    std::size_t fieldOf(pugi::xml_attribute attr, pugi::xml_node row, std::size_t expected,
                        std::size_t rowNumber) const
    {
        const char* const name = attr.name();
        if (expected < mFieldNames.size() && spells(name, mFieldNames[expected]))
            return expected;
        const std::optional<std::string> cp1252 = utf8ToCp1252Exact(name);
        const auto found = cp1252 ? mFieldIndex.find(upperAscii(*cp1252)) : mFieldIndex.end();
        if (found == mFieldIndex.end())
            fail("Row " + std::to_string(rowNumber) + " has a value for unknown field "
                     + quoted(name),
                 offsetOf(attr.name(), row));
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
            if (text.empty() || ec == std::errc::invalid_argument
                || end != text.data() + text.size())
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
    PacketLimits mLimits;
    pugi::xml_document mDoc;
    const char* mBase = nullptr;
    std::vector<std::string_view> mFieldNames; // as the packet spells them, in UTF-8
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

// Windows-1252 text as UTF-8 escaped for a double-quoted attribute value. Returns the
// first control character XML has no form for (NUL, and all below 0x20 but tab and the
// line breaks), or -1 when the whole text went out.
int appendAttributeText(std::string& out, std::string_view text)
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
        // Raw, a tab or line break would read back as a space.
        case '\t': out += "&#9;"; continue;
        case '\n': out += "&#10;"; continue;
        case '\r': out += "&#13;"; continue;
        default: break;
        }
        if (byte < 0x20)
            return byte;
        out += cp1252ToUtf8(std::string_view(&c, 1));
    }
    return -1;
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
[[noreturn]] void unwritable(const PacketField& field, std::size_t rowNumber,
                             const std::string& why)
{
    throw PacketError("Field '" + field.name + "' of row " + std::to_string(rowNumber) + " " + why,
                      0);
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
            unwritable(field, rowNumber,
                       "holds " + std::to_string(text->size()) + " characters, more than its width "
                           + std::to_string(field.width));
        if (const int control = appendAttributeText(out, *text); control >= 0)
            unwritable(field, rowNumber,
                       "holds the control character " + hexByte(static_cast<unsigned char>(control))
                           + ", which a packet cannot carry");
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

void appendFields(std::string& out, const std::vector<PacketField>& fields,
                  const std::vector<std::vector<CellValue>>& rows)
{
    if (fields.empty()) {
        out += "    <FIELDS/>\n";
        return;
    }
    out += "    <FIELDS>\n";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const PacketField& field = fields[i];
        out += "      <FIELD attrname=\"";
        if (const char* fault = fieldNameFault(cp1252ToUtf8(field.name)))
            throw PacketError("Field name '" + field.name + "' " + fault, 0);
        if (field.type == FieldType::String && field.width <= 0)
            throw PacketError("String field '" + field.name + "' has no width", 0);
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

void appendRows(std::string& out, const std::vector<PacketField>& fields,
                const std::vector<std::vector<CellValue>>& rows)
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

Packet parsePacket(std::string_view xml, const PacketLimits& limits)
{
    return Reader(xml, limits).read();
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
