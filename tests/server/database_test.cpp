// The database layer on its own: statement rewrite, parameter names, connect events,
// typed reads and the errors they raise.

#include "tests/support/store.h"
#include "tests/support/tempdir.h"

#include "platform/database.h"
#include "platform/process.h"
#include "platform/text.h"

#include <gtest/gtest.h>

namespace kzt::test {
namespace {

TEST(RewriteForBackend, AdaptsOnlyTheNullFunction)
{
    struct Case {
        const char* backend;
        const char* sql;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"sqlite3", "SELECT ISNULL(MAX(NRSEQVENDA),'0000000000')", "SELECT IFNULL(MAX(NRSEQVENDA),'0000000000')"},
        {"postgresql", "SELECT ISNULL(MAX(N),'0')", "SELECT COALESCE(MAX(N),'0')"},
        {"odbc", "SELECT ISNULL(MAX(N),'0')", "SELECT ISNULL(MAX(N),'0')"},
        {"sqlite3", "select isnull (a, b), IsNull(c,d)", "select IFNULL (a, b), IFNULL(c,d)"},
        {"sqlite3", "SELECT 'ISNULL(' || X FROM T", "SELECT 'ISNULL(' || X FROM T"},
        {"sqlite3", "SELECT MYISNULL(X), ISNULL_X(Y)", "SELECT MYISNULL(X), ISNULL_X(Y)"},
        {"sqlite3", "WHERE X ISNULL AND Y = 1", "WHERE X ISNULL AND Y = 1"},
        {"sqlite3", "ISNULL(ISNULL(A,B),C)", "IFNULL(IFNULL(A,B),C)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rewriteForBackend(c.backend, c.sql), c.expected) << c.backend << ": " << c.sql;
}

TEST(QueryParams, NamesInOrderOfFirstUse)
{
    Connection connection;
    Query query("adqTeste", connection);
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
        {{"WHERE (LJ.CDFILIAL =:P_CDFILIAL)", "AND (LJ.CDLOJA =:P_CDLOJA)"}, {"P_CDFILIAL", "P_CDLOJA"}},
        {{"AND ((PR.CDPRODUTO =:P_CDPRODUTO) OR (:P_TCDPRODUTO = 'T'))"}, {"P_CDPRODUTO", "P_TCDPRODUTO"}},
        {{"WHERE A = :P_A AND B = :P_A OR C=:P_C"}, {"P_A", "P_C"}},
        {{"WHERE A = ':P_QUOTED' AND B = \"X:Y\" AND C = X::TEXT AND D = :P_D"}, {"P_D"}},
        {{"SELECT 1"}, {}},
    };
    for (const auto& [lines, names] : cases) {
        query.setSql(lines);
        EXPECT_EQ(query.paramNames(), names) << lines.front();
    }
}

class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = createStore(dir.path(), false);
        execSql(db, "CREATE TABLE T (ID INTEGER, NOME VARCHAR(40), VALOR FLOAT, TEXTO VARCHAR(20))");
        connection.setConnectionString(utf8ToUtf16(sqliteConnection(db)));
    }
    TempDir dir;
    std::string db;
    Connection connection{"adcTeste"};
};

TEST_F(DatabaseTest, ConnectEventsRunOnceAroundEachOpen)
{
    std::vector<std::string> events;
    connection.beforeConnect = [&](Connection& c) {
        events.push_back("before");
        EXPECT_FALSE(c.connected());
    };
    connection.afterConnect = [&](Connection& c) {
        events.push_back("after:" + c.backendName());
    };
    connection.setConnected(true);
    connection.setConnected(true);
    EXPECT_EQ(events, (std::vector<std::string>{"before", "after:sqlite3"}));
    connection.setConnected(false);
    EXPECT_EQ(connection.backendName(), "");
    connection.setConnected(true);
    EXPECT_EQ(events.size(), 4u);
}

TEST_F(DatabaseTest, FailedOpenLeavesTheConnectionClosed)
{
    struct Case {
        std::string connectionString;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"", "No connection string was given."},
        {"db=x.db", "Invalid connection string \"db=x.db\": expected backend://parameters."},
        {"sqlite3://db=" + dir.file("none.db"), "Database file not found: " + dir.file("none.db")},
        {"nosuch://db=x", "Failed to find shared library for backend nosuch"},
    };
    for (const auto& c : cases) {
        bool afterRan = false;
        connection.afterConnect = [&](Connection&) { afterRan = true; };
        connection.beforeConnect = [&](Connection& self) {
            self.setConnectionString(utf8ToUtf16(c.connectionString));
        };
        try {
            connection.setConnected(true);
            ADD_FAILURE() << "opened " << c.connectionString;
        } catch (const DatabaseError& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, c.message.size()), c.message);
        }
        EXPECT_FALSE(connection.connected());
        EXPECT_FALSE(afterRan);
        EXPECT_THROW(connection.session(), DatabaseError);
    }
    EXPECT_FALSE(fileExists(dir.file("none.db")));
}

TEST_F(DatabaseTest, FailedSessionPreparationClosesAgain)
{
    connection.afterConnect = [](Connection&) { throw DatabaseError("session refused"); };
    EXPECT_THROW(connection.setConnected(true), DatabaseError);
    EXPECT_FALSE(connection.connected());
}

TEST_F(DatabaseTest, TypedColumnsAndCodePageAtTheEdge)
{
    execSql(db, "INSERT INTO T VALUES (1, 'AÇÚCAR MASCAVO', 2.5, '7'),"
                " (2, 'XXXXXXXXXXÇÇÇÇÇÇÇÇÇÇ', NULL, 'sete'), (3, NULL, 3, '')");
    Query query("adqT", connection);
    query.setSql({"SELECT ID, NOME, VALOR, TEXTO", "FROM T", "WHERE ID >= :P_ID", "ORDER BY ID"});
    query.addColumn({"ID", FieldType::Integer, 0});
    query.addColumn({"NOME", FieldType::String, 15});
    query.addColumn({"VALOR", FieldType::Float, 0});
    query.addColumn({"TEXTO", FieldType::String, 4});
    query.setParam("P_ID", std::string("1"));
    query.open();
    ASSERT_EQ(query.recordCount(), 3);

    EXPECT_EQ(query.fieldAsText("NOME"), utf8ToCp1252("AÇÚCAR MASCAVO"));
    EXPECT_EQ(query.fieldAsText("VALOR"), "2.5");
    EXPECT_EQ(query.fieldAsInteger("VALOR"), 3);
    EXPECT_EQ(query.fieldAsInteger("TEXTO"), 7);
    query.next();
    // Cut to the declared width in characters, not in the stored UTF-8 bytes.
    EXPECT_EQ(query.fieldAsText("NOME"), utf8ToCp1252("XXXXXXXXXXÇÇÇÇÇ"));
    EXPECT_TRUE(query.fieldIsNull("VALOR"));
    EXPECT_EQ(query.fieldAsFloat("VALOR"), 0.0);
    try {
        query.fieldAsInteger("TEXTO");
        ADD_FAILURE() << "read 'sete' as an integer";
    } catch (const DatabaseError& e) {
        EXPECT_STREQ(e.what(), "adqT: 'sete' in field 'TEXTO' is not a valid integer.");
    }
    query.next();
    EXPECT_EQ(query.fieldAsText("NOME"), "");
    EXPECT_EQ(query.fieldAsText("VALOR"), "3");
    query.next();
    EXPECT_TRUE(query.eof());
    EXPECT_TRUE(query.fieldIsNull("NOME"));  // past the last row reads as null

    const Packet packet = query.toPacket();
    EXPECT_EQ(packet.fields[1], (PacketField{"NOME", FieldType::String, 15}));
    EXPECT_EQ(packet.rows[1][0], CellValue(std::int64_t{2}));
    EXPECT_EQ(packet.rows[2][1], CellValue());

    try {
        query.fieldAsText("OUTRO");
        ADD_FAILURE() << "read an undeclared field";
    } catch (const DatabaseError& e) {
        EXPECT_STREQ(e.what(), "adqT: field 'OUTRO' not found.");
    }
}

TEST_F(DatabaseTest, ReadsResultsLongerThanOneFetch)
{
    execSql(db, "WITH RECURSIVE N(I) AS (SELECT 1 UNION ALL SELECT I + 1 FROM N WHERE I < 1300)"
                " INSERT INTO T (ID, NOME) SELECT I, 'NOME ' || I FROM N");
    Query query("adqT", connection);
    query.setSql({"SELECT ID, NOME FROM T ORDER BY ID"});
    query.addColumn({"ID", FieldType::Integer, 0});
    query.addColumn({"NOME", FieldType::String, 40});
    query.open();
    ASSERT_EQ(query.recordCount(), 1300);
    std::int64_t expected = 1;
    for (query.first(); !query.eof(); query.next(), ++expected) {
        ASSERT_EQ(query.fieldAsInteger("ID"), expected);
        ASSERT_EQ(query.fieldAsText("NOME"), "NOME " + std::to_string(expected));
    }
}

TEST_F(DatabaseTest, ErrorsNameTheQueryStatementAndValues)
{
    Query query("adqX", connection);
    query.setSql({"SELECT A", "FROM NENHUMA", "WHERE B = :P_B"});
    query.addColumn({"A", FieldType::String, 1});
    try {
        query.open();
        ADD_FAILURE() << "opened a query without its parameter";
    } catch (const DatabaseError& e) {
        EXPECT_STREQ(e.what(), "adqX: parameter P_B has no value.");
    }
    query.setParam("P_B", utf8ToUtf16("O'BRIEN"));
    try {
        query.open();
        ADD_FAILURE() << "opened a missing table";
    } catch (const DatabaseError& e) {
        EXPECT_EQ(e.driverMessage(), "no such table: NENHUMA");
        EXPECT_EQ(e.statement(), "SELECT A\nFROM NENHUMA\nWHERE B = :P_B");
        EXPECT_EQ(e.parameters(), "P_B='O'BRIEN'");
        EXPECT_STREQ(e.what(), "no such table: NENHUMA (while opening adqX)");
    }
    EXPECT_FALSE(query.active());
    Provider provider("dspX", query);
    try {
        provider.data();
        ADD_FAILURE() << "a closed query gave a packet";
    } catch (const DatabaseError& e) {
        EXPECT_STREQ(e.what(), "dspX: the query adqX is not open.");
    }
}

} // namespace
} // namespace kzt::test
