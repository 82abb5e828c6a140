// The C interface's own cost for an order call on a 28-occurrence list (the request read
// from JSON into code-page variants, the reply written back with both record lists full),
// set beside that call's dialog preparation (creating and initialising the dialog, the
// connection already open), measured in the same iterations:
//   ratio = C interface / preparation, which must stay at or below 0.10.

#include "bench/nobody.h"
#include "client/Cli_kzt00318.h"
#include "client/cinterface.h"
#include "client/frmobservacao.h"
#include "platform/datapacket.h"
#include "platform/process.h"
#include "platform/text.h"
#include "station/app/samplestore.h"
#include "station/hostlib/presentation.h"

#include <QApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Cli_kzt00318::TfrmObservacao;
using kzt::Variant;
using kzt::bench::Nobody;
namespace capi = Cli_kzt00318::capi;

// Product 1001 of the sample store, its order list cut to the 28 occurrences a full grid
// shows.
const char* const kRequest =
    R"(["N", "P", "1001", "HAMBÚRGUER ARTESANAL", "", true, "", "", "", ""])";

double seconds(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// What the call hands back when the operator chose every occurrence on the list: the
// composed text and both record lists with a row for each.
struct Retorno {
    std::string text;
    Variant result = Variant::arrayOf(5);
};

Retorno retornoCheio(TfrmObservacao& form)
{
    Retorno r;
    kzt::Packet escolhidas;
    escolhidas.fields = {{"CDOCORR", kzt::FieldType::String, 2}};
    kzt::Packet controladas;
    controladas.fields = {{"CDOCORR", kzt::FieldType::String, 2},
                          {"CDPRODUTO", kzt::FieldType::String, 10},
                          {"IDCONTROLAOBS", kzt::FieldType::String, 1}};
    form.cdsObs.first();
    while (!form.cdsObs.eof()) {
        const std::string code = form.cdsObs.fieldByName("CDOCORR").asString();
        r.text += " " + form.cdsObs.fieldByName("DSOCORR").asString() + ";";
        escolhidas.rows.push_back({code});
        controladas.rows.push_back({code, std::string("1001"), std::string("R")});
        form.cdsObs.next();
    }
    r.result.at(0) = Variant("01");
    r.result.at(1) = Variant("15");
    r.result.at(2) = Variant::fromPacket(kzt::writePacket(escolhidas));
    r.result.at(3) = Variant(kzt::utf8ToCp1252(" SEM CEBOLA; CAPRICHAR NO PONTO"));
    r.result.at(4) = Variant::fromPacket(kzt::writePacket(controladas));
    return r;
}

void BM_CInterfaceBesidePreparation(benchmark::State& state)
{
    Retorno retorno;
    {
        const Variant::Array request = capi::parseRequest(kRequest);
        TfrmObservacao form;
        form.InicializaForm(request.data(), static_cast<int>(request.size()) - 1);
        if (form.cdsObs.recordCount() != 28) {
            state.SkipWithError("the order list does not have 28 occurrences");
            return;
        }
        retorno = retornoCheio(form);
    }
    double cInterface = 0, preparation = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const Variant::Array request = capi::parseRequest(kRequest);
        const std::string reply =
            kzt::jsonLine(capi::observacaoReply(retorno.text, retorno.result));
        benchmark::DoNotOptimize(reply.data());
        const double elapsed = seconds(timer);
        state.SetIterationTime(elapsed);
        cInterface += elapsed;

        state.PauseTiming();
        timer.restart();
        {
            TfrmObservacao form;
            form.InicializaForm(request.data(), static_cast<int>(request.size()) - 1);
            Cli_kzt00318::ObservacaoFinal(request[2].asText(), request[3].asText());
            benchmark::DoNotOptimize(form.cdsObs.recordCount());
        }
        preparation += seconds(timer);
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["capi_us"] = cInterface / n * 1e6;
    state.counters["preparation_us"] = preparation / n * 1e6;
    state.counters["ratio"] = cInterface / preparation;
}

BENCHMARK(BM_CInterfaceBesidePreparation)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    char pattern[] = "/tmp/kzt-bench-capi-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        throw std::runtime_error("no temporary directory");
    const std::string dir = pattern;
    station::writeSampleStore(dir);
    sqlite3* db = nullptr;
    if (sqlite3_open((dir + "/store.db").c_str(), &db) != SQLITE_OK
        || sqlite3_exec(db, "DELETE FROM PRODOCORRE WHERE CDPRODUTO = '1001' AND CDOCORR > '28'",
                        nullptr, nullptr, nullptr)
               != SQLITE_OK)
        throw std::runtime_error("cannot cut the sample order list to 28 occurrences");
    sqlite3_close(db);
    kzt::setHostExecutablePath(dir + "/host");
    Nobody nobody;
    host::Presentation* previous = host::setPresentation(&nobody);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    host::setPresentation(previous);
    std::filesystem::remove_all(dir);
    if (!nobody.messages.empty())
        return 1; // the dialog met an error: the figures mean nothing
    return 0;
}
