// The C interface's own cost for an order call on a 28-occurrence list (the request read
// from JSON into code-page variants, the reply written back with both record lists full),
// set beside that call's dialog preparation (creating and initialising the dialog, the
// connection already open), measured in the same iterations:
//   ratio = C interface / preparation, which must stay at or below 0.10.

#include "bench/ausente.h"
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
using kzt::bench::Ausente;
namespace capi = Cli_kzt00318::capi;

// Product 1001 of the sample store, its order list cut to the 28 occurrences a full grid
// shows.
const char* const kPedido =
    R"(["N", "P", "1001", "HAMBÚRGUER ARTESANAL", "", true, "", "", "", ""])";

double segundos(const QElapsedTimer& relogio)
{
    return static_cast<double>(relogio.nsecsElapsed()) / 1e9;
}

// What the call hands back when the operator chose every occurrence on the list: the
// composed text and both record lists with a row for each.
struct Retorno {
    std::string texto;
    Variant resultado = Variant::arrayOf(5);
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
        const std::string codigo = form.cdsObs.fieldByName("CDOCORR").asString();
        r.texto += " " + form.cdsObs.fieldByName("DSOCORR").asString() + ";";
        escolhidas.rows.push_back({codigo});
        controladas.rows.push_back({codigo, std::string("1001"), std::string("R")});
        form.cdsObs.next();
    }
    r.resultado.at(0) = Variant("01");
    r.resultado.at(1) = Variant("15");
    r.resultado.at(2) = Variant::fromPacket(kzt::writePacket(escolhidas));
    r.resultado.at(3) = Variant(kzt::utf8ToCp1252(" SEM CEBOLA; CAPRICHAR NO PONTO"));
    r.resultado.at(4) = Variant::fromPacket(kzt::writePacket(controladas));
    return r;
}

void BM_CInterfaceBesidePreparation(benchmark::State& state)
{
    Retorno retorno;
    {
        const Variant::Array pedido = capi::parseRequest(kPedido);
        TfrmObservacao form;
        form.InicializaForm(pedido.data(), static_cast<int>(pedido.size()) - 1);
        if (form.cdsObs.recordCount() != 28) {
            state.SkipWithError("the order list does not have 28 occurrences");
            return;
        }
        retorno = retornoCheio(form);
    }
    double interfaceC = 0, preparo = 0;
    for (auto _ : state) {
        QElapsedTimer relogio;
        relogio.start();
        const Variant::Array pedido = capi::parseRequest(kPedido);
        const std::string resposta =
            kzt::jsonLine(capi::observacaoReply(retorno.texto, retorno.resultado, {}));
        benchmark::DoNotOptimize(resposta.data());
        const double tempo = segundos(relogio);
        state.SetIterationTime(tempo);
        interfaceC += tempo;

        state.PauseTiming();
        relogio.restart();
        {
            TfrmObservacao form;
            form.InicializaForm(pedido.data(), static_cast<int>(pedido.size()) - 1);
            Cli_kzt00318::ObservacaoFinal(pedido[2].asText(), pedido[3].asText());
            benchmark::DoNotOptimize(form.cdsObs.recordCount());
        }
        preparo += segundos(relogio);
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["capi_us"] = interfaceC / n * 1e6;
    state.counters["preparation_us"] = preparo / n * 1e6;
    state.counters["ratio"] = interfaceC / preparo;
}

BENCHMARK(BM_CInterfaceBesidePreparation)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    char modelo[] = "/tmp/kzt-bench-capi-XXXXXX";
    if (mkdtemp(modelo) == nullptr)
        throw std::runtime_error("no temporary directory");
    const std::string dir = modelo;
    station::writeSampleStore(dir);
    sqlite3* db = nullptr;
    if (sqlite3_open((dir + "/store.db").c_str(), &db) != SQLITE_OK
        || sqlite3_exec(db, "DELETE FROM PRODOCORRE WHERE CDPRODUTO = '1001' AND CDOCORR > '28'",
                        nullptr, nullptr, nullptr)
               != SQLITE_OK)
        throw std::runtime_error("cannot cut the sample order list to 28 occurrences");
    sqlite3_close(db);
    kzt::setHostExecutablePath(dir + "/host");
    Ausente ausente;
    host::Presentation* anterior = host::setPresentation(&ausente);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    host::setPresentation(anterior);
    std::filesystem::remove_all(dir);
    if (!ausente.mensagens.empty())
        return 1; // the dialog met an error: the figures mean nothing
    return 0;
}
