#pragma once

// The data packet: the serialised form of a whole dataset (field names, types, widths,
// every row). One XML format serves every packet and every saved dataset file:
//
//   <DATAPACKET Version="2.0"><METADATA><FIELDS>
//     <FIELD attrname="CDOCORR" fieldtype="string" WIDTH="2"/> ...
//   </FIELDS><PARAMS/></METADATA><ROWDATA><ROW CDOCORR="01"/> ...</ROWDATA></DATAPACKET>
//
// fieldtype is string (with WIDTH), r8, i4, i8 or boolean (TRUE/FALSE). A missing
// attribute in a ROW is a null. Text is UTF-8 in the XML and Windows-1252 in memory; a
// field name must have a Windows-1252 form, a value's character without one reads "?".

#include "platform/error.h"
#include "platform/platform_global.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kzt {

enum class FieldType { String, Float, Integer, Boolean };

// The packet's name for a field type ("string", "r8", "i8", "boolean"); integers are
// written as "i4" only for a PacketField marked i4.
KZT_PLATFORM_API const char* packetTypeName(FieldType type);

// One cell: null, Windows-1252 text, integer, floating point or boolean.
using CellValue = std::variant<std::monostate, std::string, std::int64_t, double, bool>;

struct PacketField {
    std::string name;
    FieldType type = FieldType::String;
    int width = 0; // strings only: the maximum characters
    // An integer field that came as i4 is written back as i4 (as i8 when a value has since
    // outgrown 32 bits, so nothing is lost).
    bool i4 = false;
    friend bool operator==(const PacketField&, const PacketField&) = default;
};

struct Packet {
    std::vector<PacketField> fields;
    std::vector<std::vector<CellValue>> rows; // each row has fields.size() cells
    friend bool operator==(const Packet&, const Packet&) = default;
};

// A packet that is not well-formed, lacks METADATA/FIELDS/ROWDATA, names an unknown
// field type or holds a value that does not fit its type. offset() is the byte offset
// in the document where the problem was found (0 when it has no place).
class KZT_PLATFORM_API PacketError : public Error {
public:
    PacketError(const std::string& what, std::ptrdiff_t offset);
    std::ptrdiff_t offset() const { return mOffset; }

private:
    std::ptrdiff_t mOffset;
};

// Bounds for a packet from a file a till cannot vouch for: a packet beyond one is refused
// before it can ask for more memory than its kind ever needs.
struct PacketLimits {
    std::size_t maxBytes = SIZE_MAX;
    std::size_t maxFields = SIZE_MAX;
    std::size_t maxRows = SIZE_MAX;
};

// Parses a whole packet; nothing is returned partly loaded. Refused with the offset of
// the fault: anything XML 1.0 forbids, a document type declaration, an encoding other
// than UTF-8, and any element, attribute or text the format does not have.
KZT_PLATFORM_API Packet parsePacket(std::string_view xml, const PacketLimits& limits = {});
KZT_PLATFORM_API std::string writePacket(const Packet& packet);
// The same, from fields and rows held elsewhere (a dataset writes its own rows uncopied).
KZT_PLATFORM_API std::string writePacket(const std::vector<PacketField>& fields,
                                         const std::vector<std::vector<CellValue>>& rows);

} // namespace kzt
