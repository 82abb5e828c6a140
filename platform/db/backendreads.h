#pragma once

// Inside the database layer: the readers of each backend, one file each, chosen by
// prepareRead() from the session's backend name.

#include "platform/db/preparedread.h"

namespace kzt::detail {

std::unique_ptr<PreparedRead> prepareSqliteRead(soci::session& session, const std::string& sql,
                                                const std::vector<std::string>& names,
                                                std::size_t columns);
std::unique_ptr<PreparedRead> prepareOdbcRead(soci::session& session, const std::string& sql,
                                              const std::vector<std::string>& names,
                                              std::size_t columns, int queryTimeout);
// Any backend without a reader of its own (PostgreSQL among them), through SOCI.
std::unique_ptr<PreparedRead> prepareSociRead(soci::session& session, const std::string& sql,
                                              const std::vector<std::string>& names,
                                              std::size_t columns);

// The engine an ODBC driver reports it reaches.
Engine odbcEngine(soci::session& session);
// Hands the driver the limit for its waits outside statements (the connection timeout).
void limitOdbcSession(soci::session& session, int seconds);

} // namespace kzt::detail
