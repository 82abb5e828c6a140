#pragma once

// A connection string, "backend://parameters", taken apart once: what the backend is
// handed, the time limits, and for SQLite the one file that is opened.
//
// Two keys of our own work with every backend and are not passed on as they are:
//   connect_timeout=N   give up opening the connection after N seconds (default 10)
//   query_timeout=N     give up waiting for a statement's answer after N seconds (default 15)
// SQLite has no server to wait for: its query limit is how long a statement waits for
// another connection's write lock (the backend's own timeout=N may only shorten it).
// PostgreSQL: "postgresql://" or "postgres://" followed by libpq's keywords
// ("host=... dbname=...") or a libpq URI ("user@host:port/db?param=...", our two keys
// among its parameters). Sessions always use UTF-8 as client encoding, whatever the
// database's, and carry application_name "kzt00318/" and the host executable's name
// unless the string names one.

#include "platform/platform_global.h"

#include <string>
#include <string_view>

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

// `text` (a connection string, or any message or trace that may quote one) with every
// secret shown as ***: the values of password and pwd in any letter case, in the keyword,
// ODBC and URI-query forms, and the password of a URI's user ("u:***@host"). ASCII is all
// it looks at, so it serves UTF-8 and Windows-1252 text alike.
KZT_PLATFORM_API std::string maskedSecrets(std::string_view text);

// Raises DatabaseError (ConnectionFailed) for a string that cannot be used, naming why.
KZT_PLATFORM_API ConnectionTarget parseConnectionString(const std::string& utf8);

} // namespace kzt
