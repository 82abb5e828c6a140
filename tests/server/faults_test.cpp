// A store that cannot be read: every routine but getQtMaxObserv answers with the error
// text in place of its value; getQtMaxObserv raises. Then the connection and its string.

#include "tests/server/storefixture.h"
#include "tests/support/fakepresentation.h"

#include "server/Srv_kzt00318.h"
#include "server/rdmobservacao.h"

#include "host/settings.h"
#include "platform/db/database.h"
#include "platform/process.h"

#include <fstream>
#include <functional>

namespace kzt::test {
namespace {

using namespace Srv_kzt00318;

class StoreFaultTest : public ::testing::Test {
protected:
    void TearDown() override { resetStation(); }
    void pointAt(const std::string& connectionString)
    {
        useStation(dir.path(), "unused");
        host::setConnectionString("", connectionString);
        host::setConnectionString("212", connectionString);
    }
    TempDir dir;
};

struct FaultCase {
    const char* what;
    std::function<std::string(const std::string& dir)> prepare; // gives the connection
    const char* driverText;
    bool staysOpen; // the driver opened the store; only the statements fail
};

std::string sampleStore(const std::string& dir)
{
    return sqliteConnection(createStore(dir, true));
}

std::string withoutTable(const std::string& dir, const char* table)
{
    const std::string db = createStore(dir, true);
    execSql(db, std::string("DROP TABLE ") + table);
    return sqliteConnection(db);
}

TEST_F(StoreFaultTest, EveryRoutineReportsTheDriversText)
{
    const std::vector<FaultCase> cases = {
        {"a file that is not a database",
         [](const std::string& d) {
             std::ofstream(d + "/store.db") << "these are the till's notes, not a database\n";
             return sqliteConnection(d + "/store.db");
         },
         "file is not a database", true},
        {"a missing store file",
         [](const std::string& d) { return sqliteConnection(d + "/none.db"); },
         "Database file not found: ", false},
        {"a connection string without a backend",
         [](const std::string&) { return std::string("store.db"); },
         "Invalid connection string \"store.db\": expected backend://parameters.", false},
        {"an unknown backend", [](const std::string&) { return std::string("nosuch://db=x"); },
         "Failed to find shared library for backend nosuch", false},
        {"every table missing",
         [](const std::string& d) {
             const std::string db = createStore(d, false);
             execSql(db, "DROP TABLE OCORRENCIA; DROP TABLE VENDA; DROP TABLE LOJA; "
                         "DROP TABLE PRODUTO");
             return sqliteConnection(db);
         },
         "no such table: ", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir store;
        pointAt(c.prepare(store.path()));
        const std::string expected = std::string("Erro no banco de dados: ") + c.driverText;
        const std::vector<std::pair<const char*, Variant>> results = {
            {"getOcorCanc", getOcorCanc(u"0001", u"01")},
            {"getOcorPed", getOcorPed(u"0001", u"01", u"1001")},
            {"getOcorCancProd", getOcorCancProd(u"0001", u"01", u"1001")},
            {"getOcorDesc", getOcorDesc(u"0001", u"01")},
            {"getNrSeqVenda", Variant(getNrSeqVenda(u"0001", u"001"))},
            {"getObrigaObsCan", Variant(getObrigaObsCan(u"0001", u"01"))},
        };
        for (const auto& [routine, result] : results) {
            ASSERT_EQ(result.type(), Variant::Type::Text) << routine;
            EXPECT_EQ(result.asText().rfind(expected, 0), 0u) << routine << ": " << result.asText();
        }
        try {
            getQtMaxObserv("1001");
            ADD_FAILURE() << "getQtMaxObserv returned";
        } catch (const DatabaseError& e) {
            EXPECT_NE(e.driverMessage().find(c.driverText), std::string::npos) << e.what();
        }
        ASSERT_NE(rdmObservacao, nullptr);
        EXPECT_EQ(rdmObservacao->adcObs.connected(), c.staysOpen);
    }
}

TEST_F(StoreFaultTest, EachMissingTableIsNamed)
{
    const std::vector<std::pair<const char*, std::function<std::string()>>> cases = {
        {"OCORRENCIA", [] { return getOcorPed(u"0001", u"01", u"1001").asText(); }},
        {"PRODOCORRE", [] { return getOcorCancProd(u"0001", u"01", u"1001").asText(); }},
        {"GRUPOCOR", [] { return getOcorCanc(u"0001", u"01").asText(); }},
        {"LOJA", [] { return getObrigaObsCan(u"0001", u"01"); }},
        {"VENDA", [] { return getNrSeqVenda(u"0001", u"001"); }},
    };
    for (const auto& [table, call] : cases) {
        TempDir store;
        pointAt(withoutTable(store.path(), table));
        EXPECT_EQ(call(), std::string("Erro no banco de dados: no such table: ") + table);
    }
}

TEST_F(StoreFaultTest, AStoreThatComesBackIsUsedOnTheNextCall)
{
    pointAt(sqliteConnection(dir.file("store.db")));
    EXPECT_FALSE(getOcorDesc(u"0001", u"01").isPacket());
    createStore(dir.path(), true);
    EXPECT_EQ(codesOf(getOcorDesc(u"0001", u"01")), codeRange(1, 6));
}

TEST_F(StoreFaultTest, RoutinesCalledBeforeAnyDialogCreateTheDataModule)
{
    pointAt(sampleStore(dir.path()));
    ASSERT_EQ(rdmObservacao, nullptr);
    EXPECT_EQ(getQtMaxObserv("1002"), 0);
    ASSERT_NE(rdmObservacao, nullptr);
    EXPECT_TRUE(rdmObservacao->adcObs.connected());
}

// The host's executable name picks the connection: "212" holds the store, the default
// one a missing file, so the answer shows which string was used.
TEST_F(StoreFaultTest, ExecutableNameChoosesTheConnection)
{
    const std::vector<std::pair<const char*, bool>> cases = {
        {"/opt/pdv/KRB.EXE", true},
        {"/opt/pdv/krb.exe", true},
        {"C:/Caixa/KrB.ExE", true},
        {"/opt/pdv/LXN.EXE", true},
        {"/lxn.exe", true},
        {"KRB.EXE", true},
        {"/opt/pdv/KRB.EXE.OLD", false},
        {"/opt/pdv/XKRB.EXE", false},
        {"/opt/KRB.EXE/caixa", false},
        {"/opt/pdv/KRB.EX", false},
        {"/opt/pdv/KRB", false},
        {"/opt/pdv/KRB.EXE ", false},
    };
    const std::string store = sampleStore(dir.path());
    for (const auto& [exe, uses212] : cases) {
        SCOPED_TRACE(exe);
        resetStation();
        kzt::setHostExecutablePath(exe);
        host::setConnectionString("", sqliteConnection(dir.file("missing.db")));
        host::setConnectionString("212", store);
        EXPECT_EQ(getObrigaObsCan(u"0001", u"01") == "S", uses212)
            << getObrigaObsCan(u"0001", u"01");
    }
}

TEST_F(StoreFaultTest, AnOpenConnectionIsNeitherFetchedNorPreparedAgain)
{
    pointAt(sampleStore(dir.path()));
    FakePresentation person;
    getOcorCanc(u"0001", u"01");
    host::setConnectionString("", "nosuch://");
    getOcorPed(u"0001", u"01", u"1001");
    EXPECT_EQ(getQtMaxObserv("1001"), 2);
    int fetched = 0;
    int prepared = 0;
    for (const auto& [call, args] : person.traced) {
        fetched += call == "_GetStringConexQtr";
        prepared += call == "SetADODBSession";
    }
    EXPECT_EQ(fetched, 1);
    EXPECT_EQ(prepared, 1);
}

} // namespace
} // namespace kzt::test
