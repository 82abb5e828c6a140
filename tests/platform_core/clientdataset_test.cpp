#include "platform/clientdataset.h"
#include "platform/text.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using kzt::ClientDataSet;
using kzt::DataSetError;
using kzt::FieldDef;
using kzt::FieldType;
using kzt::Variant;

// The occurrence list as the dialog declares it: hidden codes, labelled visible fields.
void declareOccurrences(ClientDataSet& ds)
{
    ds.addFieldDef({"CDGRPOCOR", FieldType::String, 2, false, {}});
    ds.addFieldDef({"CDOCORR", FieldType::String, 2, true, kzt::utf8ToCp1252("Código")});
    ds.addFieldDef({"CDTIPRISCO", FieldType::String, 2, false, {}});
    ds.addFieldDef({"DSOCORR", FieldType::String, 40, true, kzt::utf8ToCp1252("Descrição")});
    ds.addFieldDef({"IDCONTROLAOBS", FieldType::String, 1, false, {}});
    ds.addFieldDef({"CDPRODUTO", FieldType::String, 10, false, {}});
}

struct Occurrence {
    const char* code;
    const char* text;
    const char* control;
};

// A packet as the data service sends it: its own column order, which differs from the
// declared one.
std::string occurrencePacket(const std::vector<Occurrence>& rows, bool withProduct = true)
{
    std::string xml = R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<DATAPACKET Version="2.0"><METADATA><FIELDS>
<FIELD attrname="CDGRPOCOR" fieldtype="string" WIDTH="2"/>
<FIELD attrname="CDOCORR" fieldtype="string" WIDTH="2"/>
<FIELD attrname="CDTIPRISCO" fieldtype="string" WIDTH="2"/>
<FIELD attrname="DSOCORR" fieldtype="string" WIDTH="40"/>
)";
    if (withProduct)
        xml += R"(<FIELD attrname="CDPRODUTO" fieldtype="string" WIDTH="10"/>)";
    xml += R"(<FIELD attrname="IDCONTROLAOBS" fieldtype="string" WIDTH="1"/>
</FIELDS><PARAMS/></METADATA><ROWDATA>)";
    for (const Occurrence& r : rows) {
        xml += std::string("<ROW CDGRPOCOR=\"01\" CDOCORR=\"") + r.code + "\" DSOCORR=\"" + r.text
               + "\"";
        if (withProduct)
            xml += " CDPRODUTO=\"123\"";
        xml += std::string(" IDCONTROLAOBS=\"") + r.control + "\"/>";
    }
    return xml + "</ROWDATA></DATAPACKET>";
}

const std::vector<Occurrence> kKitchen = {
    {"01", "SEM CEBOLA", "N"},  {"02", "Sem Cebola Roxa", "A"}, {"03", "BEM PASSADO", "R"},
    {"04", "MAL PASSADO", "N"}, {"05", "SEM SAL", "N"},
};

std::vector<std::string> column(ClientDataSet& ds, const char* field)
{
    std::vector<std::string> values;
    for (ds.first(); !ds.eof(); ds.next())
        values.push_back(ds.fieldByName(field).asString());
    return values;
}

// The chosen-occurrences dataset with the given codes, in order.
void fillCodes(ClientDataSet& ds, const std::vector<std::string>& codes)
{
    ds.addFieldDef({"CDOCORR", FieldType::String, 2, true, {}});
    ds.createDataSet();
    for (const auto& code : codes) {
        ds.append();
        ds.fieldByName("CDOCORR").setAsString(code);
        ds.post();
    }
}

std::string errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const kzt::Error& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(ClientDataSet, LoadedOccurrencesKeepDeclaredOrderFlagsAndLabels)
{
    ClientDataSet cdsObs("cdsObs");
    declareOccurrences(cdsObs);
    cdsObs.setData(Variant::fromPacket(occurrencePacket(kKitchen)));

    ASSERT_EQ(cdsObs.fieldCount(), 6);
    EXPECT_EQ(cdsObs.fields()[4].name, "IDCONTROLAOBS"); // declared order, not the packet's
    EXPECT_FALSE(cdsObs.fieldByName("CDGRPOCOR").visible());
    EXPECT_EQ(cdsObs.fieldByName("CDOCORR").displayLabel(), "C\xF3"
                                                            "digo");
    EXPECT_EQ(cdsObs.fieldByName("DSOCORR").displayLabel(), "Descri\xE7\xE3o");
    EXPECT_EQ(cdsObs.fieldByName("CDPRODUTO").displayLabel(), "CDPRODUTO");
    EXPECT_EQ(cdsObs.recordCount(), 5);
    EXPECT_EQ(cdsObs.recNo(), 1);
    EXPECT_EQ(cdsObs.fieldByName("IDCONTROLAOBS").asString(), "N");
    EXPECT_TRUE(cdsObs.fieldByName("CDTIPRISCO").isNull());
    EXPECT_EQ(column(cdsObs, "CDOCORR"), (std::vector<std::string>{"01", "02", "03", "04", "05"}));
}

struct InsertCase {
    const char* name;
    std::vector<std::string> rows;
    std::function<void(ClientDataSet&)> position;
    std::vector<std::string> expected;
    int recNoAfterPost;
};

class InsertAtCursor : public testing::TestWithParam<InsertCase> {};

TEST_P(InsertAtCursor, GoesBeforeTheCurrentRowAndStaysCurrent)
{
    ClientDataSet ds("cdsOcorrencia");
    fillCodes(ds, GetParam().rows);
    GetParam().position(ds);
    ds.insert();
    ds.fieldByName("CDOCORR").setAsString("NN");
    ds.post();
    EXPECT_EQ(ds.fieldByName("CDOCORR").asString(), "NN");
    EXPECT_EQ(ds.recNo(), GetParam().recNoAfterPost);
    EXPECT_EQ(column(ds, "CDOCORR"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, InsertAtCursor,
    testing::Values(InsertCase{"Empty", {}, [](ClientDataSet& ds) { ds.first(); }, {"NN"}, 1},
                    InsertCase{"First",
                               {"01", "02", "03"},
                               [](ClientDataSet& ds) { ds.first(); },
                               {"NN", "01", "02", "03"},
                               1},
                    InsertCase{"Middle",
                               {"01", "02", "03"},
                               [](ClientDataSet& ds) { ds.moveTo(2); },
                               {"01", "NN", "02", "03"},
                               2},
                    // A post leaves the new row current, so the next insert goes before it.
                    InsertCase{
                        "AfterAPost", {"01", "02"}, [](ClientDataSet&) {}, {"01", "NN", "02"}, 2},
                    InsertCase{"PastTheEnd",
                               {"01", "02"},
                               [](ClientDataSet& ds) {
                                   ds.last();
                                   ds.next();
                               },
                               {"01", "NN", "02"},
                               2},
                    InsertCase{"AfterALocate",
                               {"01", "02", "03"},
                               [](ClientDataSet& ds) { ASSERT_TRUE(ds.locate("CDOCORR", "03")); },
                               {"01", "02", "NN", "03"},
                               3}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ClientDataSet, AppendGoesLastAndAnEmptyDataSetTakesInsertsAgain)
{
    ClientDataSet ds("cdsOcorrencia");
    fillCodes(ds, {"01", "02"});
    ds.first();
    ds.append();
    ds.fieldByName("CDOCORR").setAsString("03");
    ds.post();
    EXPECT_EQ(column(ds, "CDOCORR"), (std::vector<std::string>{"01", "02", "03"}));

    ds.emptyDataSet();
    EXPECT_TRUE(ds.isEmpty());
    EXPECT_TRUE(ds.eof());
    EXPECT_EQ(ds.recNo(), 0);
    EXPECT_EQ(ds.recordCount(), 0);
    EXPECT_FALSE(ds.locate("CDOCORR", "01"));
    EXPECT_NE(ds.data().packet().find("<ROWDATA/>"), std::string::npos);

    ds.insert();
    ds.fieldByName("CDOCORR").setAsString("09");
    ds.post();
    EXPECT_EQ(column(ds, "CDOCORR"), (std::vector<std::string>{"09"}));
}

TEST(ClientDataSet, CancelAndDeleteLeaveTheOtherRows)
{
    ClientDataSet ds("cds");
    fillCodes(ds, {"01", "02", "03"});
    ds.moveTo(2);
    ds.insert();
    ds.fieldByName("CDOCORR").setAsString("XX");
    ds.cancel();
    EXPECT_EQ(column(ds, "CDOCORR"), (std::vector<std::string>{"01", "02", "03"}));
    ds.moveTo(2);
    ds.deleteRecord();
    EXPECT_EQ(ds.fieldByName("CDOCORR").asString(), "03");
    ds.edit();
    ds.fieldByName("CDOCORR").setAsString("33");
    ds.next(); // moving on stores the edit
    EXPECT_EQ(column(ds, "CDOCORR"), (std::vector<std::string>{"01", "33"}));
}

struct LocateCase {
    const char* value;
    bool found;
};

class LocateExactly : public testing::TestWithParam<LocateCase> {};

TEST_P(LocateExactly, MatchesWholeCaseSensitiveValues)
{
    ClientDataSet cdsObs("cdsObs");
    declareOccurrences(cdsObs);
    cdsObs.setData(Variant::fromPacket(occurrencePacket(kKitchen)));
    cdsObs.moveTo(4);
    EXPECT_EQ(cdsObs.locate("DSOCORR", GetParam().value), GetParam().found);
    if (GetParam().found)
        EXPECT_EQ(cdsObs.fieldByName("DSOCORR").asString(), GetParam().value);
    else
        EXPECT_EQ(cdsObs.recNo(), 4); // a miss leaves the cursor where it was
}

INSTANTIATE_TEST_SUITE_P(Table, LocateExactly,
                         testing::Values(LocateCase{"SEM CEBOLA", true},
                                         LocateCase{"SEM SAL", true},
                                         LocateCase{"sem cebola", false}, LocateCase{"SEM", false},
                                         LocateCase{"SEM CEBOLA ", false}, LocateCase{"", false}));

TEST(ClientDataSet, LocateAfterAFilterSeesOnlyTheNarrowedRowsUntilItIsSwitchedOff)
{
    ClientDataSet cdsObs("cdsObs");
    declareOccurrences(cdsObs);
    cdsObs.setData(Variant::fromPacket(occurrencePacket(kKitchen)));
    cdsObs.setFilterOptions(kzt::foCaseInsensitive);
    cdsObs.setFilter("DSOCORR LIKE '%passado%'");
    cdsObs.setFiltered(true);
    ASSERT_EQ(cdsObs.recordCount(), 2);

    EXPECT_TRUE(cdsObs.locate("CDOCORR", "04"));
    EXPECT_EQ(cdsObs.recNo(), 2);
    EXPECT_FALSE(cdsObs.locate("CDOCORR", "05"));
    EXPECT_EQ(cdsObs.fieldByName("CDOCORR").asString(), "04");

    cdsObs.setFiltered(false);
    EXPECT_EQ(cdsObs.recordCount(), 5);
    EXPECT_TRUE(cdsObs.locate("CDOCORR", "05"));
    EXPECT_EQ(cdsObs.recNo(), 5);

    // An empty filter text lets every row through even with the switch on.
    cdsObs.setFiltered(true);
    cdsObs.setFilter("");
    EXPECT_EQ(cdsObs.recordCount(), 5);
}

TEST(ClientDataSet, FilterCallbackReadsTheRowItTests)
{
    ClientDataSet cdsObs("cdsObs");
    declareOccurrences(cdsObs);
    cdsObs.setData(Variant::fromPacket(occurrencePacket(kKitchen)));
    cdsObs.setOnFilterRecord(
        [](ClientDataSet& ds) { return ds.fieldByName("IDCONTROLAOBS").asString() != "N"; });
    cdsObs.setFiltered(true);
    EXPECT_EQ(column(cdsObs, "CDOCORR"), (std::vector<std::string>{"02", "03"}));
}

// Set before any data: the callback runs while the first packet loads, and reads fields.
TEST(ClientDataSet, FilterCallbackSetBeforeTheFirstLoadReadsItsRows)
{
    ClientDataSet cdsObs("cdsObs");
    declareOccurrences(cdsObs);
    cdsObs.setOnFilterRecord(
        [](ClientDataSet& ds) { return ds.fieldByName("IDCONTROLAOBS").asString() != "N"; });
    cdsObs.setFiltered(true);
    cdsObs.setData(Variant::fromPacket(occurrencePacket(kKitchen)));
    EXPECT_EQ(column(cdsObs, "CDOCORR"), (std::vector<std::string>{"02", "03"}));

    // A load the callback refuses leaves a closed dataset closed.
    ClientDataSet refused("refused");
    declareOccurrences(refused);
    refused.setOnFilterRecord([](ClientDataSet&) -> bool { throw DataSetError("no"); });
    refused.setFiltered(true);
    EXPECT_EQ(errorOf([&] { refused.setData(Variant::fromPacket(occurrencePacket(kKitchen))); }),
              "no");
    EXPECT_FALSE(refused.active());
}

// The expression's own faults are its tests'; here, that the dataset names itself and
// keeps the filter in force.
TEST(ClientDataSet, BadFilterIsRefusedAndKeepsTheFilterInForce)
{
    ClientDataSet cdsObs("cdsObs");
    declareOccurrences(cdsObs);
    cdsObs.setData(Variant::fromPacket(occurrencePacket(kKitchen)));
    cdsObs.setFilter("CDOCORR = '01'");
    cdsObs.setFiltered(true);
    EXPECT_EQ(errorOf([&] { cdsObs.setFilter("CDOCORR = '01"); }),
              "cdsObs: Invalid filter 'CDOCORR = '01': unterminated text at position 14");
    EXPECT_EQ(column(cdsObs, "CDOCORR"), (std::vector<std::string>{"01"}));
}

TEST(ClientDataSet, FilterOnAMissingFieldNamesIt)
{
    ClientDataSet cdsObs("cdsObs");
    declareOccurrences(cdsObs);
    cdsObs.setData(Variant::fromPacket(occurrencePacket(kKitchen)));
    cdsObs.setFilter("CDLOJA = '1'");
    EXPECT_EQ(errorOf([&] { cdsObs.setFiltered(true); }), "cdsObs: Field 'CDLOJA' not found");
}

struct FieldErrorCase {
    const char* name;
    std::function<void(ClientDataSet&)> action;
    std::string message;
};

class FieldErrors : public testing::TestWithParam<FieldErrorCase> {};

TEST_P(FieldErrors, NameTheDataSetAndTheField)
{
    ClientDataSet ds("cdsParametrosQtr");
    ds.addFieldDef({"CDFILIAL", FieldType::String, 4, true, {}});
    ds.addFieldDef({"VRPRECO", FieldType::Float, 0, true, {}});
    ds.addFieldDef({"NRSEQ", FieldType::Integer, 0, true, {}});
    ds.addFieldDef({"SISTEMAQTRNFCE", FieldType::Boolean, 0, true, {}});
    ds.createDataSet();
    ds.append();
    ds.fieldByName("CDFILIAL").setAsString("S");
    ds.post();
    EXPECT_EQ(errorOf([&] { GetParam().action(ds); }), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FieldErrors,
    testing::Values(
        FieldErrorCase{"Missing", [](ClientDataSet& ds) { (void)ds.fieldByName("SISTEMAQTRSAT"); },
                       "cdsParametrosQtr: Field 'SISTEMAQTRSAT' not found"},
        FieldErrorCase{"LocateMissing", [](ClientDataSet& ds) { (void)ds.locate("CDLOJA", "1"); },
                       "cdsParametrosQtr: Field 'CDLOJA' not found"},
        FieldErrorCase{"WriteInBrowse",
                       [](ClientDataSet& ds) { ds.fieldByName("CDFILIAL").setAsString("1"); },
                       "cdsParametrosQtr: Dataset not in edit or insert mode"},
        FieldErrorCase{"ClearInBrowse",
                       [](ClientDataSet& ds) { ds.fieldByName("CDFILIAL").clear(); },
                       "cdsParametrosQtr: Dataset not in edit or insert mode"},
        FieldErrorCase{"PostInBrowse", [](ClientDataSet& ds) { ds.post(); },
                       "cdsParametrosQtr: Dataset not in edit or insert mode"},
        FieldErrorCase{"FlagAsBoolean",
                       [](ClientDataSet& ds) { (void)ds.fieldByName("CDFILIAL").asBoolean(); },
                       "cdsParametrosQtr: 'S' is not a valid boolean value for field 'CDFILIAL'"},
        FieldErrorCase{"FlagAsInteger",
                       [](ClientDataSet& ds) { (void)ds.fieldByName("CDFILIAL").asInteger(); },
                       "cdsParametrosQtr: 'S' is not a valid integer value for field 'CDFILIAL'"},
        FieldErrorCase{"WordIntoFloat",
                       [](ClientDataSet& ds) {
                           ds.edit();
                           ds.fieldByName("VRPRECO").setAsString("abc");
                       },
                       "cdsParametrosQtr: 'abc' is not a valid Float value for field 'VRPRECO'"},
        FieldErrorCase{"FractionIntoInteger",
                       [](ClientDataSet& ds) {
                           ds.edit();
                           ds.fieldByName("NRSEQ").setAsFloat(1.5);
                       },
                       "cdsParametrosQtr: '1.5' is not a valid Integer value for field 'NRSEQ'"},
        FieldErrorCase{"ReadClosed",
                       [](ClientDataSet& ds) {
                           ds.close();
                           (void)ds.fieldByName("CDFILIAL").asString();
                       },
                       "cdsParametrosQtr: Cannot perform this operation on a closed dataset"},
        FieldErrorCase{"DeleteFromEmpty",
                       [](ClientDataSet& ds) {
                           ds.emptyDataSet();
                           ds.deleteRecord();
                       },
                       "cdsParametrosQtr: Cannot perform this operation on an empty dataset"},
        FieldErrorCase{"TextAsData", [](ClientDataSet& ds) { ds.setData(Variant("erro")); },
                       "cdsParametrosQtr: Cannot load a variant of type (Text) as a data packet"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ClientDataSet, FieldWritesConvertAndCutTextToTheFieldSize)
{
    ClientDataSet ds("cdsRetornaPreco");
    ds.addFieldDef({"IDPRECVARIA", FieldType::String, 1, true, {}});
    ds.addFieldDef({"VRPRECO", FieldType::Float, 0, true, {}});
    ds.addFieldDef({"QT", FieldType::Integer, 0, true, {}});
    ds.addFieldDef({"OK", FieldType::Boolean, 0, true, {}});
    ds.createDataSet();
    ds.insert();
    ds.fieldByName("IDPRECVARIA").setAsString("SIM");
    ds.fieldByName("VRPRECO").setAsString("12.5");
    ds.fieldByName("QT").setAsString("");
    ds.fieldByName("OK").setAsString("true");
    ds.post();
    EXPECT_EQ(ds.fieldByName("IDPRECVARIA").asString(), "S");
    EXPECT_EQ(ds.fieldByName("VRPRECO").asFloat(), 12.5);
    EXPECT_EQ(ds.fieldByName("VRPRECO").asString(), "12.5");
    EXPECT_TRUE(ds.fieldByName("QT").isNull());
    EXPECT_EQ(ds.fieldByName("QT").asInteger(), 0);
    EXPECT_TRUE(ds.fieldByName("OK").asBoolean());
    EXPECT_EQ(ds.fieldByName("OK").asString(), "True");
}

TEST(ClientDataSet, PacketLackingADeclaredFieldIsRefusedNamingIt)
{
    ClientDataSet cdsObs("cdsObs");
    declareOccurrences(cdsObs);
    EXPECT_EQ(
        errorOf([&] { cdsObs.setData(Variant::fromPacket(occurrencePacket(kKitchen, false))); }),
        "cdsObs: Field 'CDPRODUTO' not found");
    EXPECT_FALSE(cdsObs.active());
}

TEST(ClientDataSet, PacketWithAnotherTypeIsRefusedNamingBothTypes)
{
    ClientDataSet ds("cdsControlaObs");
    ds.addFieldDef({"CDOCORR", FieldType::String, 2, true, {}});
    const std::string xml = R"(<DATAPACKET Version="2.0"><METADATA><FIELDS>
<FIELD attrname="CDOCORR" fieldtype="i4"/></FIELDS><PARAMS/></METADATA><ROWDATA/></DATAPACKET>)";
    EXPECT_EQ(
        errorOf([&] { ds.setData(Variant::fromPacket(xml)); }),
        "cdsControlaObs: Type mismatch for field 'CDOCORR', expecting: String actual: Integer");
}

struct FailedLoadCase {
    const char* name;
    std::function<void(ClientDataSet&, const std::string& dir)> load;
    std::string messageStart;
    std::function<void(ClientDataSet&)> prepare = [](ClientDataSet&) {};
};

class FailedLoads : public testing::TestWithParam<FailedLoadCase> {};

TEST_P(FailedLoads, LeaveTheDataSetAsItWas)
{
    kzt::test::TempDir dir;
    ClientDataSet cdsObs("cdsObs");
    declareOccurrences(cdsObs);
    cdsObs.setData(Variant::fromPacket(occurrencePacket(kKitchen)));
    cdsObs.setFilter("IDCONTROLAOBS = 'N'");
    cdsObs.setFiltered(true);
    GetParam().prepare(cdsObs);
    cdsObs.moveTo(2);
    const std::string before = cdsObs.data().packet();

    const std::string message = errorOf([&] { GetParam().load(cdsObs, dir.path()); });
    EXPECT_EQ(message.substr(0, GetParam().messageStart.size()), GetParam().messageStart)
        << message;

    EXPECT_TRUE(cdsObs.active());
    EXPECT_EQ(cdsObs.data().packet(), before);
    EXPECT_EQ(cdsObs.recNo(), 2);
    EXPECT_EQ(cdsObs.recordCount(), 3);
    EXPECT_EQ(cdsObs.fieldByName("CDOCORR").asString(), "04");
    EXPECT_EQ(cdsObs.fieldByName("DSOCORR").displayLabel(), "Descri\xE7\xE3o");
}

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FailedLoads,
    testing::Values(
        FailedLoadCase{"BadValueInLastRow",
                       [](ClientDataSet& ds, const std::string&) {
                           std::string xml = occurrencePacket(kKitchen);
                           xml.insert(xml.rfind("\"/>"), "X"); // IDCONTROLAOBS two characters long
                           ds.setData(Variant::fromPacket(xml));
                       },
                       "Field 'IDCONTROLAOBS' of row 5: 'NX' is longer than the field's width 1"},
        FailedLoadCase{
            "MissingField",
            [](ClientDataSet& ds, const std::string&) {
                ds.setData(Variant::fromPacket(occurrencePacket({{"09", "X", "N"}}, false)));
            },
            "cdsObs: Field 'CDPRODUTO' not found"},
        FailedLoadCase{"ErrorText",
                       [](ClientDataSet& ds, const std::string&) { ds.setData(Variant("erro")); },
                       "cdsObs: Cannot load a variant of type (Text) as a data packet"},
        FailedLoadCase{
            "MissingFile",
            [](ClientDataSet& ds, const std::string& dir) { ds.loadFromFile(dir + "/none.cds"); },
            "cdsObs: Cannot open file '"},
        FailedLoadCase{"TruncatedFile",
                       [](ClientDataSet& ds, const std::string& dir) {
                           const std::string xml = occurrencePacket(kKitchen);
                           writeFile(dir + "/cut.cds", xml.substr(0, xml.size() / 2));
                           ds.loadFromFile(dir + "/cut.cds");
                       },
                       "Packet is not well-formed XML"},
        FailedLoadCase{"FilterCallbackThrows",
                       [](ClientDataSet& ds, const std::string&) {
                           ds.setData(Variant::fromPacket(occurrencePacket({{"09", "X", "N"}})));
                       },
                       "refused row 09",
                       [](ClientDataSet& ds) {
                           ds.setOnFilterRecord([](ClientDataSet& d) -> bool {
                               if (d.fieldByName("CDOCORR").asString() == "09")
                                   throw kzt::DataSetError("refused row 09");
                               return true;
                           });
                       }}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(ClientDataSet, ParameterFileGivesItsOwnFieldsAndSavesAtomically)
{
    kzt::test::TempDir dir;
    const std::string path = dir.file("PARAMETROSQTR.CDS");
    writeFile(path, R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<DATAPACKET Version="2.0"><METADATA><FIELDS>
<FIELD attrname="CDFILIAL" fieldtype="string" WIDTH="4"/>
<FIELD attrname="NRCAIXA" fieldtype="i4"/>
<FIELD attrname="SISTEMAQTRSAT" fieldtype="boolean"/>
</FIELDS><PARAMS/></METADATA><ROWDATA><ROW CDFILIAL="0001" NRCAIXA="7" SISTEMAQTRSAT="TRUE"/></ROWDATA></DATAPACKET>)");

    ClientDataSet params("cdsParametrosQtr");
    params.loadFromFile(path);
    params.open();
    EXPECT_EQ(params.fieldByName("CDFILIAL").asString(), "0001");
    EXPECT_EQ(params.fieldByName("NRCAIXA").asInteger(), 7);
    EXPECT_TRUE(params.fieldByName("SISTEMAQTRSAT").asBoolean());

    params.edit();
    params.fieldByName("NRCAIXA").setAsInteger(8);
    params.post();
    params.saveToFile(path);

    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"PARAMETROSQTR.CDS"}); // no temporary left

    ClientDataSet reread("cdsParametrosQtr");
    reread.loadFromFile(path);
    EXPECT_EQ(reread.fieldByName("NRCAIXA").asInteger(), 8);
    EXPECT_NE(reread.data().packet().find("fieldtype=\"i4\""), std::string::npos);
}

TEST(ClientDataSet, SaveIntoAMissingFolderFailsWithoutTouchingTheTarget)
{
    kzt::test::TempDir dir;
    ClientDataSet ds("cdsOcorrencia");
    fillCodes(ds, {"01"});
    const std::string path = dir.file("no/such/file.cds");
    EXPECT_EQ(errorOf([&] { ds.saveToFile(path); }),
              "cdsOcorrencia: Cannot save file '" + path + "': No such file or directory");
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(ClientDataSet, ReopensTheRowsItHeld)
{
    ClientDataSet ds("cdsOcorrencia");
    EXPECT_EQ(errorOf([&] { ds.open(); }), "cdsOcorrencia: Missing data provider or data packet");
    EXPECT_EQ(errorOf([&] { ds.createDataSet(); }),
              "cdsOcorrencia: Cannot create a dataset without fields");
    fillCodes(ds, {"01", "02"});
    ds.close();
    EXPECT_FALSE(ds.active());
    EXPECT_TRUE(ds.isEmpty());
    EXPECT_TRUE(ds.eof());
    ds.open();
    EXPECT_EQ(column(ds, "CDOCORR"), (std::vector<std::string>{"01", "02"}));
}

} // namespace
