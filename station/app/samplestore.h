#pragma once

// The sample store a station can be tried with: the store database and the station
// parameter file, written by --init-sample.

#include "platform/db/connection.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace station {

// Loads the sample store into the database `connection` names (default: the SQLite file
// <dir>/store.db), its tables created with the column types of the engine on the other
// end, and writes <dir>/PARAMETROSQTR.CDS (branch 0001, store 01, schema 001, till 001,
// neither NFC-e nor SAT). Both are written or neither. A database that already holds a
// store (the SQLite file, or any of the store's tables) is kept and the call refused,
// unless `force`, which replaces the store whole. Raises kzt::Error naming what failed.
void writeSampleStore(const std::string& dir, const std::string& connection = {},
                      bool force = false);

// Writes the sample station parameter file at `path` (the fields of writeSampleStore's
// file, plus the station's own name).
void writeParameterFile(const std::string& path);

// Creates the store's tables and loads the sample data into an open (or openable)
// connection's database in one transaction; `beforeCommit` runs last inside it. Tables
// of a store already there are dropped first when `replace`, else the call is refused.
void loadSampleStore(kzt::Connection& connection, bool replace,
                     const std::function<void()>& beforeCommit = {});

// Which of the store's tables the connection's database holds.
std::vector<std::string> sampleTablesPresent(kzt::Connection& connection);

// The SQL the sample store is built from, as embedded at build time.
std::string_view sampleSchemaSql();
std::string_view sampleDataSql();

} // namespace station
