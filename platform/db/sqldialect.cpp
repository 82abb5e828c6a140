#include "platform/db/sqldialect.h"

#include <cctype>
#include <string_view>

namespace kzt {

namespace sqlsyntax {

bool isIdentifierChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

} // namespace sqlsyntax

namespace {

bool equalsNoCase(const std::string& text, std::size_t at, std::string_view word)
{
    if (text.size() - at < word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[at + i])) != word[i])
            return false;
    }
    return true;
}

bool containsNoCase(const std::string& text, std::string_view word)
{
    for (std::size_t at = 0; at + word.size() <= text.size(); ++at) {
        if (equalsNoCase(text, at, word))
            return true;
    }
    return false;
}

// Replaces the word `from` where it stands as a whole word outside quotes, and, when
// `call` is set, only where a '(' follows it.
std::string replaceWord(const std::string& text, std::string_view from, std::string_view to,
                        bool call)
{
    std::string out;
    std::size_t copied = 0;
    sqlsyntax::forEachCodeChar(text, [&](std::size_t i) {
        if (!equalsNoCase(text, i, from) || (i > 0 && sqlsyntax::isIdentifierChar(text[i - 1])))
            return i;
        std::size_t next = i + from.size();
        if (call) {
            while (next < text.size() && std::isspace(static_cast<unsigned char>(text[next])))
                ++next;
            if (next >= text.size() || text[next] != '(')
                return i;
        } else if (next < text.size() && sqlsyntax::isIdentifierChar(text[next])) {
            return i;
        }
        out.append(text, copied, i - copied);
        out += to;
        copied = i + from.size();
        return copied - 1;
    });
    out.append(text, copied, std::string::npos);
    return out;
}

} // namespace

const char* engineName(Engine engine)
{
    switch (engine) {
    case Engine::SqlServer: return "SQL Server";
    case Engine::PostgreSql: return "PostgreSQL";
    case Engine::Sqlite: return "SQLite";
    case Engine::Other: return "other";
    case Engine::Unknown: break;
    }
    return "unknown";
}

Engine engineOfDbmsName(const std::string& dbmsName)
{
    if (containsNoCase(dbmsName, "SQL SERVER") || containsNoCase(dbmsName, "ADAPTIVE SERVER")
        || containsNoCase(dbmsName, "SYBASE"))
        return Engine::SqlServer;
    if (containsNoCase(dbmsName, "POSTGRES"))
        return Engine::PostgreSql;
    if (containsNoCase(dbmsName, "SQLITE"))
        return Engine::Sqlite;
    return Engine::Other;
}

std::string rewriteForEngine(Engine engine, const std::string& sql)
{
    switch (engine) {
    case Engine::SqlServer:
    case Engine::Unknown: return sql;
    case Engine::Sqlite: return replaceWord(sql, "ISNULL", "IFNULL", true);
    case Engine::PostgreSql:
    case Engine::Other: return replaceWord(sql, "ISNULL", "COALESCE", true);
    }
    return sql;
}

std::string rewriteForBackend(const std::string& backend, const std::string& sql)
{
    if (backend == "sqlite3")
        return rewriteForEngine(Engine::Sqlite, sql);
    if (backend == "postgresql")
        return rewriteForEngine(Engine::PostgreSql, sql);
    return sql;
}

std::string translateColumnTypes(Engine engine, const std::string& ddl)
{
    if (engine == Engine::SqlServer || engine == Engine::Sqlite || engine == Engine::Unknown)
        return ddl;
    return replaceWord(ddl, "DATETIME", "TIMESTAMP", false);
}

std::vector<std::string> splitStatements(const std::string& script)
{
    std::vector<std::string> statements;
    std::string current;
    auto finish = [&] {
        if (current.find_first_not_of(" \t\r\n") != std::string::npos)
            statements.push_back(current);
        current.clear();
    };
    char quote = 0;
    for (std::size_t i = 0; i < script.size(); ++i) {
        const char c = script[i];
        if (quote) {
            current += c;
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '-' && i + 1 < script.size() && script[i + 1] == '-') {
            while (i + 1 < script.size() && script[i + 1] != '\n')
                ++i;
            continue;
        }
        if (c == ';') {
            finish();
            continue;
        }
        if (c == '\'' || c == '"')
            quote = c;
        current += c;
    }
    finish();
    return statements;
}

} // namespace kzt
