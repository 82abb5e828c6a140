#pragma once

// A connection string, "backend://parameters", taken apart once: what the backend is
// handed, the time limits, and for SQLite the one file that is opened.
//
// Two keys of our own work with every backend and are not passed on as they are:
//   connect_timeout=N   give up opening the connection after N seconds (default 10)
//   query_timeout=N     give up waiting for a statement's answer after N seconds (default 15)
// SQLite has no server to wait for: its query limit is how long a statement waits for
// another connection's write lock (the backend's own timeout=N may only shorten it).
// PostgreSQL sessions always use UTF-8 as client encoding, whatever the database's.

#include "platform/platform_global.h"

#include <string>

namespace kzt {

struct KZT_PLATFORM_API ConnectionTarget {
    static constexpr int kDefaultConnectTimeout = 10;
    static constexpr int kDefaultQueryTimeout = 15;

    std::string backend;                         // "sqlite3", "postgresql", "odbc", ...
    std::string parameters;                      // what the backend receives
    int connectTimeout = kDefaultConnectTimeout; // seconds
    int queryTimeout = kDefaultQueryTimeout;     // seconds
    // sqlite3: the store file the backend opens, as given (the missing-store check tests
    // exactly this file; the backend is never allowed to create it). Empty for an
    // in-memory database.
    std::string sqliteFile;
    bool sqliteInMemory = false;
};

// Raises DatabaseError (ConnectionFailed) for a string that cannot be used, naming why.
KZT_PLATFORM_API ConnectionTarget parseConnectionString(const std::string& utf8);

} // namespace kzt
