#include "station/app/samplestore.h"

#include "platform/clientdataset.h"
#include "platform/db/connectionstring.h"
#include "platform/db/database.h"
#include "platform/error.h"
#include "platform/process.h"
#include "platform/text.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace station {

namespace {

const char* const kTables[] = {"GRUPOCOR", "OCORRENCIA", "PRODOCORRE", "LOJA",
                               "VENDA",    "PRODUTO",    "PRECOPROD"};

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

std::string buildingName(const std::string& target)
{
    return target + ".new-" + std::to_string(::getpid());
}

void moveInto(const std::string& from, const std::string& to)
{
    if (std::rename(from.c_str(), to.c_str()) != 0)
        throw sampleError("cannot replace " + to, std::strerror(errno));
}

// The parameter file, written beside its place first and put in place only when the
// store is in place too; until then the file it replaces can be put back.
class ParameterFile {
public:
    explicit ParameterFile(const std::string& dir)
        : mTarget(dir + "/PARAMETROSQTR.CDS"), mBuilding(buildingName(mTarget)),
          mKept(mTarget + ".old-" + std::to_string(::getpid()))
    {
        writeParameterFile(mBuilding);
    }
    ~ParameterFile()
    {
        if (mInstalled && !mDone) {
            std::remove(mTarget.c_str());
            if (mHadOne)
                std::rename(mKept.c_str(), mTarget.c_str());
        }
        std::remove(mBuilding.c_str());
        if (mDone)
            std::remove(mKept.c_str());
    }

    void install()
    {
        mHadOne = kzt::fileExists(mTarget);
        if (mHadOne)
            moveInto(mTarget, mKept);
        mInstalled = true;
        moveInto(mBuilding, mTarget);
    }
    void keep() { mDone = true; }

private:
    std::string mTarget;
    std::string mBuilding;
    std::string mKept;
    bool mHadOne = false;
    bool mInstalled = false;
    bool mDone = false;
};

std::string sqliteConnectionTo(const std::string& file)
{
    if (file.find(' ') == std::string::npos)
        return "sqlite3://db=" + file;
    return file.find('"') == std::string::npos ? "sqlite3://db=\"" + file + "\""
                                               : "sqlite3://db='" + file + "'";
}

// SQLite: the store is built in a file beside its place and renamed into place, so a
// store in use is never seen half written.
void writeSqliteStore(const std::string& file, ParameterFile& parameters)
{
    const std::string building = buildingName(file);
    std::remove(building.c_str());
    try {
        // An empty file is an empty SQLite database; the connection never creates one.
        std::ofstream(building, std::ios::binary | std::ios::trunc).close();
        if (!kzt::fileExists(building))
            throw sampleError("cannot create " + building, std::strerror(errno));
        {
            kzt::Connection store("adcAmostra");
            store.setConnectionString(kzt::utf8ToUtf16(sqliteConnectionTo(building)));
            loadSampleStore(store, false);
        }
        parameters.install();
        moveInto(building, file);
    } catch (...) {
        std::remove(building.c_str());
        throw;
    }
}

} // namespace

void writeParameterFile(const std::string& path)
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
    cds.saveToFile(path);
}

std::vector<std::string> sampleTablesPresent(kzt::Connection& connection)
{
    std::vector<std::string> present;
    for (const char* table : kTables) {
        kzt::Query probe("adqTabela", connection);
        probe.setSql({std::string("SELECT 1 FROM ") + table + " WHERE 1 = 0"});
        probe.addColumn({"X", kzt::FieldType::Integer, 0});
        try {
            probe.open();
            present.emplace_back(table);
        } catch (const kzt::DatabaseError& e) {
            using Category = kzt::DatabaseError::Category;
            if (e.category() != Category::StatementFailed)
                throw; // not an absent table: the server cannot be used
        }
    }
    return present;
}

void loadSampleStore(kzt::Connection& connection, bool replace,
                     const std::function<void()>& beforeCommit)
{
    connection.setConnected(true);
    const std::vector<std::string> present = sampleTablesPresent(connection);
    if (!present.empty() && !replace)
        throw kzt::Error("the database already holds a store (table " + present.front()
                         + "); --force replaces it");
    const kzt::Engine engine = connection.engine();
    connection.transaction([&] {
        for (const auto& table : present)
            connection.execute("DROP TABLE " + table);
        const std::string schema =
            kzt::translateColumnTypes(engine, std::string(sampleSchemaSql()));
        for (const auto& statement : kzt::splitStatements(schema))
            connection.execute(statement);
        for (const auto& statement : kzt::splitStatements(std::string(sampleDataSql())))
            connection.execute(statement);
        if (beforeCommit)
            beforeCommit();
    });
}

void writeSampleStore(const std::string& dir, const std::string& connection, bool force)
{
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error)
        throw sampleError("cannot create " + dir, error.message());
    const std::string target =
        connection.empty() ? sqliteConnectionTo(kzt::joinPath(dir, "store.db")) : connection;
    const kzt::ConnectionTarget parsed = kzt::parseConnectionString(target);

    ParameterFile parameters(dir);
    if (parsed.backend == "sqlite3") {
        if (parsed.sqliteInMemory)
            throw kzt::Error("an in-memory database cannot hold the sample store");
        if (kzt::fileExists(parsed.sqliteFile) && !force)
            throw kzt::Error(kzt::utf8ToCp1252(parsed.sqliteFile)
                             + " already holds a store; --force replaces it");
        writeSqliteStore(parsed.sqliteFile, parameters);
    } else {
        kzt::Connection store("adcAmostra");
        store.setConnectionString(kzt::utf8ToUtf16(target));
        // The parameter file goes into place before the store's transaction commits, and
        // back out if the commit fails.
        loadSampleStore(store, force, [&] { parameters.install(); });
    }
    parameters.keep();
}

} // namespace station
