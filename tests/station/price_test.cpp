// The price lookup against a real store database: each way it fails, and what a success
// leaves in the price dataset.

#include "station/companion/pricelookup.h"

#include "host/companion.h"
#include "host/hostlib.h"
#include "platform/process.h"
#include "server/Srv_kzt00318.h"
#include "station/hostlib/presentation.h"
#include "tests/support/fakepresentation.h"
#include "tests/support/store.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

namespace {

using kzt::test::TempDir;

struct PriceCase {
    const char* name;
    const char* filial;
    const char* loja;
    const char* produto;
    kzt::Variant expected;
};

TEST(PriceLookup, FailureCodesAndSuccessAgainstTheStore)
{
    TempDir dir;
    const std::string db = kzt::test::createStore(dir.path(), true);
    kzt::test::execSql(db, "INSERT INTO PRECOPROD VALUES ('0001', '01', '3001', -2.5, 'N');"
                           "INSERT INTO PRECOPROD VALUES ('0001', '01', '3002', NULL, NULL);"
                           "INSERT INTO PRECOPROD VALUES ('0001', '01', '3003', 0.01, 's');");
    const PriceCase cases[] = {
        {"priced", "0001", "01", "2001", kzt::Variant(true)},
        {"no row", "0001", "01", "2003", kzt::Variant("PRECNCAD")},
        {"another branch has no row", "0002", "01", "2001", kzt::Variant("PRECNCAD")},
        {"another store has no row", "0001", "02", "2010", kzt::Variant("PRECNCAD")},
        {"blocked", "0001", "01", "2005", kzt::Variant("BLOQUEADO")},
        {"price zero", "0001", "01", "2004", kzt::Variant("PRECZERO")},
        {"negative price", "0001", "01", "3001", kzt::Variant("PRECZERO")},
        {"null price", "0001", "01", "3002", kzt::Variant("PRECZERO")},
        {"only an upper-case S blocks", "0001", "01", "3003", kzt::Variant(true)},
        {"trailing blanks are no part of a code", "0001 ", "01  ", "2001 ", kzt::Variant(true)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        kzt::ClientDataSet precos("cdsRetornaPreco");
        EXPECT_EQ(companion::lookUpPrice(kzt::test::sqliteConnection(db), c.filial, c.loja,
                                         c.produto, precos),
                  c.expected);
        EXPECT_EQ(precos.active(), c.expected == kzt::Variant(true));
    }
}

TEST(PriceLookup, SuccessLeavesThisLookupsRowAlone)
{
    TempDir dir;
    const std::string db = kzt::test::createStore(dir.path(), true);
    kzt::ClientDataSet precos("cdsRetornaPreco");
    companion::declarePriceFields(precos);
    precos.createDataSet();
    ASSERT_EQ(companion::lookUpPrice(kzt::test::sqliteConnection(db), "0001", "01", "2002", precos),
              kzt::Variant(true));
    ASSERT_EQ(companion::lookUpPrice(kzt::test::sqliteConnection(db), "0001", "01", "2001", precos),
              kzt::Variant(true));
    ASSERT_EQ(precos.recordCount(), 1);
    precos.first();
    EXPECT_DOUBLE_EQ(precos.fieldByName("VRPRECO").asFloat(), 4.5);
    for (const char* name : {"VRDESCONTO", "VRACRESCIMO", "VRPRECOCLIE", "VRPRECODIA"})
        EXPECT_DOUBLE_EQ(precos.fieldByName(name).asFloat(), 0.0) << name;
    for (const char* name : {"IDPRECVARIA", "IDPERCVALOR", "IDACREDESC"})
        EXPECT_EQ(precos.fieldByName(name).asString(), "N") << name;
    std::vector<std::string> names;
    for (const auto& f : precos.fields())
        names.push_back(f.name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"VRPRECO", "VRDESCONTO", "VRACRESCIMO", "VRPRECOCLIE",
                                        "IDPRECVARIA", "IDPERCVALOR", "IDACREDESC", "VRPRECODIA"}));
}

TEST(PriceLookup, DatabaseErrorFailsWithTheDriversText)
{
    TempDir dir;
    const std::string db = dir.file("store.db");
    kzt::test::execSql(db, "CREATE TABLE OUTRA (X INTEGER);");
    kzt::ClientDataSet precos("cdsRetornaPreco");
    const kzt::Variant result =
        companion::lookUpPrice(kzt::test::sqliteConnection(db), "0001", "01", "2001", precos);
    ASSERT_TRUE(result.isText());
    EXPECT_NE(result.asText().find("no such table: PRECOPROD"), std::string::npos)
        << result.asText();
    EXPECT_FALSE(precos.active());
}

TEST(PriceLookup, TheRoutineReadsTheHostsStoreAndPassesTheCheck)
{
    TempDir dir;
    const std::string db = kzt::test::createStore(dir.path(), true);
    kzt::test::useStation(dir.path(), db);
    kzt::test::FakePresentation fake; // no price answer: the database is read
    struct Case {
        const char* produto;
        const char* failure; // nullptr: passes
    };
    const Case cases[] = {
        {"2002", nullptr}, {"2003", "PRECNCAD"}, {"2005", "BLOQUEADO"}, {"2004", "PRECZERO"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.produto);
        const kzt::Variant params[] = {
            kzt::Variant("0001"), kzt::Variant(""), kzt::Variant(c.produto), kzt::Variant("01"),
            kzt::Variant(""),     kzt::Variant(""), kzt::Variant("")};
        kzt::ClientDataSet precos("cdsRetornaPreco");
        kzt::Variant retorno;
        const kzt::Variant result = host::ChamaFuncaoGetRetornaPreco(params, 6, precos, retorno);
        try {
            host::CheckResultServ(result, true, 0);
            EXPECT_EQ(c.failure, nullptr) << "passed";
        } catch (const kzt::Error& e) {
            ASSERT_NE(c.failure, nullptr) << e.message();
            EXPECT_EQ(e.message(), c.failure);
        }
    }
    kzt::test::resetStation();
}

// A host whose name asks for the code "212" store: the price comes from that store,
// whether the module connected before the lookup or not.
TEST(PriceLookup, ReadsTheStoreTheModuleChose)
{
    TempDir dir;
    TempDir other;
    const std::string store = kzt::test::createStore(dir.path(), true);
    const std::string store212 = kzt::test::createStore(other.path(), true);
    kzt::test::execSql(store212, "UPDATE PRECOPROD SET VRPRECO = 0 WHERE CDPRODUTO = '2002'");
    struct Case {
        const char* exe;
        bool moduleFirst;
        const char* failure; // nullptr: priced
    };
    const Case cases[] = {{"/pdv/KRB.EXE", true, "PRECZERO"},
                          {"/pdv/KRB.EXE", false, "PRECZERO"},
                          {"/pdv/caixa", true, nullptr}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.exe) + (c.moduleFirst ? ", module connected" : ""));
        kzt::test::useStation(dir.path(), store);
        kzt::setHostExecutablePath(c.exe);
        host::setConnectionString("212", kzt::test::sqliteConnection(store212));
        kzt::test::FakePresentation fake;
        if (c.moduleFirst) {
            ASSERT_EQ(Srv_kzt00318::getObrigaObsCan(u"0001", u"01"), "S");
        }
        const kzt::Variant params[] = {kzt::Variant("0001"), kzt::Variant(""), kzt::Variant("2002"),
                                       kzt::Variant("01"),   kzt::Variant(""), kzt::Variant(""),
                                       kzt::Variant("")};
        kzt::ClientDataSet precos("cdsRetornaPreco");
        kzt::Variant retorno;
        const kzt::Variant result = host::ChamaFuncaoGetRetornaPreco(params, 6, precos, retorno);
        EXPECT_EQ(result, c.failure ? kzt::Variant(c.failure) : kzt::Variant(true));
    }
    kzt::test::resetStation();
}

} // namespace
