#include "platform/db/offlinecache.h"

#include "platform/db/connectionstring.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <map>
#include <unordered_map>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kzt {

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// Makes `folder` and its parents; the last one owner-only.
bool makeFolder(const std::string& folder)
{
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1))
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
    if (::mkdir(folder.c_str(), 0700) == 0)
        return true;
    struct stat info {};
    return errno == EEXIST && ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string timeText(std::int64_t secondsSinceEpoch, const char* format, bool utc)
{
    const std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
    std::tm parts{};
    if (utc)
        gmtime_r(&t, &parts);
    else
        localtime_r(&t, &parts);
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, format, &parts));
}

} // namespace

struct OfflineCache::Db {
    sqlite3* handle = nullptr;
    // Statements prepared once for the file's life, by their text.
    std::map<const char*, sqlite3_stmt*> statements;
    // Keys used since the last write, oldest first. A mark of its own would be a write
    // that waits for the disk; they are marked with the next answer kept, before anything
    // is dropped for room.
    std::vector<std::string> used;
    // What this process last kept or found unchanged under each key: digest, length and
    // when; the same answer again within the minute needs not even a read of the file.
    std::unordered_map<std::string, std::array<std::int64_t, 3>> fresh;

    void use(const std::string& key)
    {
        used.erase(std::remove(used.begin(), used.end(), key), used.end());
        used.push_back(key);
    }
    sqlite3_stmt* prepared(const char* sql)
    {
        sqlite3_stmt*& statement = statements[sql];
        if (statement == nullptr)
            sqlite3_prepare_v3(handle, sql, -1, SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
        return statement;
    }
    ~Db()
    {
        for (const auto& [sql, statement] : statements)
            sqlite3_finalize(statement);
        sqlite3_close_v2(handle);
    }
};

namespace {

// One use of a prepared statement, reset when it ends: a statement left mid-way would hold
// the file's lock.
class Use {
public:
    Use(sqlite3* db, sqlite3_stmt* statement) : mDb(db), mStatement(statement) {}
    ~Use()
    {
        if (mStatement != nullptr) {
            sqlite3_reset(mStatement);
            sqlite3_clear_bindings(mStatement);
        }
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

    Use& text(int index, const std::string& value)
    {
        if (mStatement != nullptr)
            sqlite3_bind_text(mStatement, index, value.data(), static_cast<int>(value.size()),
                              SQLITE_STATIC);
        return *this;
    }
    Use& blob(int index, const std::string& value)
    {
        if (mStatement != nullptr)
            sqlite3_bind_blob(mStatement, index, value.data(), static_cast<int>(value.size()),
                              SQLITE_STATIC);
        return *this;
    }
    Use& integer(int index, std::int64_t value)
    {
        if (mStatement != nullptr)
            sqlite3_bind_int64(mStatement, index, value);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or the failure.
    int step() { return mStatement != nullptr ? sqlite3_step(mStatement) : sqlite3_errcode(mDb); }
    // SQLITE_OK when the statement ran to its end.
    int run()
    {
        const int rc = step();
        return rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    sqlite3_stmt* get() const { return mStatement; }

private:
    sqlite3* mDb;
    sqlite3_stmt* mStatement;
};

// FNV-1a: the same value gives the same digest in every process and build.
std::int64_t digest(const std::string& value)
{
    std::uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : value)
        hash = (hash ^ c) * 1099511628211ull;
    return static_cast<std::int64_t>(hash);
}

const char* const kSame = "SELECT 1 FROM answers WHERE key = ?1 AND digest = ?2 AND length(value) "
                          "= ?3 AND ?4 - readAt < 60";
const char* const kTouch =
    "UPDATE answers SET usedAt = (SELECT max(usedAt) + 1 FROM answers) WHERE key = ?1";
const char* const kPut =
    "INSERT OR REPLACE INTO answers (key, value, digest, readAt, usedAt) "
    "VALUES (?1, ?2, ?3, ?4, (SELECT ifnull(max(usedAt), 0) + 1 FROM answers))";
// Least recently used first out, until what is kept fits in ?1 bytes.
const char* const kEvict =
    "DELETE FROM answers WHERE usedAt <= (SELECT usedAt FROM (SELECT usedAt, sum(length(key) + "
    "length(value)) OVER (ORDER BY usedAt DESC) AS kept FROM answers) WHERE kept > ?1 ORDER BY "
    "usedAt DESC LIMIT 1)";
const char* const kGet = "SELECT value, readAt FROM answers WHERE key = ?1";
const char* const kSum = "SELECT ifnull(sum(length(key) + length(value)), 0) FROM answers";

} // namespace

OfflineCache::OfflineCache(std::string folder, std::int64_t limitBytes)
    : mFolder(std::move(folder)), mLimitBytes(limitBytes)
{}

OfflineCache::~OfflineCache() = default;

std::string OfflineCache::filePath() const
{
    return mFolder + "/" + kFileName;
}

bool OfflineCache::open()
{
    if (mDb)
        return true;
    if (mFolder.empty() || !makeFolder(mFolder))
        return false;
    const std::string path = filePath();
    // Made here, owner-only, before SQLite opens it: its journal takes the same mode.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto db = std::make_unique<Db>();
        int rc = sqlite3_open_v2(path.c_str(), &db->handle,
                                 fd >= 0 ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_busy_timeout(db->handle, 2000);
            rc =
                sqlite3_exec(db->handle,
                             "PRAGMA auto_vacuum = FULL;"
                             "CREATE TABLE IF NOT EXISTS answers (key TEXT PRIMARY KEY, value BLOB "
                             "NOT NULL, digest INTEGER NOT NULL, readAt INTEGER NOT NULL, usedAt "
                             "INTEGER NOT NULL);"
                             "CREATE INDEX IF NOT EXISTS answersByUse ON answers (usedAt);",
                             nullptr, nullptr, nullptr);
            // A read-only folder leaves a cache that can still be read.
            if (rc == SQLITE_READONLY || rc == SQLITE_CANTOPEN)
                rc = sqlite3_exec(db->handle, "SELECT count(*) FROM answers", nullptr, nullptr,
                                  nullptr);
        }
        // The check reads every page once; it reports damage as rows, not as a failure.
        if (rc == SQLITE_OK) {
            bool sound = false;
            rc = sqlite3_exec(
                db->handle, "PRAGMA quick_check",
                [](void* out, int, char** values, char**) {
                    *static_cast<bool*>(out) = values[0] && std::string(values[0]) == "ok";
                    return 0;
                },
                &sound, nullptr);
            if (rc == SQLITE_OK && !sound)
                rc = SQLITE_CORRUPT;
        }
        if (rc == SQLITE_OK) {
            mDb = std::move(db);
            return true;
        }
        const int primary = rc & 0xff;
        if (primary != SQLITE_CORRUPT && primary != SQLITE_NOTADB)
            return false;
        db.reset();
        setAside();
    }
    return false;
}

// A corrupt file is kept for whoever wants to look at it, and a new one begun.
void OfflineCache::setAside()
{
    mDb.reset();
    const std::string path = filePath();
    const std::string aside = path + ".corrupt-" + std::to_string(std::time(nullptr));
    if (std::rename(path.c_str(), aside.c_str()) != 0)
        std::remove(path.c_str());
    std::remove((path + "-journal").c_str());
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
}

// Notes a failed call; a file found corrupt is set aside so that the next call begins anew.
bool OfflineCache::failed(int rc)
{
    const int primary = rc & 0xff;
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB)
        setAside();
    return false;
}

bool OfflineCache::store(const std::string& key, const std::string& value, std::int64_t readAt)
{
    if (!open())
        return false;
    Db& db = *mDb;
    // The lists seldom change: an answer kept as it is and read again within the minute
    // costs no write, so the server's answers are not slowed by the disk.
    // Compared by digest and length: the value itself may span many pages.
    const std::int64_t sum = digest(value);
    const std::int64_t length = static_cast<std::int64_t>(value.size());
    if (const auto known = db.fresh.find(key); known != db.fresh.end() && known->second[0] == sum
                                               && known->second[1] == length
                                               && readAt - known->second[2] < 60) {
        db.use(key);
        return true;
    }
    if (Use(db.handle, db.prepared(kSame))
            .text(1, key)
            .integer(2, sum)
            .integer(3, length)
            .integer(4, readAt)
            .step()
        == SQLITE_ROW) {
        db.use(key);
        db.fresh[key] = {sum, length, readAt};
        return true;
    }
    int rc = sqlite3_exec(db.handle, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return failed(rc);
    db.use(key);
    for (const auto& usedKey : db.used) {
        if (rc == SQLITE_OK)
            rc = Use(db.handle, db.prepared(kTouch)).text(1, usedKey).run();
    }
    if (rc == SQLITE_OK)
        rc = Use(db.handle, db.prepared(kPut))
                 .text(1, key)
                 .blob(2, value)
                 .integer(3, sum)
                 .integer(4, readAt)
                 .run();
    if (rc == SQLITE_OK)
        rc = Use(db.handle, db.prepared(kEvict)).integer(1, mLimitBytes).run();
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db.handle, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_exec(db.handle, "ROLLBACK", nullptr, nullptr, nullptr);
        return failed(rc);
    }
    db.used.clear();
    db.fresh[key] = {sum, length, readAt};
    return true;
}

std::optional<OfflineCache::Answer> OfflineCache::fetch(const std::string& key)
{
    if (!open())
        return std::nullopt;
    std::optional<Answer> answer;
    int rc;
    {
        Use get(mDb->handle, mDb->prepared(kGet));
        rc = get.text(1, key).step();
        if (rc == SQLITE_ROW) {
            const auto* bytes = static_cast<const char*>(sqlite3_column_blob(get.get(), 0));
            answer =
                Answer{std::string(bytes ? bytes : "",
                                   static_cast<std::size_t>(sqlite3_column_bytes(get.get(), 0))),
                       sqlite3_column_int64(get.get(), 1)};
        }
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        failed(rc);
        return std::nullopt;
    }
    if (answer)
        mDb->use(key);
    return answer;
}

std::int64_t OfflineCache::storedBytes()
{
    if (!open())
        return 0;
    Use sum(mDb->handle, mDb->prepared(kSum));
    return sum.step() == SQLITE_ROW ? sqlite3_column_int64(sum.get(), 0) : 0;
}

std::string offlineKey(const std::string& connection, const std::string& routine,
                       const std::vector<std::string>& args)
{
    // Every password shown as ***: a changed password keeps the entries.
    std::string key = maskedSecrets(connection) + '\x1f' + routine;
    for (const auto& arg : args)
        key += '\x1f' + arg;
    return key;
}

std::string offlineCacheFolder(const std::optional<std::string>& configured,
                               const std::string& connection)
{
    std::string folder = configured.value_or(environment("KZT_CACHE_DIR"));
    if (folder == "off")
        return {};
    if (!folder.empty())
        return folder;
    if (connection.rfind("sqlite3://", 0) == 0)
        return {};
    if (const std::string xdg = environment("XDG_CACHE_HOME"); !xdg.empty() && xdg[0] == '/')
        return xdg + "/kzt00318";
    if (const std::string home = environment("HOME"); !home.empty())
        return home + "/.cache/kzt00318";
    return {};
}

std::string isoTime(std::int64_t secondsSinceEpoch)
{
    return timeText(secondsSinceEpoch, "%Y-%m-%dT%H:%M:%SZ", true);
}

std::string clockTime(std::int64_t secondsSinceEpoch)
{
    return timeText(secondsSinceEpoch, "%H:%M", false);
}

bool unreachable(const DatabaseError& error)
{
    switch (error.category()) {
    case DatabaseError::Category::ConnectionFailed:
    case DatabaseError::Category::ConnectionLost:
    case DatabaseError::Category::Timeout: return true;
    default: return false;
    }
}

bool ServerWatch::shouldTry(Clock::time_point now) const
{
    return !mFailure || now - mSince >= mInterval;
}

void ServerWatch::unreachable(Clock::time_point now, const DatabaseError& error)
{
    mFailure = error;
    mSince = now;
}

} // namespace kzt
