// The data routines against the same statements run bare: getOcorPed over an order group
// of 10,000 and 100,000 occurrences (read and written as a packet) against the sqlite3 C
// API with pugixml writing the same packet, and getQtMaxObserv against the bare
// single-row query. The routines should stay within twice the bare time.

#include "server/Srv_kzt00318.h"
#include "server/rdmobservacao.h"

#include "host/settings.h"
#include "platform/datapacket.h"
#include "platform/process.h"
#include "platform/text.h"
#include "station/app/samplestore.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <system_error>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const char* const kOcorPed =
    "SELECT DISTINCT\n"
    "OC.CDGRPOCOR, OC.CDOCORR, OC.CDTIPRISCO, OC.DSOCORR, OC.CDPRODUTO, OC.IDCONTROLAOBS\n"
    "FROM\n"
    "GRUPOCOR GR, LOJA LJ, OCORRENCIA OC, PRODOCORRE PR\n"
    "WHERE (OC.CDGRPOCOR = GR.CDGRPOCOR)\n"
    "AND (PR.CDGRPOCOR = GR.CDGRPOCOR)\n"
    "AND (PR.CDOCORR = OC.CDOCORR)\n"
    "AND (OC.CDGRPOCOR = LJ.CDGRPOCORPED)\n"
    "AND (LJ.CDFILIAL =:P_CDFILIAL)\n"
    "AND (LJ.CDLOJA =:P_CDLOJA)\n"
    "AND (PR.CDPRODUTO =:P_CDPRODUTO)\n"
    "ORDER BY\n"
    "OC.CDOCORR";

const char* const kQtMaxObserv = "SELECT QTMAXOBSERV\n"
                                 "FROM PRODUTO\n"
                                 "WHERE CDPRODUTO = :P_CDPRODUTO\n"
                                 "AND QTMAXOBSERV IS NOT NULL";

struct Column {
    const char* name;
    int width;
};
const Column kColumns[] = {{"CDGRPOCOR", 2}, {"CDOCORR", 2},    {"CDTIPRISCO", 2},
                           {"DSOCORR", 40},  {"CDPRODUTO", 10}, {"IDCONTROLAOBS", 1}};

void exec(sqlite3* db, const std::string& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "?";
        sqlite3_free(error);
        throw std::runtime_error(message);
    }
}

fs::path benchDir()
{
    return fs::temp_directory_path() / ("kzt-bench-data-" + std::to_string(::getpid()));
}

// A store whose order group 01 holds `count` occurrences, all linked to product 1001.
std::string storeWith(int count)
{
    static std::map<int, std::string> made;
    if (auto found = made.find(count); found != made.end())
        return found->second;
    const fs::path dir = benchDir() / std::to_string(count);
    fs::create_directories(dir);
    const std::string path = (dir / "store.db").string();
    fs::remove(path);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    exec(db, "BEGIN");
    exec(db, std::string(station::sampleSchemaSql()));
    // Codes have two characters and repeat past a hundred, so the list's rows are kept
    // apart by their descriptions, without the sample's key on the code.
    exec(db, "DROP TABLE OCORRENCIA;"
             "CREATE TABLE OCORRENCIA (CDGRPOCOR CHAR(2), CDOCORR CHAR(2), CDTIPRISCO CHAR(2),"
             " DSOCORR VARCHAR(40), CDPRODUTO VARCHAR(10), IDCONTROLAOBS CHAR(1))");
    exec(db, "INSERT INTO GRUPOCOR VALUES ('01', 'OBSERVAÇÕES DE PEDIDO');"
             "INSERT INTO LOJA VALUES ('0001', '01', 'SALÃO', '03', '02', '01', '04', 'S');"
             "INSERT INTO PRODUTO VALUES ('1001', 'HAMBÚRGUER ARTESANAL', 2)");
    sqlite3_stmt* occurrence = nullptr;
    sqlite3_stmt* link = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO OCORRENCIA VALUES ('01', ?, '00', ?, ?, ?)", -1,
                       &occurrence, nullptr);
    sqlite3_prepare_v2(db, "INSERT INTO PRODOCORRE VALUES ('01', ?, '1001')", -1, &link, nullptr);
    const char* const notes[] = {"SEM CEBOLA", "BEM PASSADO", "MOLHO À PARTE", "PÃO SEM GLÚTEN"};
    for (int i = 0; i < count; ++i) {
        char code[8];
        char number[16];
        std::snprintf(code, sizeof code, "%02d", i % 100);
        std::snprintf(number, sizeof number, "%06d", i);
        const std::string text = std::string(notes[i % 4]) + " " + number;
        sqlite3_bind_text(occurrence, 1, code, -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(occurrence, 2, text.c_str(), -1, SQLITE_TRANSIENT);
        if (i % 3 == 0) {
            sqlite3_bind_text(occurrence, 3, "2001", -1, SQLITE_STATIC);
            sqlite3_bind_text(occurrence, 4, "A", -1, SQLITE_STATIC);
        } else {
            sqlite3_bind_null(occurrence, 3);
            sqlite3_bind_text(occurrence, 4, "N", -1, SQLITE_STATIC);
        }
        sqlite3_step(occurrence);
        sqlite3_reset(occurrence);
        if (i < 100) { // one link a code: each occurrence joins its product once
            sqlite3_bind_text(link, 1, code, -1, SQLITE_TRANSIENT);
            sqlite3_step(link);
            sqlite3_reset(link);
        }
    }
    sqlite3_finalize(occurrence);
    sqlite3_finalize(link);
    exec(db, "COMMIT");
    sqlite3_close(db);
    made[count] = path;
    return path;
}

void useStore(const std::string& path)
{
    delete Srv_kzt00318::rdmObservacao;
    Srv_kzt00318::rdmObservacao = nullptr;
    kzt::setHostExecutablePath(fs::path(path).parent_path() / "host");
    host::setConnectionString("", "sqlite3://db=" + path);
}

// Cut to the declared width in characters, as the packet's declaration says.
std::string cut(const char* utf8, int width)
{
    std::string out;
    int characters = 0;
    for (const char* p = utf8; *p; ++p) {
        const bool starts = (static_cast<unsigned char>(*p) & 0xC0) != 0x80;
        if (starts && ++characters > width)
            break;
        out += *p;
    }
    return out;
}

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override
    {
        out.append(static_cast<const char*>(data), size);
    }
};

std::string bareOcorPed(sqlite3* db)
{
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, kOcorPed, -1, &st, nullptr);
    sqlite3_bind_text(st, sqlite3_bind_parameter_index(st, ":P_CDFILIAL"), "0001", -1,
                      SQLITE_STATIC);
    sqlite3_bind_text(st, sqlite3_bind_parameter_index(st, ":P_CDLOJA"), "01", -1, SQLITE_STATIC);
    sqlite3_bind_text(st, sqlite3_bind_parameter_index(st, ":P_CDPRODUTO"), "1001", -1,
                      SQLITE_STATIC);

    pugi::xml_document doc;
    auto declaration = doc.append_child(pugi::node_declaration);
    declaration.append_attribute("version") = "1.0";
    declaration.append_attribute("encoding") = "UTF-8";
    declaration.append_attribute("standalone") = "yes";
    auto packet = doc.append_child("DATAPACKET");
    packet.append_attribute("Version") = "2.0";
    auto metadata = packet.append_child("METADATA");
    auto fields = metadata.append_child("FIELDS");
    for (const auto& column : kColumns) {
        auto field = fields.append_child("FIELD");
        field.append_attribute("attrname") = column.name;
        field.append_attribute("fieldtype") = "string";
        field.append_attribute("WIDTH") = column.width;
    }
    metadata.append_child("PARAMS");
    auto rows = packet.append_child("ROWDATA");
    while (sqlite3_step(st) == SQLITE_ROW) {
        auto row = rows.append_child("ROW");
        for (int i = 0; i < 6; ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
            if (text)
                row.append_attribute(kColumns[i].name) = cut(text, kColumns[i].width).c_str();
        }
    }
    sqlite3_finalize(st);
    StringWriter writer;
    doc.save(writer, "  ");
    return writer.out;
}

double bareQtMaxObserv(sqlite3* db)
{
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, kQtMaxObserv, -1, &st, nullptr);
    sqlite3_bind_text(st, sqlite3_bind_parameter_index(st, ":P_CDPRODUTO"), "1001", -1,
                      SQLITE_STATIC);
    const double maximum = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_double(st, 0) : 9999;
    sqlite3_finalize(st);
    return maximum;
}

void BM_getOcorPed(benchmark::State& state)
{
    useStore(storeWith(static_cast<int>(state.range(0))));
    const kzt::Variant first = Srv_kzt00318::getOcorPed(u"0001", u"01", u"1001");
    if (!first.isPacket()) {
        state.SkipWithError(kzt::cp1252ToUtf8(first.asText()).c_str());
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(Srv_kzt00318::getOcorPed(u"0001", u"01", u"1001"));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_getOcorPed_bare(benchmark::State& state)
{
    const std::string path = storeWith(static_cast<int>(state.range(0)));
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    // Both ways must give the same packet, or the comparison means nothing.
    useStore(path);
    const kzt::Packet mine =
        kzt::parsePacket(Srv_kzt00318::getOcorPed(u"0001", u"01", u"1001").packet());
    if (kzt::parsePacket(bareOcorPed(db)) != mine
        || mine.rows.size() != static_cast<size_t>(state.range(0))) {
        state.SkipWithError("the bare packet differs from the routine's");
        sqlite3_close(db);
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(bareOcorPed(db));
    state.SetItemsProcessed(state.iterations() * state.range(0));
    sqlite3_close(db);
}

void BM_getQtMaxObserv(benchmark::State& state)
{
    useStore(storeWith(10000));
    if (Srv_kzt00318::getQtMaxObserv("1001") != 2) {
        state.SkipWithError("unexpected maximum");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(Srv_kzt00318::getQtMaxObserv("1001"));
}

void BM_getQtMaxObserv_bare(benchmark::State& state)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(storeWith(10000).c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    for (auto _ : state)
        benchmark::DoNotOptimize(bareQtMaxObserv(db));
    sqlite3_close(db);
}

} // namespace

BENCHMARK(BM_getOcorPed)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_getOcorPed_bare)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_getQtMaxObserv)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_getQtMaxObserv_bare)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    delete Srv_kzt00318::rdmObservacao;
    Srv_kzt00318::rdmObservacao = nullptr;
    std::error_code ignored;
    fs::remove_all(benchDir(), ignored);
    return 0;
}
