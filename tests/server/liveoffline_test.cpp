// A store server that goes away while a till works: silent (every server process stopped
// with SIGSTOP) or refusing (shut down), and then back. Run by the live-server entries
// against PostgreSQL, directly and through ODBC; skipped elsewhere.

#include "tests/server/storefixture.h"
#include "tests/support/fakepresentation.h"

#include "client/Cli_kzt00318.h"
#include "client/frmobservacao.h"
#include "host/settings.h"
#include "platform/db/database.h"
#include "platform/process.h"
#include "platform/text.h"
#include "server/Srv_kzt00318.h"
#include "server/offline.h"
#include "station/app/samplestore.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

namespace kzt::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

// The cluster scripts/live-servers.sh started: its data folder sits beside its log.
struct Cluster {
    std::string data;

    pid_t postmaster() const
    {
        std::ifstream pidFile(data + "/postmaster.pid");
        pid_t pid = 0;
        pidFile >> pid;
        return pid;
    }
    // The postmaster first, so that it starts no one new, then every process it started.
    void signalAll(int signal) const
    {
        const pid_t parent = postmaster();
        ASSERT_GT(parent, 0);
        ::kill(parent, signal);
        for (const auto& entry : fs::directory_iterator("/proc")) {
            std::ifstream stat(entry.path() / "stat");
            std::string pid, name, state;
            pid_t ppid = 0;
            if (stat >> pid >> name >> state >> ppid && ppid == parent)
                ::kill(std::stoi(pid), signal);
        }
    }
    void pgCtl(const std::string& arguments) const
    {
        const std::string bin = environment("KZT_PG_BIN").empty() ? "/usr/lib/postgresql/15/bin"
                                                                  : environment("KZT_PG_BIN");
        // A restart of a server that is down starts it with the options it last ran with.
        const std::string command = (::geteuid() == 0 ? "runuser -u postgres -- " : "") + bin
                                    + "/pg_ctl -D " + data + " -w " + arguments
                                    + " >/dev/null 2>&1";
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
};

class LiveOffline : public ::testing::Test {
protected:
    void TearDown() override
    {
        ::unsetenv("KZT_RETRY_SECONDS");
        Srv_kzt00318::setCacheFolder(std::nullopt);
        resetStation();
    }

    // The dialog of an order of product 1001, as the operator gets it.
    std::unique_ptr<Cli_kzt00318::TfrmObservacao> dialog()
    {
        auto form = std::make_unique<Cli_kzt00318::TfrmObservacao>();
        const std::vector<Variant> request = {"N", "P", "1001", "HAMBURGUER", "", "True"};
        form->InicializaForm(request.data(), static_cast<int>(request.size()) - 1);
        return form;
    }
    static std::vector<std::string> grid(const Cli_kzt00318::TfrmObservacao& form)
    {
        std::vector<std::string> captions;
        for (const auto* button : form.sbtGrade)
            captions.push_back(button->caption());
        return captions;
    }

    FakePresentation operatorSide;
};

TEST_F(LiveOffline, ATillGoesOnFromTheCacheAndComesBackByItself)
{
    const std::string connection = environment("KZT_TEST_CONNECTION");
    const std::string log = environment("KZT_LIVE_PG_LOG");
    if (connection.empty() || log.empty())
        GTEST_SKIP() << "no live server started by scripts/live-servers.sh";
    Connection admin("adcTeste");
    admin.setConnectionString(utf8ToUtf16(connection));
    station::loadSampleStore(admin, true);
    if (admin.engine() != Engine::PostgreSql)
        GTEST_SKIP() << engineName(admin.engine()) << " has no server to stop";
    admin.setConnected(false);
    const Cluster cluster{fs::path(log).parent_path() / "data"};

    // Short limits, so that the first call finds the server away soon.
    constexpr int kLimit = 2;
    const std::string limits = std::string(connection.rfind("odbc://", 0) == 0 ? ";" : " ")
                               + "connect_timeout=" + std::to_string(kLimit)
                               + (connection.rfind("odbc://", 0) == 0 ? ";" : " ")
                               + "query_timeout=" + std::to_string(kLimit);
    struct Case {
        const char* what;
        std::function<void()> stop;
        std::function<void()> start;
    };
    const std::vector<Case> cases = {
        {"silent", [&] { cluster.signalAll(SIGSTOP); }, [&] { cluster.signalAll(SIGCONT); }},
        {"refusing", [&] { cluster.pgCtl("-m fast stop"); }, [&] { cluster.pgCtl("restart"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        station::loadSampleStore(admin, true);
        admin.setConnected(false);
        TempDir dir;
        writeParameterFile(dir.path());
        resetStation();
        kzt::setHostExecutablePath(dir.file("host"));
        host::setConnectionString("", connection + limits);
        host::setConnectionString("212", connection + limits);
        Srv_kzt00318::setCacheFolder(dir.path() + "/cache");
        ::setenv("KZT_RETRY_SECONDS", "3", 1);

        const std::vector<std::string> live = grid(*dialog());
        ASSERT_FALSE(live.front().empty());

        c.stop();
        bool started = false;
        const auto restart = [&] {
            if (!started)
                c.start();
            started = true;
        };
        try {
            Clock::duration first{};
            const auto start = Clock::now();
            for (int call = 0; call < 20; ++call) {
                SCOPED_TRACE(call);
                const auto begun = Clock::now();
                auto form = dialog();
                if (call == 0)
                    first = Clock::now() - begun;
                EXPECT_EQ(grid(*form), live);
                ASSERT_NE(form->lblOffline, nullptr);
                EXPECT_NE(cp1252ToUtf8(form->lblOffline->caption()).find("Sem conexão com a loja"),
                          std::string::npos);
                form->sbt01Click(form->sbtGrade[0]); // an uncontrolled occurrence
                EXPECT_EQ(form->stDescricao, " " + live.front() + ";");
            }
            // Within the limits it has today: connecting, and reading once more on a new
            // session, each within its limit.
            EXPECT_LE(first, std::chrono::seconds(3 * kLimit + 1));
            // The other 19 do not try the server: not one of them waits out a limit.
            EXPECT_LT(Clock::now() - start - first, std::chrono::seconds(kLimit));
            std::printf("[ %s ] first call away: %lld ms\n", c.what,
                        static_cast<long long>(
                            std::chrono::duration_cast<std::chrono::milliseconds>(first).count()));
        } catch (...) {
            restart();
            throw;
        }
        restart();

        Connection changer("adcTeste");
        changer.setConnectionString(utf8ToUtf16(connection));
        changer.execute("UPDATE OCORRENCIA SET DSOCORR = 'MUDOU' WHERE CDOCORR = '01'");
        const auto back = Clock::now();
        std::unique_ptr<Cli_kzt00318::TfrmObservacao> form = dialog();
        while (form->sbtGrade[0]->caption() != "MUDOU"
               && Clock::now() - back < std::chrono::seconds(35)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            form = dialog();
        }
        EXPECT_EQ(form->sbtGrade[0]->caption(), "MUDOU");
        EXPECT_EQ(form->lblOffline, nullptr);
        std::printf("[ %s ] live again after %lld ms\n", c.what,
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - back)
                            .count()));
    }
}

} // namespace
} // namespace kzt::test
