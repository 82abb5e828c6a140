#pragma once

// Inside the database layer: a read-only statement prepared once on a session and run
// again with new parameter values, giving every column as the driver's text. Each kind
// of session reads in the way that sees the stored value itself: SQLite and ODBC through
// their own interfaces (a text in a FLOAT column, a value longer than its declared
// column or a NUL inside a text would otherwise be converted or cut unseen), other
// backends through SOCI, whose text is the server's own.

#include "platform/db/databaseerror.h"
#include "platform/db/execution.h"
#include "platform/db/sqldialect.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace soci {
class session;
}

namespace kzt::detail {

using Cell = std::optional<std::string>; // UTF-8 as the driver gave it; nullopt for null

// What a driver reported, before the statement and values are added to it.
struct DriverFailure {
    std::string text; // UTF-8
    DatabaseError::Category category = DatabaseError::Category::StatementFailed;
};

class PreparedRead {
public:
    virtual ~PreparedRead() = default;
    // Runs the statement with `values` bound to its parameters in order of first use, and
    // appends each row's cells (`columns` a row) to `cells`. Raises DriverFailure.
    virtual void run(const std::vector<std::string>& values, std::vector<Cell>& cells) = 0;
};

// Prepares `sql` (in the engine's dialect, ":NAME" parameters) on the session; `names`
// are its parameters in order of first use. Through ODBC the driver itself ends a run
// that passes `queryTimeout` seconds (and a little more). Raises DriverFailure.
std::unique_ptr<PreparedRead> prepareRead(soci::session& session, const std::string& sql,
                                          const std::vector<std::string>& names,
                                          std::size_t columns, int queryTimeout);

// How statements of a backend's sessions run against their limits (execution.h).
Regime regimeFor(const std::string& backend);

// Hands the query limit to a newly opened session's driver where it takes one for the
// waits outside statements (ODBC's connection timeout).
void limitSession(soci::session& session, int queryTimeout);

// The engine on the other end of a newly opened session.
Engine engineOf(soci::session& session);

// The socket of a PostgreSQL session (SOCI's "postgresql" backend).
int postgresqlSocket(soci::session& session);

// The driver's text of a SOCI error, without the backend function SOCI names before it.
std::string driverText(const std::string& sociMessage);

// A SOCI error as the driver's text and the category SOCI gives it.
DriverFailure failureOf(const std::exception& sociError);

} // namespace kzt::detail
