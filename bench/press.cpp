// One press of a controlled, priced occurrence (the maximum query, the price lookup, the
// control record and the text append) against the same two database reads done bare.
// A press should cost no more than twice its reads.

#include "bench/nobody.h"
#include "client/Cli_kzt00318.h"
#include "client/frmobservacao.h"
#include "platform/clientdataset.h"
#include "platform/process.h"
#include "station/hostlib/presentation.h"

#include <QApplication>

#include <benchmark/benchmark.h>
#include <soci/soci.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void execute(const std::string& db, const std::string& sql)
{
    sqlite3* handle = nullptr;
    sqlite3_open(db.c_str(), &handle);
    char* error = nullptr;
    const int rc = sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &error);
    const std::string message = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(handle);
    if (rc != SQLITE_OK)
        throw std::runtime_error("sample store: " + message);
}

// The sample store and a station parameter file (branch 0001, store 01) in a fresh folder.
class SampleStore {
public:
    SampleStore()
    {
        folder = fs::temp_directory_path() / ("kzt-bench-press-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        db = (folder / "store.db").string();
        const fs::path sample = fs::path(KZT_SOURCE_DIR) / "station" / "sample";
        execute(db, readFile(sample / "schema.sql"));
        execute(db, readFile(sample / "data.sql"));

        kzt::ClientDataSet parameters("cdsParametrosQtr");
        for (const char* field : {"CDFILIAL", "CDLOJA", "IDESQUEMA", "CDCAIXA"})
            parameters.addFieldDef({field, kzt::FieldType::String, 4, true, {}});
        parameters.addFieldDef({"SISTEMAQTRNFCE", kzt::FieldType::Boolean, 0, true, {}});
        parameters.addFieldDef({"SISTEMAQTRSAT", kzt::FieldType::Boolean, 0, true, {}});
        parameters.createDataSet();
        parameters.append();
        parameters.fieldByName("CDFILIAL").setAsString("0001");
        parameters.fieldByName("CDLOJA").setAsString("01");
        parameters.fieldByName("IDESQUEMA").setAsString("001");
        parameters.fieldByName("CDCAIXA").setAsString("001");
        parameters.fieldByName("SISTEMAQTRNFCE").setAsBoolean(false);
        parameters.fieldByName("SISTEMAQTRSAT").setAsBoolean(false);
        parameters.post();
        parameters.saveToFile((folder / "PARAMETROSQTR.CDS").string());

        kzt::setHostExecutablePath((folder / "host").string());
        host::setConnectionString("", connection());
        previous = host::setPresentation(&nobody);
    }
    ~SampleStore()
    {
        host::setPresentation(previous);
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    std::string connection() const { return "sqlite3://db=" + db; }

    fs::path folder;
    std::string db;
    kzt::bench::Nobody nobody;
    host::Presentation* previous = nullptr;
};

SampleStore& sampleStore()
{
    static SampleStore instance;
    return instance;
}

// Product 1003 has no maximum, so every press of 11 (an extra priced at 4.50) is accepted.
void BM_PressPricedOccurrence(benchmark::State& state)
{
    sampleStore();
    const std::vector<kzt::Variant> request{"N", "P", "1003", "FILE", "", false, "", "", "", ""};
    auto form = std::make_unique<Cli_kzt00318::TfrmObservacao>();
    form->InicializaForm(request.data(), static_cast<int>(request.size()) - 1);
    form->show();
    host::TBlendedBitBtn* button = nullptr;
    for (host::TBlendedBitBtn* b : form->sbtGrade)
        if (b->code() == "11")
            button = b;
    if (button == nullptr) {
        state.SkipWithError("occurrence 11 has no button");
        return;
    }
    int sinceClear = 0;
    for (auto _ : state) {
        button->click();
        // The composed text and the records grow with every press; start again now and
        // then so that every press measures the same work.
        if (++sinceClear == 64) {
            state.PauseTiming();
            form->btnLimparObsTudo();
            sinceClear = 0;
            state.ResumeTiming();
        }
    }
    if (form->cdsControlaObs.isEmpty() && sinceClear > 0)
        state.SkipWithError("the presses were refused");
}
BENCHMARK(BM_PressPricedOccurrence)->Unit(benchmark::kMicrosecond);

// The same two reads: the maximum on the module's open connection, and the price on a
// session of its own, opened and closed around the read as the price lookup does.
void BM_BareReads(benchmark::State& state)
{
    SampleStore& l = sampleStore();
    soci::session moduleSession(l.connection());
    const bool sessionPerRead = state.range(0) == 1;
    std::unique_ptr<soci::session> sharedSession;
    if (!sessionPerRead)
        sharedSession = std::make_unique<soci::session>(l.connection());
    const std::string produto = "1003", filial = "0001", cdLoja = "01", extra = "2001";
    for (auto _ : state) {
        double maximo = 0;
        soci::indicator indMaximo = soci::i_null;
        moduleSession << "SELECT QTMAXOBSERV\nFROM PRODUTO\nWHERE CDPRODUTO = :P_CDPRODUTO\n"
                         "AND QTMAXOBSERV IS NOT NULL",
            soci::use(produto), soci::into(maximo, indMaximo);

        double preco = 0;
        std::string bloqueado;
        soci::indicator indPreco = soci::i_null, indBloq = soci::i_null;
        std::unique_ptr<soci::session> ownSession;
        if (sessionPerRead)
            ownSession = std::make_unique<soci::session>(l.connection());
        soci::session& priceSession = sessionPerRead ? *ownSession : *sharedSession;
        priceSession << "SELECT VRPRECO, IDPRODBLOQ\nFROM PRECOPROD\nWHERE CDFILIAL = :P_CDFILIAL\n"
                        "AND CDLOJA = :P_CDLOJA\nAND CDPRODUTO = :P_CDPRODUTO",
            soci::use(filial), soci::use(cdLoja), soci::use(extra), soci::into(preco, indPreco),
            soci::into(bloqueado, indBloq);
        benchmark::DoNotOptimize(maximo);
        benchmark::DoNotOptimize(preco);
    }
}
BENCHMARK(BM_BareReads)
    ->Arg(1)
    ->Arg(0)
    ->ArgName("price_session_per_read")
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
