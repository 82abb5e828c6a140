// The database layer on its own: statement rewrite, parameter names, connect events,
// typed reads and the errors they raise.

#include "tests/support/silentserver.h"
#include "tests/support/store.h"
#include "tests/support/tempdir.h"

#include "platform/db/connectionstring.h"
#include "platform/db/database.h"
#include "platform/process.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <tuple>

#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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
        {"sqlite3", "SELECT ISNULL(MAX(NRSEQVENDA),'0000000000')",
         "SELECT IFNULL(MAX(NRSEQVENDA),'0000000000')"},
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

TEST(SqlDialect, TheEngineDecidesTheSpelling)
{
    const std::vector<std::tuple<const char*, std::function<std::string()>, std::string>> cases = {
        {"ODBC to SQL Server keeps ISNULL(",
         [] { return rewriteForEngine(engineOfDbmsName("Microsoft SQL Server"), "ISNULL(A,'0')"); },
         "ISNULL(A,'0')"},
        {"ODBC to PostgreSQL",
         [] { return rewriteForEngine(engineOfDbmsName("PostgreSQL"), "ISNULL(A,'0')"); },
         "COALESCE(A,'0')"},
        {"ODBC to SQLite",
         [] { return rewriteForEngine(engineOfDbmsName("SQLite"), "ISNULL(A,'0')"); },
         "IFNULL(A,'0')"},
        {"any other engine: standard SQL",
         [] { return rewriteForEngine(engineOfDbmsName("MySQL"), "ISNULL(A,'0')"); },
         "COALESCE(A,'0')"},
        {"column types for PostgreSQL",
         [] {
             return translateColumnTypes(Engine::PostgreSql, "D DATETIME, E DATETIME2, 'DATETIME'");
         },
         "D TIMESTAMP, E DATETIME2, 'DATETIME'"},
        {"column types kept for SQL Server",
         [] { return translateColumnTypes(Engine::SqlServer, "D DATETIME"); }, "D DATETIME"},
        {"a script in statements",
         [] {
             std::string out;
             for (const auto& st : splitStatements("A 'x;y'; -- note; z\n B;\n ; "))
                 out += "[" + st + "]";
             return out;
         },
         "[A 'x;y'][ \n B]"},
    };
    for (const auto& [what, rewrite, expected] : cases)
        EXPECT_EQ(rewrite(), expected) << what;
}

// How a connection string is taken apart: the limits, the one SQLite file, what the
// backend is handed.
TEST(ConnectionString, TakenApartOnce)
{
    struct Case {
        std::string text;
        std::string parameters; // what the backend gets ("" when only the file matters)
        std::string file;       // sqlite3: the file checked and opened
        int connectTimeout;
        int queryTimeout;
        std::string backend = "";
    };
    // PostgreSQL sessions are named after the host program.
    setHostExecutablePath("/opt/loja/pdv");
    const std::vector<Case> cases = {
        {"sqlite3://db=/a/one.db db=/b/two.db", "timeout=15 db=file:///b/two.db?mode=rw",
         "/b/two.db", 10, 15},
        {"sqlite3://db=file:/a/b%20c.db?cache=shared&mode=rwc",
         "timeout=15 db=file:///a/b%20c.db?mode=rw&cache=shared", "/a/b c.db", 10, 15},
        {"sqlite3://db=file://localhost/a/x.db readonly=1",
         "readonly=1 timeout=15 db=file:///a/x.db?mode=ro", "/a/x.db", 10, 15},
        {"sqlite3:///a/plain.db", "timeout=15 db=file:///a/plain.db?mode=rw", "/a/plain.db", 10,
         15},
        {"sqlite3://db=/a/x.db timeout=2 connect_timeout=3 query_timeout=4",
         "timeout=2 db=file:///a/x.db?mode=rw", "/a/x.db", 3, 4},
        {"sqlite3://db=/a/x.db query_timeout=30", "timeout=30 db=file:///a/x.db?mode=rw", "/a/x.db",
         10, 30},
        // The backend's own wait for a lock never outlasts the query limit.
        {"sqlite3://db=/a/x.db query_timeout=2 timeout=30", "timeout=2 db=file:///a/x.db?mode=rw",
         "/a/x.db", 10, 2},
        {"sqlite3://db=/a/x.db timeout=900", "timeout=15 db=file:///a/x.db?mode=rw", "/a/x.db", 10,
         15},
        {"postgresql://dbname=k host=/tmp",
         "dbname=k host=/tmp connect_timeout=10 client_encoding=UTF8 application_name=kzt00318/pdv",
         "", 10, 15, "postgresql"},
        {"postgresql://dbname=k client_encoding=LATIN1 connect_timeout = 2",
         "dbname=k client_encoding=LATIN1 connect_timeout=2 client_encoding=UTF8 "
         "application_name=kzt00318/pdv",
         "", 2, 15},
        {"postgresql://postgresql://u@h/db?query_timeout=5&sslmode=off",
         "postgresql://u@h/db?sslmode=off&connect_timeout=10&client_encoding=UTF8&application_"
         "name=kzt00318/pdv",
         "", 10, 5},
        // libpq URIs as people type them, our limits among their parameters
        {"postgresql://postgres@/loja?host=/tmp/pg&port=5499&connect_timeout=3&query_timeout=4",
         "postgresql://postgres@/loja?host=/tmp/pg&port=5499&connect_timeout=3&client_encoding="
         "UTF8&application_name=kzt00318/pdv",
         "", 3, 4, "postgresql"},
        {"postgres://u:pw@db.loja.lan:5433/loja",
         "postgresql://u:pw@db.loja.lan:5433/loja?connect_timeout=10&client_encoding=UTF8&"
         "application_name=kzt00318/pdv",
         "", 10, 15, "postgresql"},
        {"postgres://host=h dbname=d application_name=caixa1",
         "host=h dbname=d application_name=caixa1 connect_timeout=10 client_encoding=UTF8", "", 10,
         15, "postgresql"},
        {"odbc://DSN=x;Query_Timeout=7;PWD={a;b}", "DSN=x;PWD={a;b}", "", 10, 7, "odbc"},
        {"odbc://loja", "loja", "", 10, 15, "odbc"},
        // PostgreSQL's driver gets the connect limit as libpq's, beside the caller's own.
        {"odbc://Driver=/lib/psqlodbcw.so;connect_timeout=3",
         "Driver=/lib/psqlodbcw.so;"
         "pqopt={connect_timeout=3}",
         "", 3, 15},
        {"odbc://Driver=/lib/psqlodbca.so;pqopt={sslmode=disable connect_timeout=60}",
         "Driver=/lib/psqlodbca.so;pqopt={sslmode=disable connect_timeout=60 connect_timeout=10}",
         "", 10, 15},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const ConnectionTarget target = parseConnectionString(c.text);
        EXPECT_EQ(target.parameters, c.parameters);
        EXPECT_EQ(target.sqliteFile, c.file);
        EXPECT_EQ(target.connectTimeout, c.connectTimeout);
        EXPECT_EQ(target.queryTimeout, c.queryTimeout);
        if (!c.backend.empty()) {
            EXPECT_EQ(target.backend, c.backend);
        }
    }
    setHostExecutablePath("");
    struct Refused {
        std::string text;
        std::string shown; // as the message quotes it
        std::string why;
    };
    const std::vector<Refused> refused = {
        {"postgresql://dbname=k connect_timeout=0", "postgresql://dbname=k connect_timeout=0",
         "connect_timeout needs a whole number of seconds from 1 to 3600, not '0'"},
        {"odbc://DSN=x;query_timeout=soon", "odbc://DSN=x;query_timeout=soon",
         "query_timeout needs a whole number of seconds from 1 to 3600, not 'soon'"},
        {"sqlite3://db=file://server/x.db", "sqlite3://db=file://server/x.db",
         "a file: URI names the host \"server\""},
        {"sqlite3://db=/a/x.db timeout=forever", "sqlite3://db=/a/x.db timeout=forever",
         "timeout needs a whole number of seconds, not 'forever'"},
        {"postgresql://user=u password=S3cretPw query_timeout=x",
         "postgresql://user=u password=*** query_timeout=x",
         "query_timeout needs a whole number of seconds from 1 to 3600, not 'x'"},
        {"odbc://DSN=x;Password={S3cret;Pw};query_timeout=x",
         "odbc://DSN=x;Password=***;query_timeout=x",
         "query_timeout needs a whole number of seconds from 1 to 3600, not 'x'"},
        {"sqlite3://db=/" + std::string(300, 'a') + " query_timeout=0",
         "sqlite3://db=/" + std::string(186, 'a') + "\x85",
         "query_timeout needs a whole number of seconds from 1 to 3600, not '0'"},
    };
    for (const auto& r : refused) {
        try {
            parseConnectionString(r.text);
            ADD_FAILURE() << "took " << r.text;
        } catch (const DatabaseError& e) {
            EXPECT_EQ(e.message(), "Invalid connection string \"" + r.shown + "\": " + r.why);
            EXPECT_EQ(e.category(), DatabaseError::Category::ConnectionFailed);
        }
    }
}

// Whatever quotes a connection string (a message, a trace, a reply) shows no secret of it.
TEST(ConnectionString, SecretsAreMasked)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"host=h password=S3cretPw dbname=d", "host=h password=*** dbname=d"},
        {"host=h password = 'a b\\' c' dbname=d", "host=h password = *** dbname=d"},
        {"DSN=x;UID=u;PWD={se;cr}}et};Server=s", "DSN=x;UID=u;PWD=***;Server=s"},
        {"DSN=x;Pwd=abc", "DSN=x;Pwd=***"},
        {"Driver=y;Password=abc;", "Driver=y;Password=***;"},
        {"Invalid connection string \"postgresql://password=abc\": why",
         "Invalid connection string \"postgresql://password=***\": why"},
        {"postgresql://u:secret@h:5432/db?sslmode=off", "postgresql://u:***@h:5432/db?sslmode=off"},
        {"postgres://h/db?password=secret&port=1", "postgres://h/db?password=***&port=1"},
        {"postgresql://u@h/db", "postgresql://u@h/db"},
        {"odbc://Driver={X};Server=h:1433;UID=u@x;PWD=p",
         "odbc://Driver={X};Server=h:1433;UID=u@x;PWD=***"},
        {"password=ab\"cd x", "password=*** x"},
        {R"({"connection": "pwd=ab\"c"}, "x": "password=d."})",
         R"({"connection": "pwd=***"}, "x": "password=***"})"},
        {"dbpassword=kept passwords=kept pwd", "dbpassword=kept passwords=kept pwd"},
    };
    for (const auto& [text, masked] : cases)
        EXPECT_EQ(maskedSecrets(text), masked) << text;
}

TEST(QueryParams, NamesInOrderOfFirstUse)
{
    Connection connection;
    Query query("adqTeste", connection);
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases = {
        {{"WHERE (LJ.CDFILIAL =:P_CDFILIAL)", "AND (LJ.CDLOJA =:P_CDLOJA)"},
         {"P_CDFILIAL", "P_CDLOJA"}},
        {{"AND ((PR.CDPRODUTO =:P_CDPRODUTO) OR (:P_TCDPRODUTO = 'T'))"},
         {"P_CDPRODUTO", "P_TCDPRODUTO"}},
        {{"WHERE A = :P_A AND B = :P_A OR C=:P_C"}, {"P_A", "P_C"}},
        {{"WHERE A = ':P_QUOTED' AND B = \"X:Y\" AND C = X::TEXT AND D = :P_D"}, {"P_D"}},
        {{"SELECT 1"}, {}},
    };
    for (const auto& [lines, names] : cases) {
        query.setSql(lines);
        EXPECT_EQ(query.paramNames(), names) << lines.front();
    }
}

TEST(ConnectionLimits, ASilentServerGivesAClearMessageWithinTheLimit)
{
    SilentServer server;
    const std::string port = std::to_string(server.port());
    const std::vector<std::string> cases = {
        "postgresql://host=127.0.0.1 port=" + port + " dbname=kzt user=kzt connect_timeout=1",
        // Through ODBC too: the driver gets the limit as its client library's own.
        "odbc://Driver=PostgreSQL Unicode;Servername=127.0.0.1;Port=" + port
            + ";Database=kzt;Username=kzt;connect_timeout=1",
    };
    for (const auto& text : cases) {
        SCOPED_TRACE(text);
        Connection connection("adcTeste");
        connection.setConnectionString(utf8ToUtf16(text));
        const auto start = std::chrono::steady_clock::now();
        try {
            connection.setConnected(true);
            ADD_FAILURE() << "connected to a server that never answers";
        } catch (const DatabaseError& e) {
            EXPECT_EQ(e.category(), DatabaseError::Category::Timeout) << e.what();
            EXPECT_STREQ(e.what(),
                         "The database server did not answer within 1 second (connecting).");
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        EXPECT_FALSE(connection.connected());
    }
}

// How many entries a folder of /proc/self has (its threads, its descriptors).
std::size_t entriesOf(const char* folder)
{
    const std::filesystem::directory_iterator entries(folder);
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

// A stopped server: every attempt given up at its limit ends soon after, in the driver
// too, leaving no thread or descriptor behind.
TEST(ConnectionLimits, AttemptsGivenUpLeaveNothingBehind)
{
    const SilentServer server(SilentServer::Kind::Frozen);
    const std::string port = std::to_string(server.port());
    Connection store("adcTeste");
    store.setConnectionString(
        utf8ToUtf16("odbc://Driver=PostgreSQL Unicode;Servername=127.0.0.1;Port=" + port
                    + ";Database=kzt;Username=kzt;connect_timeout=1;query_timeout=1"));
    const auto attempt = [&store] {
        try {
            store.setConnected(true);
            ADD_FAILURE() << "connected to a stopped server";
        } catch (const DatabaseError& e) {
            EXPECT_EQ(e.category(), DatabaseError::Category::Timeout) << e.what();
        }
    };
    // The first attempt loads what the driver keeps for the process.
    attempt();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const std::size_t threads = entriesOf("/proc/self/task");
    const std::size_t descriptors = entriesOf("/proc/self/fd");
    for (int i = 0; i < 30; ++i)
        attempt();
    // Within the limit plus two seconds of the last attempt.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while ((entriesOf("/proc/self/task") != threads || entriesOf("/proc/self/fd") != descriptors)
           && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(entriesOf("/proc/self/task"), threads);
    EXPECT_EQ(entriesOf("/proc/self/fd"), descriptors);
}

// Whether this process still has `path` open.
bool openHere(const std::string& path)
{
    std::error_code error;
    const auto wanted = std::filesystem::canonical(path, error);
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code unreadable;
        if (std::filesystem::read_symlink(entry.path(), unreadable) == wanted)
            return true;
    }
    return false;
}

class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = createStore(dir.path(), false);
        execSql(db,
                "CREATE TABLE T (ID INTEGER, NOME VARCHAR(40), VALOR FLOAT, TEXTO VARCHAR(20))");
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
    connection.afterConnect = [&](Connection& c) { events.push_back("after:" + c.backendName()); };
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
        {"sqlite3://db=file:" + dir.file("none.db"),
         "Database file not found: " + dir.file("none.db")},
        {"sqlite3://db=" + db + " db=" + dir.file("second.db"),
         "Database file not found: " + dir.file("second.db")},
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
    // The module never creates a store: the folder holds only the one the test made.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

// A library planted in the folder the process runs in, under the name SOCI gives an
// unknown backend's, is never loaded.
TEST_F(DatabaseTest, NoBackendIsLoadedFromTheCurrentFolder)
{
    Dl_info sqlite{};
    void* symbol = dlsym(RTLD_DEFAULT, "sqlite3_libversion");
    ASSERT_TRUE(symbol && dladdr(symbol, &sqlite)) << "SQLite is not loaded";
    TempDir here;
    std::filesystem::copy_file(sqlite.dli_fname, here.file("libsoci_planted.so.4.0"));
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(here.path());
    connection.beforeConnect = [](Connection& self) {
        self.setConnectionString(u"planted://db=x");
    };
    try {
        connection.setConnected(true);
        ADD_FAILURE() << "opened a planted backend";
    } catch (const DatabaseError& e) {
        EXPECT_STREQ(e.what(), "Failed to find shared library for backend planted");
    }
    std::filesystem::current_path(previous);
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
    EXPECT_TRUE(query.fieldIsNull("NOME")); // past the last row reads as null

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
        EXPECT_EQ(e.contexts(), std::vector<std::string>{"opening adqX"});
        EXPECT_EQ(e.category(), DatabaseError::Category::StatementFailed);
    }
    EXPECT_FALSE(query.active());

    // A statement refused while being prepared is let go: the store closes afterwards.
    Query twoColumns("adqY", connection);
    twoColumns.setSql({"SELECT ID, NOME FROM T"});
    twoColumns.addColumn({"ID", FieldType::Integer, 0});
    EXPECT_THROW(twoColumns.open(), DatabaseError);
    connection.setConnected(false);
    EXPECT_FALSE(openHere(db));

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
