// The occurrence lists and the store and product rules, on every configured backend.

#include "tests/server/storefixture.h"

#include "server/Srv_kzt00318.h"

#include "platform/db/database.h"
#include "platform/text.h"

#include <climits>
#include <functional>
#include <tuple>

namespace kzt::test {
namespace {

using namespace Srv_kzt00318;

enum class List { Canc, Ped, CancProd, Desc };

Variant callList(List list, const std::string& filial, const std::string& loja,
                 const std::string& produto)
{
    switch (list) {
    case List::Canc: return getOcorCanc(w(filial), w(loja));
    case List::Ped: return getOcorPed(w(filial), w(loja), w(produto));
    case List::CancProd: return getOcorCancProd(w(filial), w(loja), w(produto));
    case List::Desc: return getOcorDesc(w(filial), w(loja));
    }
    return {};
}

struct ListCase {
    const char* what;
    List list;
    const char* filial;
    const char* loja;
    const char* produto;
    std::vector<std::string> codes;
    const char* group;
};

using ListsTest = StoreTest;

TEST_P(ListsTest, EachListHoldsItsStoreGroupUniqueAndInCodeOrder)
{
    const std::vector<ListCase> cases = {
        {"orders beyond the 28 buttons", List::Ped, "0001", "01", "1001", codeRange(1, 32), "01"},
        {"a link held twice listed once",
         List::Ped,
         "0001",
         "01",
         "1002",
         {"01", "08", "11", "17"},
         "01"},
        {"the branch picks the store row", List::Ped, "0002", "01", "1001", {"01", "02"}, "06"},
        {"product without occurrences", List::Ped, "0001", "01", "7777", {}, ""},
        {"unknown store", List::Ped, "0001", "99", "1001", {}, ""},
        {"store without an order group", List::Ped, "0001", "03", "1001", {}, ""},
        {"sale cancellation", List::Canc, "0001", "01", "", codeRange(1, 5), "02"},
        {"sale cancellation, no group", List::Canc, "0001", "03", "", {}, ""},
        {"discounts", List::Desc, "0001", "01", "", codeRange(1, 6), "04"},
        {"discount group without occurrences", List::Desc, "0001", "02", "", {}, ""},
        {"unknown branch", List::Desc, "0009", "01", "", {}, ""},
        {"item cancellation of the product",
         List::CancProd,
         "0001",
         "01",
         "1001",
         {"01", "03"},
         "03"},
        {"one reason of its own is enough", List::CancProd, "0001", "02", "1003", {"02"}, "03"},
        {"no reason of its own: whole group", List::CancProd, "0001", "01", "1002", codeRange(1, 6),
         "03"},
        {"unknown product: whole group", List::CancProd, "0001", "01", "", codeRange(1, 6), "03"},
        {"no group at all: empty either way", List::CancProd, "0001", "03", "1001", {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Packet packet = packetOf(callList(c.list, c.filial, c.loja, c.produto));
        const std::vector<PacketField> fields = {
            {"CDGRPOCOR", FieldType::String, 2},  {"CDOCORR", FieldType::String, 2},
            {"CDTIPRISCO", FieldType::String, 2}, {"DSOCORR", FieldType::String, 40},
            {"CDPRODUTO", FieldType::String, 10}, {"IDCONTROLAOBS", FieldType::String, 1}};
        EXPECT_EQ(packet.fields, fields);
        std::vector<std::string> codes;
        for (const auto& row : packet.rows) {
            codes.push_back(std::get<std::string>(row.at(1)));
            EXPECT_EQ(std::get<std::string>(row.at(0)), c.group);
        }
        EXPECT_EQ(codes, c.codes);
    }
}

TEST_P(ListsTest, RowsCarryTheStoredTextInTheCodePage)
{
    const Packet packet = packetOf(getOcorPed(w("0001"), w("01"), w("1001")));
    ASSERT_EQ(packet.rows.size(), 32u);
    const std::vector<CellValue> gluten = {std::string("01"),   std::string("16"),
                                           std::string("02"),   utf8ToCp1252("PÃO SEM GLÚTEN"),
                                           std::string("2011"), std::string("R")};
    EXPECT_EQ(packet.rows[15], gluten);
    EXPECT_EQ(packet.rows[10][5], CellValue(std::string("A")));
    EXPECT_EQ(packet.rows[0][4], CellValue());  // uncontrolled: no product
    EXPECT_EQ(packet.rows[31][5], CellValue()); // no control flag at all
}

TEST_P(ListsTest, EveryCallReadsTheDatabaseAgain)
{
    ASSERT_EQ(codesOf(getOcorDesc(w("0001"), w("01"))), codeRange(1, 6));
    EXPECT_EQ(getQtMaxObserv("1001"), 2);
    run("INSERT INTO OCORRENCIA (CDGRPOCOR, CDOCORR, CDTIPRISCO, DSOCORR, CDPRODUTO, "
        "IDCONTROLAOBS) VALUES ('04', '07', '00', 'PAGAMENTO À VISTA', NULL, 'N');"
        "UPDATE PRODUTO SET QTMAXOBSERV = 5 WHERE CDPRODUTO = '1001'");
    EXPECT_EQ(codesOf(getOcorDesc(w("0001"), w("01"))), codeRange(1, 7));
    EXPECT_EQ(getQtMaxObserv("1001"), 5);
}

struct TextRuleCase {
    const char* what;
    bool saleNumber; // getNrSeqVenda, else getObrigaObsCan
    const char* filial;
    const char* second;
    const char* expected;
};

TEST_P(ListsTest, SaleNumberAndCancellationFlag)
{
    const std::vector<TextRuleCase> cases = {
        {"highest sale of the till", true, "0001", "001", "0000000123"},
        {"till without sales", true, "0001", "002", "0000000000"},
        {"another branch's till", true, "0002", "001", "0000000500"},
        {"sale number at the 32-bit limit", true, "0001", "003", "2147483647"},
        {"unknown branch", true, "0009", "001", "0000000000"},
        {"store demands an observation", false, "0001", "01", "S"},
        {"store does not", false, "0001", "02", "N"},
        {"store without the flag", false, "0001", "03", ""},
        {"no store row", false, "0001", "99", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string value = c.saleNumber ? getNrSeqVenda(w(c.filial), w(c.second))
                                               : getObrigaObsCan(w(c.filial), w(c.second));
        EXPECT_EQ(value, c.expected);
    }
}

TEST_P(ListsTest, MaximumOfControlledObservations)
{
    const std::vector<std::pair<const char*, int>> cases = {
        {"1001", 2}, {"1002", 0}, {"1003", 9999}, {"1004", 9999}, {"1005", 1}, {"", 9999}};
    for (const auto& [product, maximum] : cases)
        EXPECT_EQ(getQtMaxObserv(product), maximum) << product;
}

TEST_P(ListsTest, FractionalMaximumRoundsDownAndStaysInRange)
{
    const std::vector<std::pair<const char*, int>> cases = {
        {"2.5", 2}, {"2.999", 2}, {"0.4", 0}, {"-0.5", -1}, {"1e12", INT_MAX}, {"-1e12", INT_MIN}};
    for (const auto& [stored, maximum] : cases) {
        run(std::string("UPDATE PRODUTO SET QTMAXOBSERV = ") + stored
            + " WHERE CDPRODUTO = '1001'");
        EXPECT_EQ(getQtMaxObserv("1001"), maximum) << stored;
    }
}

TEST_P(ListsTest, CodesAreBoundAsValuesNeverAsSql)
{
    const std::vector<std::string> hostile = {"01' OR '1'='1",
                                              "0001' --",
                                              "'; DROP TABLE OCORRENCIA; --",
                                              "1001; DELETE FROM LOJA",
                                              "' OR 1=1 OR '' = '",
                                              "\"01\"",
                                              ":P_CDLOJA"};
    for (const auto& code : hostile) {
        SCOPED_TRACE(code);
        const std::u16string bad = w(code);
        EXPECT_EQ(codesOf(getOcorPed(bad, w("01"), w("1001"))).size(), 0u);
        EXPECT_EQ(codesOf(getOcorPed(w("0001"), bad, w("1001"))).size(), 0u);
        EXPECT_EQ(codesOf(getOcorPed(w("0001"), w("01"), bad)).size(), 0u);
        EXPECT_EQ(codesOf(getOcorCanc(w("0001"), bad)).size(), 0u);
        EXPECT_EQ(codesOf(getOcorDesc(bad, w("01"))).size(), 0u);
        EXPECT_EQ(codesOf(getOcorCancProd(bad, w("01"), w("1001"))).size(), 0u);
        // An unmatched product is no product of the store: the whole group, as for any.
        EXPECT_EQ(codesOf(getOcorCancProd(w("0001"), w("01"), bad)), codeRange(1, 6));
        EXPECT_EQ(getNrSeqVenda(w("0001"), bad), "0000000000");
        EXPECT_EQ(getObrigaObsCan(bad, w("01")), "");
        EXPECT_EQ(getQtMaxObserv(utf8ToCp1252(code)), 9999);
    }
    EXPECT_EQ(codesOf(getOcorPed(w("0001"), w("01"), w("1001"))), codeRange(1, 32));
    EXPECT_EQ(getObrigaObsCan(w("0001"), w("01")), "S");
}

std::string joined(const std::vector<std::string>& codes)
{
    std::string text;
    for (const auto& code : codes)
        text += (text.empty() ? "" : " ") + code;
    return text;
}

// Trailing blanks are no part of a code, as in the original engine's comparisons.
TEST_P(ListsTest, TrailingBlanksInCodesDoNotCount)
{
    const std::vector<std::tuple<const char*, std::function<std::string()>, std::string>> cases = {
        {"order list",
         [] { return joined(codesOf(getOcorPed(w("0001 "), w("01  "), w("1002 ")))); },
         "01 08 11 17"},
        {"item cancellation of the product",
         [] { return joined(codesOf(getOcorCancProd(w("0001 "), w("01 "), w("1001 ")))); },
         "01 03"},
        {"sale cancellation", [] { return joined(codesOf(getOcorCanc(w("0001 "), w("01 ")))); },
         "01 02 03 04 05"},
        {"discounts", [] { return joined(codesOf(getOcorDesc(w("0001 "), w("01 ")))); },
         "01 02 03 04 05 06"},
        {"sale number", [] { return getNrSeqVenda(w("0001 "), w("001 ")); }, "0000000123"},
        {"cancellation flag", [] { return getObrigaObsCan(w("0001 "), w("01 ")); }, "S"},
        {"maximum", [] { return std::to_string(getQtMaxObserv("1001 ")); }, "2"},
        {"a leading blank still counts",
         [] { return joined(codesOf(getOcorPed(w("0001"), w("01"), w(" 1002")))); }, ""},
    };
    for (const auto& [what, call, expected] : cases)
        EXPECT_EQ(call(), expected) << what;
}

// A value that does not fit its declared column is refused or shown safely, never read
// as another valid value. Servers enforce their column types, so there the column is
// widened to let the value in, as a store set up by hand may have it.
TEST_P(ListsTest, ValuesThatDoNotFitNeverChangeMeaning)
{
    struct Case {
        const char* what;
        std::string onSqlite;
        std::string onServer;
        std::function<std::string()> read;
        std::string expected;
    };
    // A NUL on the direct SQLite path; the SQLite ODBC driver itself ends a text there.
    const std::string control = external() ? "char(1)" : "char(0)";
    const std::vector<Case> cases = {
        {"text where a number is declared",
         "UPDATE PRODUTO SET QTMAXOBSERV = 'muitos' WHERE CDPRODUTO = '1001'",
         "ALTER TABLE PRODUTO ALTER COLUMN QTMAXOBSERV TYPE VARCHAR(20);"
         "UPDATE PRODUTO SET QTMAXOBSERV = 'muitos' WHERE CDPRODUTO = '1001'",
         [] {
             try {
                 return "maximum " + std::to_string(getQtMaxObserv("1001"));
             } catch (const DatabaseError& e) {
                 return std::string(categoryName(e.category())) + ": " + e.driverMessage();
             }
         },
         "bad data: adqQtMaxObserv: 'muitos' in field 'QTMAXOBSERV' is not a valid number."},
        {"a flag wider than declared",
         "UPDATE LOJA SET IDOBRIGAOBSCAN = 'SIM' WHERE CDFILIAL = '0001' AND CDLOJA = '01'",
         "ALTER TABLE LOJA ALTER COLUMN IDOBRIGAOBSCAN TYPE VARCHAR(3);"
         "UPDATE LOJA SET IDOBRIGAOBSCAN = 'SIM' WHERE CDFILIAL = '0001' AND CDLOJA = '01'",
         [] { return getObrigaObsCan(w("0001"), w("01")); },
         "Erro no banco de dados: adqObrigaObsCan: 'SIM' in field 'IDOBRIGAOBSCAN' is longer "
         "than its 1 characters."},
        {"blanks past the width are no part of a flag",
         "UPDATE LOJA SET IDOBRIGAOBSCAN = 'S  ' WHERE CDFILIAL = '0001' AND CDLOJA = '01'",
         "UPDATE LOJA SET IDOBRIGAOBSCAN = 'S  ' WHERE CDFILIAL = '0001' AND CDLOJA = '01'",
         [] { return getObrigaObsCan(w("0001"), w("01")); }, "S"},
        {"a control kind that would read as another",
         "UPDATE OCORRENCIA SET IDCONTROLAOBS = 'AB' WHERE CDGRPOCOR = '01' AND CDOCORR = '33'",
         "ALTER TABLE OCORRENCIA ALTER COLUMN IDCONTROLAOBS TYPE VARCHAR(2);"
         "UPDATE OCORRENCIA SET IDCONTROLAOBS = 'AB' WHERE CDGRPOCOR = '01' AND CDOCORR = '33'",
         [] { return getOcorPed(w("0001"), w("01"), w("1004")).asText(); },
         "Erro no banco de dados: adqOcorPed: 'AB' in field 'IDCONTROLAOBS' is longer than its "
         "1 characters."},
        {"a control character in a description",
         "UPDATE OCORRENCIA SET DSOCORR = 'SEM' || " + control
             + " || 'CEBOLA' WHERE CDGRPOCOR = '01' AND CDOCORR = '01'",
         "UPDATE OCORRENCIA SET DSOCORR = 'SEM' || chr(1) || 'CEBOLA' "
         "WHERE CDGRPOCOR = '01' AND CDOCORR = '01'",
         [] {
             const Packet list = packetOf(getOcorPed(w("0001"), w("01"), w("1001")));
             return std::to_string(list.rows.size()) + " rows, "
                    + (list.rows.empty() ? "" : std::get<std::string>(list.rows[0][3]));
         },
         "32 rows, SEM CEBOLA"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        run(engine == Engine::Sqlite ? c.onSqlite : c.onServer);
        EXPECT_EQ(c.read(), c.expected);
    }
}

// A list's codes, or the error text in its place.
std::string answer(const Variant& list)
{
    return list.isPacket() ? "codes " + joined(codesOf(list)) : list.asText();
}

// Rows or arguments a list could not tell apart are an error naming them, never a list in
// which a press picks one row and records another. Each case changes the store for the
// ones after it.
TEST_P(ListsTest, DataThatCannotBeToldApartIsAnError)
{
    const std::string withoutKey = // as a store set up by hand may be
        "CREATE TABLE KEYLESS AS SELECT * FROM {T}; DROP TABLE {T}; "
        "ALTER TABLE KEYLESS RENAME TO {T}";
    const auto keyless = [&](const std::string& table) {
        std::string sql = withoutKey;
        for (auto at = sql.find("{T}"); at != std::string::npos; at = sql.find("{T}"))
            sql.replace(at, 3, table);
        return sql;
    };
    const std::vector<
        std::tuple<const char*, std::string, std::function<std::string()>, std::string>>
        cases = {
            {"codes with no code-page form, both read as ?",
             "INSERT INTO OCORRENCIA (CDGRPOCOR, CDOCORR, CDTIPRISCO, DSOCORR, CDPRODUTO, "
             "IDCONTROLAOBS) VALUES ('01', '🍔', '00', 'HAMBURGUER DUPLO', NULL, 'N'), "
             "('01', '😀', '00', 'EXTRA QUEIJO PAGO', '2001', 'A');"
             "INSERT INTO PRODOCORRE (CDGRPOCOR, CDOCORR, CDPRODUTO) VALUES ('01', '🍔', '1002'), "
             "('01', '😀', '1002')", // 2001 is priced 4.50
             [] { return answer(getOcorPed(w("0001"), w("01"), w("1002"))); },
             "Erro no banco de dados: adqOcorPed: '?' in field 'CDOCORR' holds a character with "
             "no Windows-1252 form."},
            {"a product argument with no code-page form", "",
             [] { return answer(getOcorPed(w("0001"), w("01"), w("1001😀"))); },
             "Erro no banco de dados: getOcorPed: the argument P_CDPRODUTO holds a character "
             "with no Windows-1252 form."},
            {"a branch argument with no code-page form", "",
             [] { return getObrigaObsCan(w("0001😀"), w("01")); },
             "Erro no banco de dados: getObrigaObsCan: the argument P_CDFILIAL holds a character "
             "with no Windows-1252 form."},
            {"one code with two descriptions",
             keyless("OCORRENCIA")
                 + "; INSERT INTO OCORRENCIA (CDGRPOCOR, CDOCORR, CDTIPRISCO, DSOCORR, CDPRODUTO, "
                   "IDCONTROLAOBS) VALUES ('04', '01', '00', 'DESCONTO DE FUNCIONARIO', NULL, 'N')",
             [] { return answer(getOcorDesc(w("0001"), w("01"))); },
             "Erro no banco de dados: adqOcorDesc: the occurrence code '01' names two "
             "occurrences ('CLIENTE FIDELIDADE' and 'DESCONTO DE FUNCIONARIO')."},
            {"two LOJA rows for one branch and store",
             keyless("LOJA")
                 + "; INSERT INTO LOJA (CDFILIAL, CDLOJA, NMLOJA, CDGRPOCORCAN, CDGRPOCORCANCUP, "
                   "CDGRPOCORPED, CDGRPOCORDESC, IDOBRIGAOBSCAN) VALUES ('0001', '02', 'OUTRA', "
                   "'03', '05', '06', '04', 'S')",
             [] { return answer(getOcorPed(w("0001"), w("02"), w("1001"))); },
             "Erro no banco de dados: adqOcorPed: LOJA holds more than one row for branch "
             "'0001' and store '02'."},
            {"two LOJA rows, and the flag read from them", "",
             [] { return getObrigaObsCan(w("0001"), w("02")); },
             "Erro no banco de dados: adqObrigaObsCan: LOJA holds more than one row for branch "
             "'0001' and store '02'."},
        };
    for (const auto& [what, sql, read, expected] : cases) {
        SCOPED_TRACE(what);
        if (!sql.empty())
            run(sql);
        EXPECT_EQ(read(), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, ListsTest, ::testing::ValuesIn(storeBackends()),
                         [](const ::testing::TestParamInfo<std::string>& backend) {
                             return backend.param;
                         });

} // namespace
} // namespace kzt::test
