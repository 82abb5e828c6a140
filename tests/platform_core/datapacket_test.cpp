#include "platform/datapacket.h"

#include <QByteArray>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace {

using kzt::CellValue;
using kzt::FieldType;
using kzt::Packet;
using kzt::PacketError;
using kzt::PacketField;

const std::string kGolden = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<DATAPACKET Version="2.0">
  <METADATA>
    <FIELDS>
      <FIELD attrname="CDOCORR" fieldtype="string" WIDTH="2"/>
      <FIELD attrname="VRPRECO" fieldtype="r8"/>
      <FIELD attrname="QTITENS" fieldtype="i4"/>
      <FIELD attrname="SISTEMAQTRSAT" fieldtype="boolean"/>
    </FIELDS>
    <PARAMS/>
  </METADATA>
  <ROWDATA>
    <ROW CDOCORR="01" VRPRECO="12.5" QTITENS="3" SISTEMAQTRSAT="FALSE"/>
    <ROW CDOCORR="02"/>
  </ROWDATA>
</DATAPACKET>
)";

PacketField field(const char* name, FieldType type, int width = 0, bool i4 = false)
{
    PacketField f;
    f.name = name;
    f.type = type;
    f.width = width;
    f.i4 = i4;
    return f;
}

TEST(DataPacket, GoldenPacketReadsAsItsFieldsAndRows)
{
    const Packet packet = kzt::parsePacket(kGolden);
    ASSERT_EQ(packet.fields.size(), 4u);
    EXPECT_EQ(packet.fields[0], field("CDOCORR", FieldType::String, 2));
    EXPECT_EQ(packet.fields[1], field("VRPRECO", FieldType::Float));
    EXPECT_EQ(packet.fields[2], field("QTITENS", FieldType::Integer, 0, true));
    EXPECT_EQ(packet.fields[3], field("SISTEMAQTRSAT", FieldType::Boolean));
    ASSERT_EQ(packet.rows.size(), 2u);
    EXPECT_EQ(packet.rows[0],
              (std::vector<CellValue>{std::string("01"), 12.5, std::int64_t(3), false}));
    EXPECT_EQ(packet.rows[1], (std::vector<CellValue>{std::string("02"), {}, {}, {}}));
}

TEST(DataPacket, GoldenPacketWritesBackByteForByte)
{
    EXPECT_EQ(kzt::writePacket(kzt::parsePacket(kGolden)), kGolden);
}

TEST(DataPacket, EmptyPacketHasTheFixedShape)
{
    Packet packet;
    packet.fields.push_back(field("CDOCORR", FieldType::String, 2));
    EXPECT_EQ(kzt::writePacket(packet), R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<DATAPACKET Version="2.0">
  <METADATA>
    <FIELDS>
      <FIELD attrname="CDOCORR" fieldtype="string" WIDTH="2"/>
    </FIELDS>
    <PARAMS/>
  </METADATA>
  <ROWDATA/>
</DATAPACKET>
)");
}

struct RoundTripCase {
    const char* name;
    Packet packet;
};

class PacketRoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(PacketRoundTrip, ReadsBackEqual)
{
    const std::string xml = kzt::writePacket(GetParam().packet);
    EXPECT_EQ(kzt::parsePacket(xml), GetParam().packet) << xml;
    EXPECT_EQ(kzt::writePacket(kzt::parsePacket(xml)), xml);
    // Any standard parser takes what the writer writes, not only ours.
    QXmlStreamReader standard(QByteArray::fromStdString(xml));
    while (!standard.atEnd())
        standard.readNext();
    EXPECT_FALSE(standard.hasError()) << standard.errorString().toStdString() << '\n' << xml;
}

Packet textPacket(std::vector<std::string> values, int width = 40)
{
    Packet p;
    p.fields.push_back(field("DSOCORR", FieldType::String, width));
    for (auto& v : values)
        p.rows.push_back({std::move(v)});
    return p;
}

Packet numberPacket()
{
    Packet p;
    p.fields = {field("VR", FieldType::Float), field("N8", FieldType::Integer),
                field("N4", FieldType::Integer, 0, true), field("B", FieldType::Boolean)};
    using L = std::numeric_limits<std::int64_t>;
    p.rows.push_back({0.1 + 0.2, L::max(), std::int64_t(2147483647), true});
    p.rows.push_back({-1e300, L::min(), std::int64_t(-2147483648LL), false});
    p.rows.push_back({5e-324, std::int64_t(0), {}, {}});
    p.rows.push_back({{}, {}, {}, {}});
    return p;
}

INSTANTIATE_TEST_SUITE_P(
    Table, PacketRoundTrip,
    testing::Values(RoundTripCase{"MarkupCharacters", textPacket({"a & b < c > d \"e\" 'f'"})},
                    RoundTripCase{"TabsAndLineBreaks", textPacket({"linha 1\r\nlinha 2\tfim"})},
                    RoundTripCase{"Accented", textPacket({"Observa\xE7\xE3o \x80 5,00 \x93x\x94"})},
                    RoundTripCase{"UndefinedCodePageBytes", textPacket({"\x81\x8D\x8F\x90\x9D"})},
                    RoundTripCase{"EmptyTextIsNotNull", textPacket({"", "x"})},
                    RoundTripCase{"ExactlyTheWidth", textPacket({"\xE7\xE3"}, 2)},
                    RoundTripCase{"Numbers", numberPacket()},
                    RoundTripCase{"NoRows", textPacket({})}, RoundTripCase{"NoFields", Packet{}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(DataPacket, AnI4ColumnThatOutgrewItIsWrittenAsI8)
{
    Packet packet;
    packet.fields.push_back(field("QT", FieldType::Integer, 0, true));
    packet.rows.push_back({std::int64_t(1) << 40});
    const std::string xml = kzt::writePacket(packet);
    EXPECT_NE(xml.find("fieldtype=\"i8\""), std::string::npos) << xml;
    EXPECT_EQ(std::get<std::int64_t>(kzt::parsePacket(xml).rows[0][0]), std::int64_t(1) << 40);
}

struct UnwritableCase {
    const char* name;
    Packet packet;
    std::string message;
};

class UnwritablePackets : public testing::TestWithParam<UnwritableCase> {};

// Writing what no reader would take back is refused where the bad value is known.
TEST_P(UnwritablePackets, AreRefusedRatherThanWrittenBroken)
{
    try {
        const std::string xml = kzt::writePacket(GetParam().packet);
        ADD_FAILURE() << xml;
    } catch (const PacketError& e) {
        EXPECT_EQ(std::string(e.what()), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnwritablePackets,
    testing::Values(
        UnwritableCase{"Nul", textPacket({"ok", std::string("ab\0cd", 5)}),
                       "Field 'DSOCORR' of row 2 holds the control character 0x00, which a packet "
                       "cannot carry (offset 0)"},
        UnwritableCase{"ControlCharacter", textPacket({"ok", "bip\x07"}),
                       "Field 'DSOCORR' of row 2 holds the control character 0x07, which a packet "
                       "cannot carry (offset 0)"},
        UnwritableCase{
            "LongerThanWidth", textPacket({"01", "123"}, 2),
            "Field 'DSOCORR' of row 2 holds 3 characters, more than its width 2 (offset 0)"},
        UnwritableCase{"NotANumber",
                       Packet{{field("VR", FieldType::Float)}, {{1.5}, {std::nan("")}}},
                       "Field 'VR' of row 2 holds a value that is not a finite number (offset 0)"},
        UnwritableCase{"NameWithBlank", Packet{{field("VR PRECO", FieldType::Float)}, {}},
                       "Field name 'VR PRECO' is not a valid XML name (offset 0)"},
        UnwritableCase{"NameWithOrdinalSign", Packet{{field("N\xBA", FieldType::Float)}, {}},
                       "Field name 'N\xBA' is not a valid XML name (offset 0)"},
        UnwritableCase{"NameWithPrefix", Packet{{field("loja:CD", FieldType::Float)}, {}},
                       "Field name 'loja:CD' is reserved for XML namespaces (offset 0)"}),
    [](const auto& row) { return std::string(row.param.name); });

const std::string kNotXml = "Packet is not well-formed XML: ";

std::string packetWith(const std::string& fields, const std::string& rows)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<DATAPACKET "
           "Version=\"2.0\"><METADATA><FIELDS>"
           + fields + "</FIELDS><PARAMS/></METADATA><ROWDATA>" + rows + "</ROWDATA></DATAPACKET>";
}

const std::string kCode = "<FIELD attrname=\"CDOCORR\" fieldtype=\"string\" WIDTH=\"2\"/>";

// `xml` with `text` put in before the first `before`.
std::string inserted(std::string xml, const std::string& before, const std::string& text)
{
    return xml.insert(xml.find(before), text);
}

std::string replaced(std::string xml, const std::string& from, const std::string& to)
{
    return xml.replace(xml.find(from), from.size(), to);
}

std::string oneField(const char* type, const std::string& value)
{
    return packetWith(std::string("<FIELD attrname=\"X\" fieldtype=\"") + type + "\"/>",
                      "<ROW X=\"" + value + "\"/>");
}

struct MalformedCase {
    const char* name;
    std::string xml;
    std::string message; // without the offset
    std::string at;      // the text the offset points at (empty: offset 0)
    int fromEnd = -1;    // when set, the offset is this many bytes before the input's end
    kzt::PacketLimits limits = {};
};

class MalformedPackets : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedPackets, AreRejectedSayingWhatAndWhere)
{
    const MalformedCase& c = GetParam();
    const std::size_t expectedOffset = c.fromEnd >= 0
                                           ? c.xml.size() - static_cast<std::size_t>(c.fromEnd)
                                       : c.at.empty() ? 0
                                                      : c.xml.find(c.at);
    ASSERT_NE(expectedOffset, std::string::npos) << "bad test: " << c.at;
    try {
        const Packet p = kzt::parsePacket(c.xml, c.limits);
        ADD_FAILURE() << "parsed " << p.rows.size() << " rows";
    } catch (const PacketError& e) {
        EXPECT_EQ(e.offset(), static_cast<std::ptrdiff_t>(expectedOffset));
        EXPECT_EQ(std::string(e.what()),
                  c.message + " (offset " + std::to_string(expectedOffset) + ")");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, MalformedPackets,
    testing::Values(
        MalformedCase{"Truncated", kGolden.substr(0, kGolden.find("  </ROWDATA>")),
                      "Packet is not well-formed XML: the packet ends before 'ROWDATA' is closed",
                      "", 0},
        MalformedCase{"CutInAnAttribute", kGolden.substr(0, kGolden.find("QTITENS=")),
                      "Packet is not well-formed XML: the packet ends inside the tag 'ROW'", "", 0},
        MalformedCase{"Empty", "", "Packet is not well-formed XML: No document element found", ""},
        MalformedCase{"OnlyADeclaration", "<?xml version=\"1.0\"?>",
                      "Packet is not well-formed XML: No document element found", "", 0},
        MalformedCase{"WrongRoot", "<PACKET/>", "Packet root element is 'PACKET', not DATAPACKET",
                      "PACKET"},
        MalformedCase{"TwoRoots", "<DATAPACKET/><OTHER/>", "Packet has more than one root element",
                      "OTHER"},
        MalformedCase{"NoMetadata", "<DATAPACKET><ROWDATA/></DATAPACKET>",
                      "Packet lacks METADATA in DATAPACKET", "DATAPACKET>"},
        MalformedCase{"NoFields", "<DATAPACKET><METADATA/><ROWDATA/></DATAPACKET>",
                      "Packet lacks FIELDS in METADATA", "METADATA/>"},
        MalformedCase{"NoRowdata", "<DATAPACKET><METADATA><FIELDS/></METADATA></DATAPACKET>",
                      "Packet lacks ROWDATA in DATAPACKET", "DATAPACKET>"},
        MalformedCase{"UnknownFieldType",
                      packetWith("<FIELD attrname=\"X\" fieldtype=\"r4\"/>", ""),
                      "Field 'X' has unknown fieldtype 'r4'", "r4\""},
        MalformedCase{"NoFieldType", packetWith("<FIELD attrname=\"X\"/>", ""),
                      "Field 'X' lacks fieldtype", "FIELD attrname"},
        MalformedCase{"NoAttrname", packetWith("<FIELD fieldtype=\"r8\"/>", ""),
                      "FIELD lacks attrname", "FIELD fieldtype"},
        MalformedCase{"EmptyAttrname", packetWith("<FIELD attrname=\"\" fieldtype=\"r8\"/>", ""),
                      "FIELD lacks attrname", "FIELD attrname"},
        MalformedCase{"NoWidth", packetWith("<FIELD attrname=\"X\" fieldtype=\"string\"/>", ""),
                      "String field 'X' lacks WIDTH", "FIELD attrname"},
        MalformedCase{"WordWidth",
                      packetWith("<FIELD attrname=\"X\" fieldtype=\"string\" WIDTH=\"ab\"/>", ""),
                      "String field 'X' has invalid WIDTH 'ab'", "ab\""},
        MalformedCase{"NegativeWidth",
                      packetWith("<FIELD attrname=\"X\" fieldtype=\"string\" WIDTH=\"-3\"/>", ""),
                      "String field 'X' has invalid WIDTH '-3'", "-3"},
        MalformedCase{"DuplicateField", packetWith(kCode + kCode, ""),
                      "Field 'CDOCORR' is declared twice",
                      "FIELD attrname=\"CDOCORR\" fieldtype=\"string\" WIDTH=\"2\"/></FIELDS>"},
        MalformedCase{"DuplicateFieldOtherCase",
                      packetWith(kCode + "<FIELD attrname=\"cdOcorr\" fieldtype=\"r8\"/>", ""),
                      "Field 'cdOcorr' is declared twice", "FIELD attrname=\"cdOcorr"},
        MalformedCase{"ForeignElementInFields", packetWith("<COLUMN/>", ""),
                      "Unexpected element 'COLUMN' in FIELDS", "COLUMN"},
        MalformedCase{"ForeignElementInRowdata", packetWith(kCode, "<LINE/>"),
                      "Unexpected element 'LINE' in ROWDATA", "LINE"},
        MalformedCase{"TextLongerThanWidth", packetWith(kCode, "<ROW CDOCORR=\"123\"/>"),
                      "Field 'CDOCORR' of row 1: '123' is longer than the field's width 2", "123"},
        MalformedCase{"AccentedLongerThanWidth",
                      packetWith(kCode, "<ROW CDOCORR=\"01\"/><ROW CDOCORR=\"çãé\"/>"),
                      "Field 'CDOCORR' of row 2: '\xE7\xE3\xE9' is longer than the field's width 2",
                      "çãé"},
        MalformedCase{"UnknownRowAttribute",
                      packetWith(kCode, "<ROW CDOCORR=\"01\" CDPRODUTO=\"7\"/>"),
                      "Row 1 has a value for unknown field 'CDPRODUTO'", "CDPRODUTO"},
        MalformedCase{
            "ValueTwice", packetWith(kCode, "<ROW CDOCORR=\"01\" CDOCORR=\"02\"/>"),
            "Packet is not well-formed XML: the element 'ROW' has the attribute 'CDOCORR' twice",
            "CDOCORR=\"02"},
        MalformedCase{"ValueTwiceOtherCase",
                      packetWith(kCode, "<ROW CDOCORR=\"01\" cdocorr=\"02\"/>"),
                      "Row 1 gives field 'cdocorr' twice", "02"},
        MalformedCase{"FloatWord", oneField("r8", "abc"),
                      "Field 'X' of row 1: 'abc' is not a number", "abc"},
        MalformedCase{"FloatComma", oneField("r8", "1,5"),
                      "Field 'X' of row 1: '1,5' is not a number", "1,5"},
        MalformedCase{"FloatInfinite", oneField("r8", "inf"),
                      "Field 'X' of row 1: 'inf' is not a number", "inf"},
        MalformedCase{"FloatNan", oneField("r8", "nan"),
                      "Field 'X' of row 1: 'nan' is not a number", "nan"},
        MalformedCase{"NameNoXmlName", packetWith("<FIELD attrname=\"1X\" fieldtype=\"r8\"/>", ""),
                      "Field name '1X' is not a valid XML name", "1X"},
        MalformedCase{"FloatEmpty", oneField("r8", ""), "Field 'X' of row 1: '' is not a number",
                      "\"/></ROWDATA>"},
        MalformedCase{"I4TooLarge", oneField("i4", "2147483648"),
                      "Field 'X' of row 1: '2147483648' is out of range for i4", "2147483648"},
        MalformedCase{"I4Fraction", oneField("i4", "1.5"),
                      "Field 'X' of row 1: '1.5' is not an integer", "1.5"},
        MalformedCase{"I4Padded", oneField("i4", " 1"),
                      "Field 'X' of row 1: ' 1' is not an integer", " 1"},
        MalformedCase{"I8TooLarge", oneField("i8", "9223372036854775808"),
                      "Field 'X' of row 1: '9223372036854775808' is out of range for i8",
                      "9223372036854775808"},
        MalformedCase{"BooleanLowerCase", oneField("boolean", "true"),
                      "Field 'X' of row 1: 'true' is not TRUE or FALSE", "true"},
        MalformedCase{"BooleanDigit", oneField("boolean", "1"),
                      "Field 'X' of row 1: '1' is not TRUE or FALSE", "1\"/></ROWDATA>"},
        MalformedCase{"InvalidUtf8", packetWith(kCode, "<ROW CDOCORR=\"\xC3(\"/>"),
                      "Packet is not valid UTF-8", "\xC3("},
        // What XML 1.0 forbids, which a lenient parser would let through changed.
        MalformedCase{"NulReferenceCutsAValue", packetWith(kCode, "<ROW CDOCORR=\"0&#0;1\"/>"),
                      kNotXml + "character reference '&#0;' is not a character XML allows", "&#0;"},
        MalformedCase{"ControlReference", packetWith(kCode, "<ROW CDOCORR=\"&#x1F;\"/>"),
                      kNotXml + "character reference '&#x1F;' is not a character XML allows",
                      "&#x1F;"},
        MalformedCase{
            "HugeReference", packetWith(kCode, "<ROW CDOCORR=\"&#99999999999;\"/>"),
            kNotXml + "character reference '&#99999999999;' is not a character XML allows", "&#9"},
        MalformedCase{"RawControlCharacter", packetWith(kCode, "<ROW CDOCORR=\"a\x01\"/>"),
                      kNotXml + "the control character 0x01 is not allowed in XML", "\x01"},
        MalformedCase{"NonCharacter", packetWith(kCode, "<ROW CDOCORR=\"\xEF\xBF\xBF\"/>"),
                      kNotXml + "U+FFFE and U+FFFF are not characters XML allows", "\xEF\xBF\xBF"},
        MalformedCase{"UndeclaredEntity", packetWith(kCode, "<ROW CDOCORR=\"&zz;\"/>"),
                      kNotXml + "undeclared entity '&zz;'", "&zz;"},
        MalformedCase{"BareAmpersand", packetWith(kCode, "<ROW CDOCORR=\"a & b\"/>"),
                      kNotXml + "'&' must be written as &amp;", "& b"},
        MalformedCase{"LessThanInAValue", packetWith(kCode, "<ROW CDOCORR=\"a<b\"/>"),
                      kNotXml + "'<' inside an attribute value", "<b"},
        MalformedCase{"AttributesRunTogether", packetWith(kCode, "<ROW CDOCORR=\"01\"X=\"1\"/>"),
                      kNotXml + "attributes must be separated by whitespace", "X="},
        MalformedCase{"DoubleHyphenInAComment", packetWith(kCode, "<!-- a -- b -->"),
                      kNotXml + "'--' inside a comment", "-- b"},
        MalformedCase{"DeclarationNotFirst", " " + kGolden,
                      kNotXml + "the XML declaration is not at the start of the packet", "<?xml"},
        MalformedCase{"EntityDeclared",
                      "<!DOCTYPE DATAPACKET [<!ENTITY zz \"01\">]>" + packetWith(kCode, ""),
                      kNotXml + "packets have no document type declaration", ""},
        MalformedCase{
            "OtherEncoding", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><DATAPACKET/>",
            kNotXml + "the packet declares the encoding 'ISO-8859-1'; packets are UTF-8", "ISO"},
        MalformedCase{"TextAfterTheRoot", packetWith(kCode, "") + "x",
                      kNotXml + "text after the root element", "", 1},
        // Structures the format does not have, whose content would be lost unread.
        MalformedCase{"SecondRowdata",
                      inserted(packetWith(kCode, "<ROW CDOCORR=\"01\"/>"), "</DATAPACKET>",
                               "<ROWDATA><ROW CDOCORR=\"02\"/></ROWDATA>"),
                      "Packet has a second ROWDATA in DATAPACKET", "ROWDATA><ROW CDOCORR=\"02"},
        MalformedCase{"SecondFields",
                      inserted(packetWith(kCode, ""), "<PARAMS/>",
                               "<FIELDS><FIELD attrname=\"X\" fieldtype=\"r8\"/></FIELDS>"),
                      "Packet has a second FIELDS in METADATA", "FIELDS><FIELD attrname=\"X"},
        MalformedCase{"ForeignElementInDatapacket",
                      inserted(packetWith(kCode, ""), "</DATAPACKET>", "<EXTRA/>"),
                      "Unexpected element 'EXTRA' in DATAPACKET", "EXTRA"},
        MalformedCase{"ElementInsideARow",
                      packetWith(kCode, "<ROW CDOCORR=\"01\"><ROW CDOCORR=\"02\"/></ROW>"),
                      "Unexpected element 'ROW' in ROW", "ROW CDOCORR=\"02"},
        MalformedCase{"TextInsideARow", packetWith(kCode, "<ROW CDOCORR=\"01\">02</ROW>"),
                      "Packet has text in ROW", "02<"},
        MalformedCase{"CdataInRowdata", packetWith(kCode, "<![CDATA[x]]>"),
                      "Packet has text in ROWDATA", "x]]>"},
        MalformedCase{"UnknownFieldAttribute",
                      packetWith("<FIELD attrname=\"X\" fieldtype=\"r8\" required=\"true\"/>", ""),
                      "Unexpected attribute 'required' in FIELD", "required"},
        MalformedCase{"ParamsWithContent",
                      replaced(packetWith(kCode, ""), "<PARAMS/>", "<PARAMS LCID=\"1046\"/>"),
                      "Unexpected attribute 'LCID' in PARAMS", "LCID"},
        MalformedCase{"NameWithoutCodePageForm",
                      packetWith("<FIELD attrname=\"名\" fieldtype=\"r8\"/>", ""),
                      "Field name '?' has no Windows-1252 form", "名"},
        MalformedCase{"NameWithPrefix",
                      packetWith("<FIELD attrname=\"a:b\" fieldtype=\"r8\"/>", ""),
                      "Field name 'a:b' is reserved for XML namespaces", "a:b"},
        // Limits a file that no real packet of its kind reaches.
        MalformedCase{"LongerThanAllowed",
                      packetWith(kCode, ""),
                      "Packet is " + std::to_string(packetWith(kCode, "").size())
                          + " bytes long, more than the 100 allowed",
                      "",
                      static_cast<int>(packetWith(kCode, "").size()) - 100,
                      {100, SIZE_MAX, SIZE_MAX}},
        MalformedCase{"MoreFieldsThanAllowed",
                      packetWith(kCode + "<FIELD attrname=\"X\" fieldtype=\"r8\"/>", ""),
                      "Packet declares more than 1 fields",
                      "FIELD attrname=\"X",
                      -1,
                      {SIZE_MAX, 1, SIZE_MAX}},
        MalformedCase{
            "MoreRowsThanAllowed",
            packetWith(kCode, "<ROW CDOCORR=\"1\"/><ROW CDOCORR=\"2\"/><ROW CDOCORR=\"3\"/>"),
            "Packet holds more than 2 rows",
            "ROW CDOCORR=\"3",
            -1,
            {SIZE_MAX, SIZE_MAX, 2}}),
    [](const auto& row) { return std::string(row.param.name); });

// A name's bytes in one encoding can spell another name in the other: "Ê" in UTF-8 is
// the bytes of "ÃŠ" in Windows-1252.
TEST(DataPacket, RowValuesLandInTheFieldTheirNameSpells)
{
    const Packet packet =
        kzt::parsePacket(packetWith("<FIELD attrname=\"ÃŠ\" fieldtype=\"string\" WIDTH=\"5\"/>"
                                    "<FIELD attrname=\"Ê\" fieldtype=\"string\" WIDTH=\"5\"/>",
                                    "<ROW Ê=\"e\"/>"));
    ASSERT_EQ(packet.rows.size(), 1u);
    EXPECT_EQ(packet.rows[0], (std::vector<CellValue>{{}, std::string("e")}));
}

TEST(DataPacket, LongValuesAreCutShortInMessages)
{
    try {
        (void)kzt::parsePacket(oneField("r8", std::string(100, 'x')));
        ADD_FAILURE() << "parsed";
    } catch (const PacketError& e) {
        EXPECT_EQ(std::string(e.what()).find("'" + std::string(40, 'x') + "...' is not a number"),
                  std::string("Field 'X' of row 1: ").size());
    }
}

} // namespace
