// The station and its store: --init-sample into a folder or a server, both files or
// neither, a store kept unless --force; and, on a live server (KZT_TEST_CONNECTION), a
// till that goes on after the server ended its session between two calls.

#include "tests/station/stationprocess.h"
#include "tests/support/store.h"
#include "tests/support/tempdir.h"

#include "platform/db/database.h"
#include "platform/process.h"
#include "platform/text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <QFile>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using kzt::test::runStation;
using kzt::test::StationOutput;
using kzt::test::TempDir;

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

int lojaRows(const std::string& db, const char* where)
{
    kzt::Connection store("adcTeste");
    store.setConnectionString(kzt::utf8ToUtf16(kzt::test::sqliteConnection(db)));
    kzt::Query count("adqConta", store);
    count.setSql({std::string("SELECT COUNT(*) FROM LOJA WHERE ") + where});
    count.addColumn({"N", kzt::FieldType::Integer, 0});
    count.open();
    return static_cast<int>(count.fieldAsInteger("N"));
}

TEST(StationInitSample, BothFilesOrNeitherAndAStoreIsKept)
{
    ASSERT_TRUE(QFile::exists(kzt::test::kStation)) << "build kzt-station first";
    TempDir dir;
    const std::string db = dir.file("store.db");
    const std::string parameters = dir.file("PARAMETROSQTR.CDS");
    TempDir other;
    struct Step {
        const char* what;
        QStringList args;
        int exitCode;
        const char* message; // in stderr
        std::function<void()> check;
    };
    const std::vector<Step> steps = {
        {"a fresh folder gets both",
         {q("--init-sample"), q(dir.path())},
         0,
         "sample store written",
         [&] {
             EXPECT_TRUE(kzt::fileExists(db));
             EXPECT_TRUE(kzt::fileExists(parameters));
             kzt::test::execSql(db, "INSERT INTO LOJA (CDFILIAL, CDLOJA) VALUES ('9999', '99')");
         }},
        {"a store there is kept",
         {q("--init-sample"), q(dir.path())},
         1,
         "store.db already holds a store; --force replaces it",
         [&] { EXPECT_EQ(lojaRows(db, "CDFILIAL = '9999'"), 1); }},
        {"--force replaces it whole",
         {q("--init-sample"), q(dir.path()), q("--force")},
         0,
         "sample store written",
         [&] { EXPECT_EQ(lojaRows(db, "CDFILIAL = '9999'"), 0); }},
        {"no store, no parameter file",
         {q("--init-sample"), q(other.path()), q("--connection"), q("odbc://DSN=kzt_no_such_dsn")},
         1,
         "cannot write the sample store",
         [&] {
             EXPECT_FALSE(kzt::fileExists(other.file("PARAMETROSQTR.CDS")));
             EXPECT_FALSE(kzt::fileExists(other.file("store.db")));
         }},
        {"--force alone", {q("--force")}, 2, "--force only goes with --init-sample", [] {}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        const StationOutput run = runStation(step.args);
        EXPECT_EQ(run.exitCode, step.exitCode);
        EXPECT_NE(run.err.toStdString().find(step.message), std::string::npos)
            << run.err.toStdString();
        step.check();
    }
}

std::string liveServer()
{
    const char* text = std::getenv("KZT_TEST_CONNECTION");
    return text ? text : "";
}

// Ends every session on the server's database but the caller's, and waits until they
// are gone.
void endOtherSessions(kzt::Connection& admin)
{
    admin.execute("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                  "WHERE datname = current_database() AND pid <> pg_backend_pid()");
    for (int tries = 0; tries < 100; ++tries) {
        kzt::Query others("adqSessoes", admin);
        others.setSql({"SELECT COUNT(*) FROM pg_stat_activity",
                       "WHERE datname = current_database() AND pid <> pg_backend_pid()"});
        others.addColumn({"N", kzt::FieldType::Integer, 0});
        others.open();
        if (others.fieldAsInteger("N") == 0)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ADD_FAILURE() << "the station's session did not end";
}

TEST(StationOnServer, ATillGoesOnAfterItsServerSessionEnds)
{
    const std::string server = liveServer();
    if (server.empty())
        GTEST_SKIP() << "no live server (KZT_TEST_CONNECTION)";
    kzt::Connection admin("adcTeste");
    admin.setConnectionString(kzt::utf8ToUtf16(server));
    admin.setConnected(true);
    if (admin.engine() != kzt::Engine::PostgreSql)
        GTEST_SKIP() << kzt::engineName(admin.engine()) << " has no server session to end";

    TempDir dir;
    const StationOutput init =
        runStation({q("--init-sample"), q(dir.path()), q("--connection"), q(server), q("--force")});
    ASSERT_EQ(init.exitCode, 0) << init.err.toStdString();
    // A store on the server is kept too, and then no parameter file is written either.
    TempDir again;
    const StationOutput kept =
        runStation({q("--init-sample"), q(again.path()), q("--connection"), q(server)});
    EXPECT_EQ(kept.exitCode, 1);
    EXPECT_NE(
        kept.err.toStdString().find("already holds a store (table GRUPOCOR); --force replaces it"),
        std::string::npos)
        << kept.err.toStdString();
    EXPECT_FALSE(kzt::fileExists(again.file("PARAMETROSQTR.CDS")));

    // The station's output goes into a pipe of one page that nobody reads yet: once the
    // first call's long answer fills it, the station waits there, between its two calls,
    // with its session open; that session is then ended from the server's side.
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    ::fcntl(out[0], F_SETPIPE_SZ, 4096);
    const int pipeSize = ::fcntl(out[0], F_GETPIPE_SZ);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> args = {kzt::test::kStation.toStdString(),
                                     "--host-exe",
                                     dir.file("kzt-station"),
                                     "--connection",
                                     server,
                                     "--kind",
                                     "P",
                                     "--product",
                                     "1001",
                                     "--trace",
                                     "--do",
                                     "dump",
                                     "--do",
                                     "press:sptConfirmar",
                                     "--next",
                                     "--host-exe",
                                     dir.file("kzt-station"),
                                     "--connection",
                                     server,
                                     "--call",
                                     "getOcorPed",
                                     "0001",
                                     "01",
                                     "1002"};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);

    int waiting = 0;
    for (int tries = 0; tries < 600 && waiting < pipeSize; ++tries) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ::ioctl(out[0], FIONREAD, &waiting);
    }
    EXPECT_EQ(waiting, pipeSize) << "the first call's answer did not fill the pipe";
    endOtherSessions(admin);

    std::string output;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << output;

    const QList<QByteArray> lines = QByteArray::fromStdString(output).trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << output;
    const QJsonObject second = QJsonDocument::fromJson(lines[1]).object();
    EXPECT_FALSE(second.contains(QStringLiteral("error"))) << lines[1].toStdString();
    std::vector<std::string> codes;
    for (const QJsonValue& row :
         second.value(QStringLiteral("result")).toObject().value(QStringLiteral("rows")).toArray())
        codes.push_back(row.toObject().value(QStringLiteral("CDOCORR")).toString().toStdString());
    EXPECT_EQ(codes, (std::vector<std::string>{"01", "08", "11", "17"}));
}

} // namespace
