#pragma once

// Real SQLite store databases and station parameter files for the tests.

#include <string>

namespace kzt::test {

// Creates <dir>/store.db from station/sample/schema.sql, with station/sample/data.sql
// too when `withSampleData`; returns the database path.
std::string createStore(const std::string& dir, bool withSampleData = false);
// Runs SQL statements on the database through the sqlite3 C API; fails the test on error.
void execSql(const std::string& dbPath, const std::string& sql);
std::string sqliteConnection(const std::string& dbPath); // "sqlite3://db=<path>"

struct StationParameters {
    std::string cdFilial = "0001";
    std::string cdLoja = "01";
    std::string idEsquema = "001";
    std::string cdCaixa = "001";
    bool nfce = false;
    bool sat = false;
    bool withSat = true; // false: the file lacks the SISTEMAQTRSAT field
};
// Writes <dir>/PARAMETROSQTR.CDS as a saved dataset; returns its path.
std::string writeParameterFile(const std::string& dir, const StationParameters& p = {});

// Points the host library at the store (code "" and "212") and the host executable path
// at <dir>/host so that PARAMETROSQTR.CDS is read from dir; drops the data module so the
// next call connects afresh. Undone by resetStation().
void useStation(const std::string& dir, const std::string& dbPath);
void resetStation();

} // namespace kzt::test
