// Server round trips of a dialog opening (an order of product 1003) and of one controlled,
// priced press (occurrence 11: the product's maximum and the price lookup), against the
// live PostgreSQL server of scripts/live-servers.sh. They are counted from the server's
// log: the module's session names itself (application_name) and logs every protocol
// step, so each prepare, each execution, each plain statement and each new connection
// is one round trip. Goal: one round trip per query once the statements are prepared.
//
//   scripts/live-servers.sh build/bin/bench_roundtrips

#include "bench/livestore.h"
#include "bench/nobody.h"

#include "client/Cli_kzt00318.h"
#include "client/frmobservacao.h"
#include "host/hostlib.h"
#include "platform/process.h"
#include "server/Srv_kzt00318.h"
#include "server/rdmobservacao.h"
#include "station/hostlib/presentation.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <vector>

namespace {

using Cli_kzt00318::TfrmObservacao;

const char* const kApplication = "kzt_rt";

// What the server logged for the module's session since a mark.
struct Traffic {
    int connections = 0;
    int prepares = 0;
    int executions = 0; // prepared statements run, and one-off statements
    int plain = 0;      // statements sent as plain text (session settings, deallocation)
    int roundTrips() const { return connections + prepares + executions + plain; }
};

class ServerLog {
public:
    ServerLog() : mPath(std::getenv("KZT_LIVE_PG_LOG") ? std::getenv("KZT_LIVE_PG_LOG") : "") {}
    bool available() const { return !mPath.empty(); }

    std::streamoff mark() const
    {
        std::ifstream in(mPath, std::ios::binary | std::ios::ate);
        return in.tellg();
    }

    Traffic since(std::streamoff from) const
    {
        std::ifstream in(mPath, std::ios::binary);
        in.seekg(from);
        Traffic traffic;
        const std::string tag = std::string(" ") + kApplication + ": LOG:  ";
        const std::string authorized = std::string("application_name=") + kApplication;
        std::string line;
        while (std::getline(in, line)) {
            // The session's name is not known yet when its connection is logged.
            if (line.find("LOG:  connection authorized: ") != std::string::npos
                && line.ends_with(authorized)) {
                ++traffic.connections;
                continue;
            }
            const auto at = line.find(tag);
            if (at == std::string::npos)
                continue; // another session, or a statement's continuation line
            const std::string rest = line.substr(at + tag.size());
            const auto step = rest.find(" ms  ");
            if (rest.rfind("duration: ", 0) != 0 || step == std::string::npos)
                continue;
            const std::string what = rest.substr(step + 5);
            if (what.rfind("parse ", 0) == 0 && what.rfind("parse <unnamed>", 0) != 0)
                ++traffic.prepares; // a parse of its own; an unnamed one rides with its execution
            else if (what.rfind("execute ", 0) == 0)
                ++traffic.executions;
            else if (what.rfind("statement: ", 0) == 0)
                ++traffic.plain;
        }
        return traffic;
    }

private:
    std::string mPath;
};

struct Bench {
    livebench::StationFolder folder;
    kzt::bench::Nobody nobody;
    ServerLog log;
    bool ready = false;
};
Bench* bench = nullptr;

const std::vector<kzt::Variant> kOrder{"N", "P", "1003", "FILE", "", false, "", "", "", ""};

void report(benchmark::State& state, const Traffic& traffic)
{
    const double n = static_cast<double>(state.iterations());
    state.counters["round_trips"] = traffic.roundTrips() / n;
    state.counters["connections"] = traffic.connections / n;
    state.counters["prepares"] = traffic.prepares / n;
    state.counters["executions"] = traffic.executions / n;
    state.counters["plain"] = traffic.plain / n;
}

bool skipWithoutServer(benchmark::State& state)
{
    if (bench->ready)
        return false;
    state.SkipWithError(livebench::kNoServer);
    return true;
}

// The first dialog of a till: connecting and preparing the session count too.
void BM_FirstDialogOpening(benchmark::State& state)
{
    if (skipWithoutServer(state))
        return;
    Traffic traffic;
    for (auto _ : state) {
        state.PauseTiming();
        delete Srv_kzt00318::rdmObservacao;
        Srv_kzt00318::rdmObservacao = nullptr;
        const auto mark = bench->log.mark();
        state.ResumeTiming();
        TfrmObservacao form;
        form.InicializaForm(kOrder.data(), static_cast<int>(kOrder.size()) - 1);
        state.PauseTiming();
        const Traffic t = bench->log.since(mark);
        traffic.connections += t.connections;
        traffic.prepares += t.prepares;
        traffic.executions += t.executions;
        traffic.plain += t.plain;
        state.ResumeTiming();
    }
    report(state, traffic);
}

// Every later dialog: the connection is open and the statements have run before.
void BM_DialogOpening(benchmark::State& state)
{
    if (skipWithoutServer(state))
        return;
    {
        TfrmObservacao warm;
        warm.InicializaForm(kOrder.data(), static_cast<int>(kOrder.size()) - 1);
    }
    const auto mark = bench->log.mark();
    for (auto _ : state) {
        TfrmObservacao form;
        form.InicializaForm(kOrder.data(), static_cast<int>(kOrder.size()) - 1);
    }
    report(state, bench->log.since(mark));
}

// Product 1003 has no maximum, so every press of 11 (an extra priced at 4.50) is accepted.
void BM_ControlledPress(benchmark::State& state)
{
    if (skipWithoutServer(state))
        return;
    auto form = std::make_unique<TfrmObservacao>();
    form->InicializaForm(kOrder.data(), static_cast<int>(kOrder.size()) - 1);
    form->show();
    host::TBlendedBitBtn* button = nullptr;
    for (host::TBlendedBitBtn* b : form->sbtGrade)
        if (b->code() == "11")
            button = b;
    if (!button) {
        state.SkipWithError("occurrence 11 has no button");
        return;
    }
    button->click(); // the first press prepares what later presses reuse
    const auto mark = bench->log.mark();
    for (auto _ : state)
        button->click();
    report(state, bench->log.since(mark));
    if (form->cdsControlaObs.recordCount() != static_cast<int>(state.iterations()) + 1
        || !bench->nobody.messages.empty())
        state.SkipWithError("the presses were refused");
}

BENCHMARK(BM_FirstDialogOpening)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DialogOpening)->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ControlledPress)->Iterations(50)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Bench state;
    bench = &state;
    const std::string server = livebench::serverConnection();
    if (!server.empty() && state.log.available()) {
        livebench::loadSampleStore(server);
        kzt::setHostExecutablePath(state.folder.hostExe());
        host::setConnectionString("", server + " application_name=" + kApplication
                                          + " options='-c log_min_duration_statement=0'");
        host::setPresentation(&state.nobody);
        state.ready = true;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    host::setPresentation(nullptr);
    return 0;
}
