#include "tests/support/store.h"

#include "platform/clientdataset.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kzt::test {

namespace {

std::string readSampleFile(const std::string& name)
{
    const std::string path = std::string(KZT_SOURCE_DIR) + "/station/sample/" + name;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

FieldDef fieldDef(const char* name, FieldType type, int size = 0)
{
    FieldDef def;
    def.name = name;
    def.type = type;
    def.size = size;
    return def;
}

[[noreturn]] void failWith(const std::string& message)
{
    ADD_FAILURE() << message;
    throw std::runtime_error(message);
}

} // namespace

std::string createStore(const std::string& dir, bool withSampleData)
{
    const std::string dbPath = dir + "/store.db";
    std::filesystem::remove(dbPath);
    // One transaction: a store a test builds need not wait on the disk statement by statement.
    execSql(dbPath, "BEGIN;\n" + readSampleFile("schema.sql")
                        + (withSampleData ? readSampleFile("data.sql") : std::string())
                        + "\nCOMMIT;");
    return dbPath;
}

void execSql(const std::string& dbPath, const std::string& sql)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
        != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        failWith("cannot open " + dbPath + ": " + message);
    }
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    if (rc != SQLITE_OK)
        failWith("SQL failed on " + dbPath + ": " + message);
}

std::string sqliteConnection(const std::string& dbPath)
{
    return "sqlite3://db=" + dbPath;
}

std::string writeParameterFile(const std::string& dir, const StationParameters& p)
{
    ClientDataSet cds("cdsParametrosQtr");
    cds.addFieldDef(fieldDef("CDFILIAL", FieldType::String, 4));
    cds.addFieldDef(fieldDef("CDLOJA", FieldType::String, 4));
    cds.addFieldDef(fieldDef("IDESQUEMA", FieldType::String, 3));
    cds.addFieldDef(fieldDef("CDCAIXA", FieldType::String, 3));
    cds.addFieldDef(fieldDef("SISTEMAQTRNFCE", FieldType::Boolean));
    if (p.withSat)
        cds.addFieldDef(fieldDef("SISTEMAQTRSAT", FieldType::Boolean));
    cds.createDataSet();
    cds.append();
    cds.fieldByName("CDFILIAL").setAsString(p.cdFilial);
    cds.fieldByName("CDLOJA").setAsString(p.cdLoja);
    cds.fieldByName("IDESQUEMA").setAsString(p.idEsquema);
    cds.fieldByName("CDCAIXA").setAsString(p.cdCaixa);
    cds.fieldByName("SISTEMAQTRNFCE").setAsBoolean(p.nfce);
    if (p.withSat)
        cds.fieldByName("SISTEMAQTRSAT").setAsBoolean(p.sat);
    cds.post();
    const std::string path = dir + "/PARAMETROSQTR.CDS";
    cds.saveToFile(path);
    return path;
}

} // namespace kzt::test
