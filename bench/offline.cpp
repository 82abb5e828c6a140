// Dialog preparation with the offline cache, against the sample store (SQLite, the cache
// asked for explicitly, as it is off by default for a local store):
//   BM_PreparationLive/0   the cache off           } the cache's write may add at most 5%
//   BM_PreparationLive/1   every answer kept       }
//   BM_PreparationAway     the store away: 100 dialogs from the cache; p99 at most 50 ms.

#include "server/offline.h"
#include "bench/nobody.h"
#include "client/frmobservacao.h"
#include "host/hostlib.h"
#include "host/settings.h"
#include "platform/db/connection.h"
#include "platform/process.h"
#include "platform/text.h"
#include "server/Srv_kzt00318.h"
#include "server/rdmobservacao.h"
#include "station/app/samplestore.h"
#include "station/hostlib/presentation.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Cli_kzt00318::TfrmObservacao;
using kzt::Variant;

const std::vector<Variant> kPedido = {"N", "P", "1001", "HAMBURGUER", "", "True"};

class Bench {
public:
    Bench() : mDir(fs::temp_directory_path() / ("kzt-bench-offline-" + std::to_string(::getpid())))
    {
        fs::create_directories(mDir);
        std::ofstream(mDir / "store.db").flush();
        kzt::Connection store("adcAmostra");
        store.setConnectionString(kzt::utf8ToUtf16("sqlite3://db=" + store_()));
        station::loadSampleStore(store, true);
        station::writeParameterFile((mDir / "PARAMETROSQTR.CDS").string());
        kzt::setHostExecutablePath((mDir / "host").string());
        host::setConnectionString("", "sqlite3://db=" + store_());
        mBefore = host::setPresentation(&mNobody);
        ::setenv("KZT_RETRY_SECONDS", "3600", 1);
    }
    ~Bench()
    {
        host::setPresentation(mBefore);
        Srv_kzt00318::releaseDataModule();
        std::error_code ignored;
        fs::remove_all(mDir, ignored);
    }
    std::string store_() const { return (mDir / "store.db").string(); }
    std::string cache() const { return (mDir / "cache").string(); }
    void prepare() const
    {
        TfrmObservacao form;
        form.InicializaForm(kPedido.data(), static_cast<int>(kPedido.size()) - 1);
        benchmark::DoNotOptimize(form.sbtGrade[0]->caption());
    }
    // Closes the store and moves it, so that opening it fails as a server's would.
    void away() const
    {
        Srv_kzt00318::rdmObservacao->adcObs.setConnected(false);
        fs::rename(store_(), store_() + ".away");
    }
    void back() const { fs::rename(store_() + ".away", store_()); }

private:
    fs::path mDir;
    kzt::bench::Nobody mNobody;
    host::Presentation* mBefore = nullptr;
};

Bench* bench = nullptr;

void BM_PreparationLive(benchmark::State& state)
{
    Srv_kzt00318::setCacheFolder(state.range(0) ? bench->cache() : std::string("off"));
    bench->prepare(); // the connection open, as after a host's first call
    for (auto _ : state)
        bench->prepare();
}
BENCHMARK(BM_PreparationLive)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_PreparationAway(benchmark::State& state)
{
    Srv_kzt00318::setCacheFolder(bench->cache());
    bench->prepare();
    bench->away();
    std::vector<double> times;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        bench->prepare();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    bench->back();
    std::sort(times.begin(), times.end());
    state.counters["p99_ms"] = times[(times.size() * 99 + 99) / 100 - 1];
    state.counters["max_ms"] = times.back();
}
BENCHMARK(BM_PreparationAway)->Iterations(100)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Bench fixture;
    bench = &fixture;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    bench = nullptr;
    return 0;
}
