#pragma once

// The offline cache: the last good answer of each data routine, kept in an SQLite file of
// its own, so that a till whose store server is away still has yesterday's lists. It is
// never fatal: a cache that cannot be opened, read or written is simply not there, and a
// file found corrupt is set aside and a new one begun.
//
// Beside it, the watch that makes a till fail fast while its server is known to be away.

#include "platform/db/databaseerror.h"
#include "platform/platform_global.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kzt {

class KZT_PLATFORM_API OfflineCache {
public:
    static constexpr std::int64_t kDefaultLimitBytes = 20 * 1024 * 1024;
    static constexpr const char* kFileName = "offline.db";

    struct Answer {
        std::string value;
        std::int64_t readAt = 0; // seconds since the epoch, when the server gave it
    };

    // The cache file in `folder`, which is created owner-only when missing. Keys and values
    // together are kept under `limitBytes`, the least recently used answers going first.
    explicit OfflineCache(std::string folder, std::int64_t limitBytes = kDefaultLimitBytes);
    ~OfflineCache();
    OfflineCache(const OfflineCache&) = delete;
    OfflineCache& operator=(const OfflineCache&) = delete;

    const std::string& folder() const { return mFolder; }
    std::string filePath() const;

    // Keeps `value` under `key`, in one transaction: a crash or a full disk loses at most
    // this answer. False when it could not be kept.
    bool store(const std::string& key, const std::string& value, std::int64_t readAt);
    std::optional<Answer> fetch(const std::string& key);
    // Bytes of keys and values held.
    std::int64_t storedBytes();

private:
    struct Db;
    bool open();
    void setAside();
    bool failed(int rc);

    std::string mFolder;
    std::int64_t mLimitBytes;
    std::unique_ptr<Db> mDb;
};

// The key of a routine's answer: the connection string without its passwords (a changed
// password still reaches the same store), the routine and its arguments.
KZT_PLATFORM_API std::string offlineKey(const std::string& connection, const std::string& routine,
                                        const std::vector<std::string>& args);

// Where the cache lives for a connection string: `configured` (a kzt_configure setting),
// else KZT_CACHE_DIR, else $XDG_CACHE_HOME/kzt00318, else ~/.cache/kzt00318. "off" switches
// it off, and so does nothing set for a local SQLite store, the till's own file. Empty: off.
KZT_PLATFORM_API std::string offlineCacheFolder(const std::optional<std::string>& configured,
                                                const std::string& connection);

// The time as ISO 8601 in UTC ("2026-12-08T19:42:00Z"), and as the operator reads it
// ("19:42", local time).
KZT_PLATFORM_API std::string isoTime(std::int64_t secondsSinceEpoch);
KZT_PLATFORM_API std::string clockTime(std::int64_t secondsSinceEpoch);

// A failure that says the server cannot be reached (not opened, lost, not answering), as
// opposed to one the server gave.
KZT_PLATFORM_API bool unreachable(const DatabaseError& error);

// Fail fast: once the server is found unreachable, calls do not try it for an interval;
// then one call tries again, with a short connect limit. No thread: calls ask it.
class KZT_PLATFORM_API ServerWatch {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kDefaultRetrySeconds = 30;
    static constexpr int kRetryConnectSeconds = 2;

    // Whether a call now should go to the server.
    bool shouldTry(Clock::time_point now) const;
    // Whether the server was last found away: a try now is a retry.
    bool away() const { return mFailure.has_value(); }
    const std::optional<DatabaseError>& lastFailure() const { return mFailure; }

    void unreachable(Clock::time_point now, const DatabaseError& error);
    void reachable() { mFailure.reset(); }

    void setRetryInterval(std::chrono::milliseconds interval) { mInterval = interval; }
    std::chrono::milliseconds retryInterval() const { return mInterval; }

private:
    std::optional<DatabaseError> mFailure;
    Clock::time_point mSince;
    std::chrono::milliseconds mInterval = std::chrono::seconds(kDefaultRetrySeconds);
};

} // namespace kzt
