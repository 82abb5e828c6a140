// What only a store server can do wrong: a database in another encoding, a statement
// that gets no answer, a host that forks. Run by
// the live-server entries (KZT_TEST_CONNECTION, and KZT_TEST_CONNECTION_WIN1252 for a
// PostgreSQL database in WIN1252); skipped elsewhere, but for the forks' SQLite case.

#include "tests/server/storefixture.h"

#include "server/Srv_kzt00318.h"
#include "server/offline.h"
#include "server/rdmobservacao.h"

#include "host/settings.h"
#include "platform/db/database.h"
#include "platform/process.h"
#include "platform/text.h"
#include "station/app/samplestore.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <map>
#include <sstream>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

namespace kzt::test {
namespace {

using namespace Srv_kzt00318;

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Points the module at `connection` with the station folder `dir`.
void pointAt(const TempDir& dir, const std::string& connection)
{
    resetStation();
    kzt::setHostExecutablePath(dir.file("host"));
    host::setConnectionString("", connection);
    host::setConnectionString("212", connection);
}

TEST(LiveServer, TextArrivesInUtf8WhateverTheDatabaseEncoding)
{
    const std::string connection = environment("KZT_TEST_CONNECTION_WIN1252");
    if (connection.empty())
        GTEST_SKIP() << "no server database in WIN1252 (KZT_TEST_CONNECTION_WIN1252)";
    {
        // Stored right whatever the module does: the loading session speaks UTF-8 itself.
        Connection store("adcTeste");
        store.setConnectionString(utf8ToUtf16(connection.rfind("postgresql://", 0) == 0
                                                  ? connection + " client_encoding=UTF8"
                                                  : connection));
        station::loadSampleStore(store, true);
        store.execute(
            "INSERT INTO PRODOCORRE (CDGRPOCOR, CDOCORR, CDPRODUTO) VALUES ('01', '34', 'AÇAÍ')");
    }
    TempDir dir;
    pointAt(dir, connection);
    const Packet cancellations = packetOf(getOcorCanc(w("0001"), w("01")));
    ASSERT_GE(cancellations.rows.size(), 2u);
    EXPECT_EQ(cancellations.rows[1][3], CellValue(utf8ToCp1252("ERRO NO LANÇAMENTO DA VENDA")));
    EXPECT_EQ(codesOf(getOcorPed(w("0001"), w("01"), w("AÇAÍ"))), std::vector<std::string>{"34"});
    resetStation();
}

TEST(LiveServer, AStatementThatGetsNoAnswerFailsWithinItsLimit)
{
    const std::string connection = environment("KZT_TEST_CONNECTION");
    if (connection.empty())
        GTEST_SKIP() << "no live server (KZT_TEST_CONNECTION)";
    Connection admin("adcTeste");
    admin.setConnectionString(utf8ToUtf16(connection));
    station::loadSampleStore(admin, true);
    if (admin.engine() != Engine::PostgreSql)
        GTEST_SKIP() << engineName(admin.engine()) << " has no server to keep a statement waiting";

    TempDir dir;
    pointAt(dir,
            connection
                + (connection.rfind("odbc://", 0) == 0 ? ";query_timeout=1" : " query_timeout=1"));
    // The limit itself, not the offline cache's answer, and every call tries the server.
    Srv_kzt00318::setCacheFolder(std::string("off"));
    ::setenv("KZT_RETRY_SECONDS", "0", 1);
    ASSERT_EQ(getQtMaxObserv("1001"), 2);

    // Another session holds the table, so the module's next read gets no answer; it lets
    // go once the read has given up, or after a while whatever happens.
    std::promise<void> locked;
    std::promise<void> gaveUp;
    std::thread holder([&] {
        admin.transaction([&] {
            admin.execute("LOCK TABLE PRODUTO IN ACCESS EXCLUSIVE MODE");
            locked.set_value();
            gaveUp.get_future().wait_for(std::chrono::seconds(8));
        });
    });
    locked.get_future().wait();
    const auto start = std::chrono::steady_clock::now();
    try {
        getQtMaxObserv("1001");
        ADD_FAILURE() << "the read waited for the table";
    } catch (const DatabaseError& e) {
        EXPECT_EQ(e.category(), DatabaseError::Category::Timeout);
        EXPECT_STREQ(e.what(), "The database server did not answer within 1 second (reading). "
                               "(while opening adqQtMaxObserv)");
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    if (connection.rfind("odbc://", 0) == 0) {
        // The statement given up does not stay waiting on the server: the driver ends it
        // soon after, long before the table is let go.
        Connection watcher("adcTeste");
        watcher.setConnectionString(utf8ToUtf16(connection));
        const auto waiting = [&watcher] {
            return watcher
                .read("SELECT COUNT(*) FROM pg_stat_activity WHERE datname = "
                      "current_database() AND wait_event_type = 'Lock'",
                      {}, 1)
                .front()
                .value_or("");
        };
        const auto deadline = start + std::chrono::seconds(5);
        while (waiting() != "0" && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(waiting(), "0");
    }
    gaveUp.set_value();
    holder.join();
    // The session given up is replaced on the next call.
    EXPECT_EQ(getQtMaxObserv("1001"), 2);
    ::unsetenv("KZT_RETRY_SECONDS");
    Srv_kzt00318::setCacheFolder(std::nullopt);
    resetStation();
}

// How many of this process's descriptors are open on `path`.
int openOn(const std::string& path)
{
    int count = 0;
    std::error_code error;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd", error)) {
        std::error_code unreadable;
        count += std::filesystem::read_symlink(fd.path(), unreadable) == path;
    }
    return count;
}

// A host that read once, then forked: parent and child go on reading different products
// at the same time, each on a session of its own. A shared session hands each the other's
// rows; a child that closes what it inherited ends its parent's session.
TEST(LiveServer, AForkedHostAndItsParentEachGetTheirOwnAnswers)
{
    struct Case {
        const char* what;
        std::string connection;
        std::string store; // the SQLite file the connection opens itself
    };
    TempDir dir;
    const std::string sample = createStore(dir.path(), true);
    std::vector<Case> cases = {{"the sample store in SQLite", sqliteConnection(sample), sample}};
#ifdef __SANITIZE_THREAD__
    // ThreadSanitizer cannot follow a child of a process with threads that starts threads
    // itself (glibc hands it its parent's thread stacks, whose ids ThreadSanitizer still
    // holds), as a server session's child must: only SQLite's case, which starts none.
    const bool serverCase = false;
#else
    const bool serverCase = true;
#endif
    if (const std::string connection = environment("KZT_TEST_CONNECTION");
        serverCase && !connection.empty()) {
        Connection store("adcTeste");
        store.setConnectionString(utf8ToUtf16(connection));
        station::loadSampleStore(store, true);
        cases.push_back({"the live server", connection, ""});
    }
    for (const auto& [what, connection, store] : cases) {
        SCOPED_TRACE(what);
        pointAt(dir, connection);
        const auto wrongAnswers = [](const char* product, std::size_t rows) {
            int wrong = 0;
            for (int i = 0; i < 300; ++i)
                wrong += codesOf(getOcorPed(w("0001"), w("01"), w(product))).size() != rows;
            return wrong;
        };
        ASSERT_EQ(wrongAnswers("1002", 4), 0);
        const bool server = rdmObservacao->adcObs.engine() == Engine::PostgreSql;
        const auto serverProcess = [] {
            return rdmObservacao->adcObs.read("SELECT pg_backend_pid()", {}, 1).front();
        };
        const Connection::Cell before = server ? serverProcess() : Connection::Cell();
        const int storeOpen = openOn(store);

        const pid_t child = ::fork();
        if (child == 0) {
            // Ends as a host does, through the unload step; only the exit status is read.
            const int wrong = std::min(wrongAnswers("1001", 32), 99);
            const bool ownStore = store.empty() || openOn(store) == storeOpen + 1;
            releaseDataModule();
            ::_exit(wrong + (ownStore ? 0 : 100));
        }
        ASSERT_GT(child, 0);
        EXPECT_EQ(wrongAnswers("1002", 4), 0) << "in the parent";
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_EQ(WEXITSTATUS(status) % 100, 0) << "wrong answers in the child";
        EXPECT_LT(WEXITSTATUS(status), 100) << "the child used the SQLite store its parent opened";
        // The parent's session outlived its child.
        EXPECT_EQ(wrongAnswers("1002", 4), 0) << "after the child ended";
        if (server) {
            EXPECT_EQ(serverProcess(), before);
        }
    }
    resetStation();
}

// The same server through a libpq URI as people type it, our limits among its parameters,
// and the session named for the server's list of sessions.
TEST(LiveServer, AUriReachesTheServerAndTheSessionIsNamed)
{
    const std::string connection = environment("KZT_TEST_CONNECTION");
    if (connection.rfind("postgresql://", 0) != 0)
        GTEST_SKIP() << "no direct PostgreSQL server (KZT_TEST_CONNECTION)";
    Connection admin("adcTeste");
    admin.setConnectionString(utf8ToUtf16(connection + " application_name=kzt_test_admin"));
    station::loadSampleStore(admin, true);

    // "postgresql://host=H port=P user=U dbname=D" as "postgresql://U@/D?host=H&port=P".
    std::map<std::string, std::string> keys;
    std::istringstream words(connection.substr(13));
    for (std::string word; words >> word;)
        keys[word.substr(0, word.find('='))] = word.substr(word.find('=') + 1);
    const std::string uri = "postgresql://" + keys["user"] + "@/" + keys["dbname"]
                            + "?host=" + keys["host"] + "&port=" + keys["port"]
                            + "&query_timeout=5&connect_timeout=5";
    TempDir dir;
    pointAt(dir, uri);
    EXPECT_EQ(getQtMaxObserv("1001"), 2);

    const auto names = admin.read("SELECT application_name FROM pg_stat_activity WHERE "
                                  "datname = current_database() ORDER BY application_name",
                                  {}, 1);
    std::vector<std::string> shown;
    for (const auto& name : names)
        shown.push_back(name.value_or(""));
    EXPECT_NE(std::find(shown.begin(), shown.end(), "kzt00318/host"), shown.end())
        << ::testing::PrintToString(shown);
    EXPECT_NE(std::find(shown.begin(), shown.end(), "kzt_test_admin"), shown.end())
        << "a string's own application_name is kept";
    resetStation();
}

} // namespace
} // namespace kzt::test
