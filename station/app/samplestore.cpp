#include "station/app/samplestore.h"

#include "platform/clientdataset.h"
#include "platform/error.h"
#include "platform/text.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace station {

namespace {

kzt::FieldDef fieldDef(const char* name, kzt::FieldType type, int size = 0)
{
    kzt::FieldDef def;
    def.name = name;
    def.type = type;
    def.size = size;
    return def;
}

kzt::Error sampleError(const std::string& what, const std::string& detail)
{
    return kzt::Error(kzt::utf8ToCp1252(what + ": " + detail));
}

void runScript(sqlite3* db, std::string_view script, const char* name)
{
    char* error = nullptr;
    const std::string sql(script);
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : sqlite3_errmsg(db);
        sqlite3_free(error);
        throw sampleError(std::string("the sample ") + name + " failed", message);
    }
}

// Builds the database beside the target and renames it into place, so a store in use
// is never seen half written.
void writeStore(const std::string& dir)
{
    const std::string target = dir + "/store.db";
    const std::string building = target + ".new-" + std::to_string(::getpid());
    std::remove(building.c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(building.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        const std::string message = db ? sqlite3_errmsg(db) : "out of memory";
        sqlite3_close(db);
        std::remove(building.c_str());
        throw sampleError("cannot create " + building, message);
    }
    try {
        runScript(db, "BEGIN", "transaction");
        runScript(db, sampleSchemaSql(), "schema");
        runScript(db, sampleDataSql(), "data");
        runScript(db, "COMMIT", "transaction");
    } catch (...) {
        sqlite3_close(db);
        std::remove(building.c_str());
        throw;
    }
    sqlite3_close(db);
    if (std::rename(building.c_str(), target.c_str()) != 0) {
        const std::string message = std::strerror(errno);
        std::remove(building.c_str());
        throw sampleError("cannot replace " + target, message);
    }
}

void writeParameters(const std::string& dir)
{
    using kzt::FieldType;
    kzt::ClientDataSet cds("cdsParametrosQtr");
    cds.addFieldDef(fieldDef("CDFILIAL", FieldType::String, 4));
    cds.addFieldDef(fieldDef("CDLOJA", FieldType::String, 4));
    cds.addFieldDef(fieldDef("IDESQUEMA", FieldType::String, 3));
    cds.addFieldDef(fieldDef("CDCAIXA", FieldType::String, 3));
    cds.addFieldDef(fieldDef("SISTEMAQTRNFCE", FieldType::Boolean));
    cds.addFieldDef(fieldDef("SISTEMAQTRSAT", FieldType::Boolean));
    // The station's own name: a field of the file the module does not read.
    cds.addFieldDef(fieldDef("NMESTACAO", FieldType::String, 40));
    cds.createDataSet();
    cds.append();
    cds.fieldByName("CDFILIAL").setAsString("0001");
    cds.fieldByName("CDLOJA").setAsString("01");
    cds.fieldByName("IDESQUEMA").setAsString("001");
    cds.fieldByName("CDCAIXA").setAsString("001");
    cds.fieldByName("SISTEMAQTRNFCE").setAsBoolean(false);
    cds.fieldByName("SISTEMAQTRSAT").setAsBoolean(false);
    cds.fieldByName("NMESTACAO").setAsString(kzt::utf8ToCp1252("CAIXA 01 - SALÃO"));
    cds.post();
    cds.saveToFile(dir + "/PARAMETROSQTR.CDS");
}

} // namespace

void writeSampleStore(const std::string& dir)
{
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error)
        throw sampleError("cannot create " + dir, error.message());
    writeStore(dir);
    writeParameters(dir);
}

} // namespace station
