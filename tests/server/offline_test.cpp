// The offline cache: its file under faults, its bound, its keys, and the data routines
// answering from it while the store cannot be reached.

#include "tests/server/storefixture.h"
#include "tests/support/fakepresentation.h"

#include "platform/db/offlinecache.h"
#include "server/Srv_kzt00318.h"
#include "server/offline.h"
#include "server/rdmobservacao.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kzt::test {
namespace {

namespace fs = std::filesystem;

bool setAsideBeside(const std::string& folder)
{
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind("offline.db.corrupt-", 0) == 0)
            return true;
    return false;
}

// Overwrites `bytes` bytes of `path` from `offset` with garbage.
void scribble(const std::string& path, std::streamoff offset, std::size_t bytes)
{
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(offset);
    file << std::string(bytes, '\x5a');
}

// Runs `work` in a child process that cannot write `folder` (as nobody when this is root,
// whom permission bits do not stop); its exit status.
int withoutWriteAccess(const std::string& folder, const std::function<int()>& work)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0) {
            (void)::chmod(fs::path(folder).parent_path().c_str(), 0711);
            for (const auto& entry : fs::directory_iterator(folder))
                (void)::chown(entry.path().c_str(), 65534, 65534);
            if (::chown(folder.c_str(), 65534, 65534) != 0 || ::setgid(65534) != 0
                || ::setuid(65534) != 0)
                ::_exit(90);
        }
        ::chmod(folder.c_str(), 0500);
        ::_exit(work());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(folder.c_str(), 0700);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

TEST(OfflineCacheFile, AFaultLosesAtMostTheAnswerAtHandAndNeverRaises)
{
    struct Case {
        const char* what;
        std::function<void(const std::string& folder)> spoil; // after "first" was kept
        bool firstKept;                                       // "first" can still be read
        bool secondKept; // "second", stored after the fault, can be read
        bool setAside;   // the spoilt file was moved aside
    };
    const std::string big(1 << 20, 'x');
    const std::vector<Case> cases = {
        {"nothing wrong", [](const std::string&) {}, true, true, false},
        {"a file that is not a database",
         [](const std::string& f) { std::ofstream(f + "/offline.db") << "not a database\n"; },
         false, true, true},
        {"a damaged page", [](const std::string& f) { scribble(f + "/offline.db", 4096 + 8, 200); },
         false, true, true},
        {"a folder that cannot be made",
         [](const std::string& f) {
             fs::remove_all(f);
             std::ofstream(f) << "a file where the folder should be";
         },
         false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string folder = dir.path() + "/cache";
        {
            OfflineCache cache(folder);
            ASSERT_TRUE(cache.store("first", "one", 100));
            ASSERT_TRUE(cache.store("filler", std::string(20000, 'f'), 100));
        }
        c.spoil(folder);
        OfflineCache cache(folder);
        const auto first = cache.fetch("first");
        EXPECT_EQ(first.has_value(), c.firstKept);
        if (first && c.firstKept) {
            EXPECT_EQ(first->value, "one");
            EXPECT_EQ(first->readAt, 100);
        }
        EXPECT_EQ(cache.store("second", "two", 200), c.secondKept);
        EXPECT_EQ(cache.fetch("second").has_value(), c.secondKept);
        if (fs::is_directory(folder)) {
            EXPECT_EQ(setAsideBeside(folder), c.setAside);
            struct stat info {};
            ASSERT_EQ(::stat(folder.c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0700u);
            ASSERT_EQ(::stat(cache.filePath().c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0600u);
        }
    }
}

TEST(OfflineCacheFile, AFullDiskOrAReadOnlyFolderKeepsWhatWasThere)
{
    struct Case {
        const char* what;
        std::function<int(const std::string& folder)> run; // 0 when all held
    };
    const auto checks = [](const std::string& folder) {
        OfflineCache cache(folder);
        if (!cache.fetch("first") || cache.fetch("first")->value != "one")
            return 1;
        if (cache.store("second", std::string(1 << 20, 'x'), 200))
            return 2;
        if (cache.fetch("second"))
            return 3;
        return cache.fetch("first") ? 0 : 4;
    };
    const std::vector<Case> cases = {
        {"a write past what the disk takes",
         [&](const std::string& folder) {
             // The file may not grow: as a full disk, its writes fail.
             std::signal(SIGXFSZ, SIG_IGN);
             rlimit before{};
             ::getrlimit(RLIMIT_FSIZE, &before);
             rlimit limit = before;
             limit.rlim_cur = static_cast<rlim_t>(fs::file_size(folder + "/offline.db"));
             ::setrlimit(RLIMIT_FSIZE, &limit);
             const int result = checks(folder);
             ::setrlimit(RLIMIT_FSIZE, &before);
             return result;
         }},
        {"a read-only folder",
         [&](const std::string& folder) {
             return withoutWriteAccess(folder, [&] { return checks(folder); });
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string folder = dir.path() + "/cache";
        ASSERT_TRUE(OfflineCache(folder).store("first", "one", 100));
        EXPECT_EQ(c.run(folder), 0);
    }
}

TEST(OfflineCacheFile, TheLeastRecentlyUsedGoFirstWhenFull)
{
    TempDir dir;
    OfflineCache cache(dir.path() + "/cache", 3000);
    const std::string kilobyte(1000, 'k');
    ASSERT_TRUE(cache.store("a", kilobyte, 1));
    ASSERT_TRUE(cache.store("b", kilobyte, 1));
    ASSERT_TRUE(cache.fetch("a")); // a is now more recent than b
    ASSERT_TRUE(cache.store("c", kilobyte, 1));
    EXPECT_FALSE(cache.fetch("b"));
    EXPECT_TRUE(cache.fetch("a"));
    EXPECT_TRUE(cache.fetch("c"));
    EXPECT_LE(cache.storedBytes(), 3000);
    // An answer bigger than the whole bound is not kept at the others' expense forever.
    ASSERT_TRUE(cache.store("huge", std::string(5000, 'h'), 1));
    EXPECT_LE(cache.storedBytes(), 3000);
}

TEST(OfflineCacheKeys, PasswordsDoNotCountStoresDo)
{
    struct Case {
        const char* a;
        const char* b;
        bool shared;
    };
    const Case cases[] = {
        {"postgresql://host=db dbname=loja user=pdv password=old",
         "postgresql://host=db dbname=loja user=pdv password=new", true},
        {"postgresql://host=db password='a b' dbname=loja",
         "postgresql://host=db password='c' dbname=loja", true},
        {"postgresql://pdv:old@db:5432/loja", "postgresql://pdv:new@db:5432/loja", true},
        {"postgresql://pdv@db/loja?password=old&sslmode=off",
         "postgresql://pdv@db/loja?password=new&sslmode=off", true},
        {"odbc://DSN=loja;UID=pdv;PWD=old;", "odbc://DSN=loja;UID=pdv;PWD={n;ew};", true},
        {"odbc://DSN=loja;UID=pdv;Password=old", "odbc://DSN=loja;UID=pdv;Password=new", true},
        {"postgresql://host=db dbname=loja password=x",
         "postgresql://host=db dbname=loja2 "
         "password=x",
         false},
        {"postgresql://pdv:x@db/loja", "postgresql://pdv:x@db2/loja", false},
        {"odbc://DSN=loja1;PWD=x", "odbc://DSN=loja2;PWD=x", false},
        {"sqlite3://db=/a/store.db", "sqlite3://db=/b/store.db", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.a) + " / " + c.b);
        const std::string a = offlineKey(c.a, "getOcorPed", {"1", "2", "100"});
        EXPECT_EQ(a == offlineKey(c.b, "getOcorPed", {"1", "2", "100"}), c.shared);
        EXPECT_EQ(a.find("old"), std::string::npos);
        // Arguments never run into one another.
        EXPECT_NE(offlineKey(c.a, "getOcorPed", {"1", "21", "00"}), a);
    }
}

TEST(OfflineCacheKeys, FolderFollowsSettingEnvironmentAndStore)
{
    struct Case {
        std::optional<std::string> configured;
        const char* environment; // KZT_CACHE_DIR; nullptr unset
        const char* connection;
        const char* folder;
    };
    const std::vector<Case> cases = {
        {std::nullopt, nullptr, "postgresql://host=db", "/xdg/kzt00318"},
        {std::nullopt, nullptr, "sqlite3://db=/s.db", ""}, // the till's own file
        {std::nullopt, "/env", "sqlite3://db=/s.db", "/env"},
        {std::nullopt, "off", "postgresql://host=db", ""},
        {std::string("/set"), "/env", "postgresql://host=db", "/set"},
        {std::string("off"), "/env", "postgresql://host=db", ""},
    };
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    const std::string xdgBefore = xdg ? xdg : "";
    const char* cacheDir = std::getenv("KZT_CACHE_DIR");
    const std::optional<std::string> cacheDirBefore =
        cacheDir ? std::optional<std::string>(cacheDir) : std::nullopt;
    ::setenv("XDG_CACHE_HOME", "/xdg", 1);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.connection) + " " + (c.environment ? c.environment : "-"));
        if (c.environment)
            ::setenv("KZT_CACHE_DIR", c.environment, 1);
        else
            ::unsetenv("KZT_CACHE_DIR");
        EXPECT_EQ(offlineCacheFolder(c.configured, c.connection), c.folder);
    }
    if (cacheDirBefore)
        ::setenv("KZT_CACHE_DIR", cacheDirBefore->c_str(), 1);
    else
        ::unsetenv("KZT_CACHE_DIR");
    if (xdg)
        ::setenv("XDG_CACHE_HOME", xdgBefore.c_str(), 1);
    else
        ::unsetenv("XDG_CACHE_HOME");
}

// The data routines against a SQLite store that goes away: its connection closed and its
// file moved, so that opening it fails as a server's would.
class OfflineRoutinesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = createStore(dir.path(), true);
        useStation(dir.path(), db);
        Srv_kzt00318::setCacheFolder(dir.path() + "/cache");
        ::setenv("KZT_RETRY_SECONDS", "3600", 1);
    }
    void TearDown() override
    {
        ::unsetenv("KZT_RETRY_SECONDS");
        Srv_kzt00318::setCacheFolder(std::nullopt);
        resetStation();
    }
    void away()
    {
        Srv_kzt00318::rdmObservacao->adcObs.setConnected(false);
        fs::rename(db, db + ".away");
    }
    void back() { fs::rename(db + ".away", db); }
    static Srv_kzt00318::LastAnswer::Origin origin() { return Srv_kzt00318::lastAnswer().origin; }

    TempDir dir;
    std::string db;
};

TEST_F(OfflineRoutinesTest, AStoreAwayAnswersFromWhatWasReadAndSaysSo)
{
    using Origin = Srv_kzt00318::LastAnswer::Origin;
    using namespace Srv_kzt00318;
    struct Case {
        const char* what;
        std::function<std::string()> call; // the answer as text
        bool warmed;                       // called once while the store was there
        Origin offline;                    // where the answer comes from once it is away
    };
    const auto list = [](Variant v) { return v.isPacket() ? v.packet() : v.asText(); };
    const std::vector<Case> cases = {
        {"a list read before", [&] { return list(getOcorPed(w("0001"), w("01"), w("1001"))); },
         true, Origin::Cache},
        {"a cancellation list read before",
         [&] { return list(getOcorCancProd(w("0001"), w("01"), w("1001"))); }, true, Origin::Cache},
        {"the compulsory flag read before", [] { return getObrigaObsCan(w("0001"), w("01")); },
         true, Origin::Cache},
        {"a maximum read before", [] { return std::to_string(getQtMaxObserv("1001")); }, true,
         Origin::Cache},
        {"the sale number, never kept", [] { return getNrSeqVenda(w("0001"), w("001")); }, true,
         Origin::Unreachable},
        {"a list never read", [&] { return list(getOcorDesc(w("0001"), w("01"))); }, false,
         Origin::Unreachable},
        {"another store's list", [&] { return list(getOcorPed(w("0001"), w("02"), w("1001"))); },
         false, Origin::Unreachable},
    };
    std::vector<std::string> live(cases.size());
    const std::time_t before = std::time(nullptr);
    for (std::size_t i = 0; i < cases.size(); ++i)
        if (cases[i].warmed) {
            live[i] = cases[i].call();
            EXPECT_EQ(origin(), Origin::Server) << cases[i].what;
        }
    away();
    for (int round = 0; round < 2; ++round) { // the first finds it away, the next skip it
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const Case& c = cases[i];
            SCOPED_TRACE(std::string(c.what) + (round ? " (fail fast)" : ""));
            std::string answer;
            try {
                answer = c.call();
            } catch (const DatabaseError& e) {
                answer = e.what();
            }
            EXPECT_EQ(origin(), c.offline);
            if (c.offline == Origin::Cache) {
                EXPECT_EQ(answer, live[i]);
                EXPECT_GE(Srv_kzt00318::lastAnswer().readAt, before);
                EXPECT_EQ(Srv_kzt00318::answerCachedAt(),
                          isoTime(Srv_kzt00318::lastAnswer().readAt));
            } else {
                EXPECT_NE(answer.find("Database file not found"), std::string::npos) << answer;
                EXPECT_EQ(Srv_kzt00318::answerCachedAt(), "");
            }
        }
    }
    // Back, but within the interval nothing tries it; once it has passed, answers are live.
    back();
    getOcorDesc(w("0001"), w("01"));
    EXPECT_EQ(origin(), Origin::Unreachable);
    ::setenv("KZT_RETRY_SECONDS", "0", 1);
    EXPECT_TRUE(getOcorDesc(w("0001"), w("01")).isPacket());
    EXPECT_EQ(origin(), Origin::Server);
}

TEST_F(OfflineRoutinesTest, OffKeepsNothing)
{
    Srv_kzt00318::setCacheFolder(std::string("off"));
    ASSERT_TRUE(Srv_kzt00318::getOcorPed(w("0001"), w("01"), w("1001")).isPacket());
    away();
    EXPECT_FALSE(Srv_kzt00318::getOcorPed(w("0001"), w("01"), w("1001")).isPacket());
    EXPECT_FALSE(fs::exists(dir.path() + "/cache"));
}

} // namespace
} // namespace kzt::test
