#pragma once

// The sample store a station can be tried with: the store database and the station
// parameter file, written by --init-sample.

#include <string>
#include <string_view>

namespace station {

// Writes <dir>/store.db (schema and sample data; an existing store is replaced whole or
// not at all) and <dir>/PARAMETROSQTR.CDS (branch 0001, store 01, schema 001, till 001,
// neither NFC-e nor SAT). Raises kzt::Error naming what failed.
void writeSampleStore(const std::string& dir);

// The SQL the sample store is built from, as embedded at build time.
std::string_view sampleSchemaSql();
std::string_view sampleDataSql();

} // namespace station
