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

// Calls `visit(name, at, end)` for every ":NAME" parameter outside quotes, where `at` is
// the position of the ':' and `end` the position after the name. "::" is a type cast on
// some engines, never a parameter.
template <typename Visit>
void forEachParameter(const std::string& sql, Visit visit)
{
    forEachCodeChar(sql, [&](std::size_t i) {
        if (sql[i] != ':')
            return i;
        if (i + 1 < sql.size() && sql[i + 1] == ':')
            return i + 1;
        std::size_t end = i + 1;
        while (end < sql.size() && isIdentifierChar(sql[end]))
            ++end;
        if (end == i + 1)
            return i;
        visit(sql.substr(i + 1, end - i - 1), i, end);
        return end - 1;
    });
}

} // namespace sqlsyntax

} // namespace kzt
