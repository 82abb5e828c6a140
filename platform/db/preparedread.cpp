#include "platform/db/backendreads.h"

#include <soci/soci.h>

#include <cctype>

namespace kzt::detail {

using Category = DatabaseError::Category;

std::unique_ptr<PreparedRead> prepareRead(soci::session& session, const std::string& sql,
                                          const std::vector<std::string>& names,
                                          std::size_t columns, int queryTimeout)
{
    const std::string backend = session.get_backend_name();
    if (backend == "sqlite3")
        return prepareSqliteRead(session, sql, names, columns);
    if (backend == "odbc")
        return prepareOdbcRead(session, sql, names, columns, queryTimeout);
    return prepareSociRead(session, sql, names, columns);
}

Regime regimeFor(const std::string& backend)
{
    if (backend == "sqlite3")
        return Regime::CallerThread;
    if (backend == "postgresql")
        return Regime::Watched; // its socket is known: a watchdog can end any wait
    return Regime::Worker;
}

void limitSession(soci::session& session, int queryTimeout)
{
    if (session.get_backend_name() == "odbc")
        limitOdbcSession(session, queryTimeout);
}

Engine engineOf(soci::session& session)
{
    const std::string backend = session.get_backend_name();
    if (backend == "sqlite3")
        return Engine::Sqlite;
    if (backend == "postgresql")
        return Engine::PostgreSql;
    if (backend != "odbc")
        return Engine::Other;
    return odbcEngine(session);
}

DriverFailure failureOf(const std::exception& error)
{
    const auto* e = dynamic_cast<const soci::soci_error*>(&error);
    if (!e)
        return DriverFailure{error.what(), Category::StatementFailed};
    Category category = Category::StatementFailed;
    switch (e->get_error_category()) {
    case soci::soci_error::connection_error: category = Category::ConnectionLost; break;
    case soci::soci_error::no_privilege: category = Category::NoPrivilege; break;
    case soci::soci_error::constraint_violation: category = Category::ConstraintViolation; break;
    default: break;
    }
    return DriverFailure{driverText(e->get_error_message()), category};
}

std::string driverText(const std::string& sociMessage)
{
    std::string text = sociMessage;
    const auto scope = text.find("::");
    const auto colon = text.find(": ");
    if (scope != std::string::npos && colon != std::string::npos && scope < colon) {
        bool symbol = true;
        for (std::size_t i = 0; i < colon; ++i)
            symbol = symbol && (sqlsyntax::isIdentifierChar(text[i]) || text[i] == ':');
        if (symbol)
            text.erase(0, colon + 2);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    return text;
}

} // namespace kzt::detail
