#pragma once

// What one database engine spells differently from another. Statements are written once,
// in the SQL Server dialect; the engine on the other end of a connection decides how they
// are rewritten, and the column types of every table the project creates are translated
// the same way.

#include "platform/platform_global.h"

#include <string>
#include <vector>

namespace kzt {

enum class Engine {
    Unknown,   // not connected
    SqlServer, // and its relatives that also spell ISNULL(
    PostgreSql,
    Sqlite,
    Other, // any other engine: standard SQL
};

KZT_PLATFORM_API const char* engineName(Engine engine);

// The engine an ODBC driver reports as its database (SQL_DBMS_NAME): "Microsoft SQL
// Server", "PostgreSQL", "SQLite", ...
KZT_PLATFORM_API Engine engineOfDbmsName(const std::string& dbmsName);

// ISNULL( kept for SQL Server; IFNULL( for SQLite; COALESCE( for PostgreSQL and others.
KZT_PLATFORM_API std::string rewriteForEngine(Engine engine, const std::string& sql);

// The same by SOCI backend name, for when no connection tells the engine ("sqlite3",
// "postgresql"; anything else is taken for SQL Server and left as it is).
KZT_PLATFORM_API std::string rewriteForBackend(const std::string& backend, const std::string& sql);

// Column types of a CREATE TABLE written for SQL Server, in the engine's spelling
// (DATETIME is TIMESTAMP outside SQL Server and SQLite).
KZT_PLATFORM_API std::string translateColumnTypes(Engine engine, const std::string& ddl);

// A script split into its statements at ';' outside quoted text, "--" comments dropped,
// blank statements left out.
KZT_PLATFORM_API std::vector<std::string> splitStatements(const std::string& script);

namespace sqlsyntax {

bool isIdentifierChar(char c);

// Calls `visit(i)` for every position outside quoted literals and identifiers, so that
// text inside 'a:b' or "ISNULL(" is never taken for a parameter or a function; `visit`
// returns the last position it consumed.
template <typename Visit>
void forEachCodeChar(const std::string& text, Visit visit)
{
    char quote = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            continue;
        }
        i = visit(i);
    }
}

} // namespace sqlsyntax

} // namespace kzt
