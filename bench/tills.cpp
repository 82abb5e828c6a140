// Many tills against one store server: 1, 4 and 8 till processes, each composing orders
// in a loop against the live PostgreSQL server of scripts/live-servers.sh: open the
// order dialog of product 1003 (its preparation is timed), press the controlled, priced
// occurrence 11 (timed: the product's maximum and the price lookup), close, and wait as
// an operator would before the next order. Each till stops after a number of orders or
// a time, whichever comes first. Reported per till count: p50 and p99 of the
// preparation and of the press over every order of every till, the orders done, and
// the machine's CPU use while the tills ran. Goal: p99 at 8 tills at most twice p99 at 1.
//
// Each count runs twice. With spread:0 every till pauses exactly 40 ms, so tills started
// together keep arriving together, a worst case no shop floor produces. With spread:1
// each till pauses between 20 and 60 ms at random, as operators who act independently.
//
//   scripts/live-servers.sh build/bin/bench_tills

#include "bench/livestore.h"
#include "bench/nobody.h"

#include "client/Cli_kzt00318.h"
#include "client/frmobservacao.h"
#include "host/hostlib.h"
#include "platform/process.h"
#include "station/hostlib/presentation.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kOrdersPerTill = 400;
constexpr int kSecondsPerTill = 20;
constexpr int kPauseMs = 40; // the operator between two orders, on average

const char* const kTillFlag = "--kzt-till";

double microseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

// One till: prints "<preparation us> <press us>" per order on stdout.
int runTill(const std::string& connection, const std::string& hostExe, unsigned seed)
{
    // Seed 0: the same pause every time; otherwise a pause of its own for every order.
    std::minstd_rand random(seed == 0 ? 1 : seed);
    std::uniform_int_distribution<int> pauseMs(seed == 0 ? kPauseMs : kPauseMs / 2,
                                               seed == 0 ? kPauseMs : kPauseMs * 3 / 2);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc = 1;
    char name[] = "till";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    kzt::bench::Nobody nobody;
    host::setPresentation(&nobody);
    kzt::setHostExecutablePath(hostExe);
    host::setConnectionString("", connection);
    const std::vector<kzt::Variant> order{"N", "P", "1003", "FILE", "", false, "", "", "", ""};

    const auto end = Clock::now() + std::chrono::seconds(kSecondsPerTill);
    for (int n = 0; n < kOrdersPerTill && Clock::now() < end; ++n) {
        const auto start = Clock::now();
        Cli_kzt00318::TfrmObservacao form;
        form.InicializaForm(order.data(), static_cast<int>(order.size()) - 1);
        const auto prepared = Clock::now();
        host::TBlendedBitBtn* button = nullptr;
        for (host::TBlendedBitBtn* b : form.sbtGrade)
            if (b->code() == "11")
                button = b;
        if (!button || !nobody.messages.empty()) {
            std::fprintf(stderr, "till: the order dialog did not open\n");
            return 1;
        }
        button->click();
        const auto pressed = Clock::now();
        if (form.cdsControlaObs.recordCount() != 1 || !nobody.messages.empty()) {
            std::fprintf(stderr, "till: the press was refused\n");
            return 1;
        }
        std::printf("%.1f %.1f\n", microseconds(prepared - start),
                    microseconds(pressed - prepared));
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs(random)));
    }
    host::setPresentation(nullptr);
    return 0;
}

// Busy and total jiffies of the whole machine.
std::pair<long long, long long> cpuTimes()
{
    std::ifstream in("/proc/stat");
    std::string cpu;
    long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
    in >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
    const long long busy = user + nice + system + irq + softirq + steal;
    return {busy, busy + idle + iowait};
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(at, values.size() - 1)];
}

struct Till {
    pid_t pid = -1;
    FILE* out = nullptr;
};

Till startTill(const std::string& self, const std::string& connection, const std::string& hostExe,
               unsigned seed)
{
    int fds[2];
    if (::pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addclose(&actions, fds[1]);
    std::vector<std::string> args = {self, kTillFlag, connection, hostExe, std::to_string(seed)};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    Till till;
    const int rc = ::posix_spawn(&till.pid, self.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        throw std::runtime_error(std::string("cannot start a till: ") + std::strerror(rc));
    }
    till.out = ::fdopen(fds[0], "r");
    return till;
}

std::string gSelf;
std::string gConnection;
livebench::StationFolder* gFolder = nullptr;

void BM_Tills(benchmark::State& state)
{
    if (gConnection.empty()) {
        state.SkipWithError(livebench::kNoServer);
        return;
    }
    const int count = static_cast<int>(state.range(0));
    const bool spread = state.range(1) != 0;
    std::vector<double> preparations, presses;
    double cpuBusy = 0, tillCpu = 0, wall = 0;
    bool failed = false;
    for (auto _ : state) {
        const auto before = cpuTimes();
        const auto started = Clock::now();
        std::vector<Till> tills;
        for (int i = 0; i < count; ++i)
            tills.push_back(startTill(gSelf, gConnection, gFolder->hostExe(),
                                      spread ? static_cast<unsigned>(i + 1) : 0));
        for (Till& till : tills) {
            double preparation = 0, press = 0;
            while (std::fscanf(till.out, "%lf %lf", &preparation, &press) == 2) {
                preparations.push_back(preparation);
                presses.push_back(press);
            }
            std::fclose(till.out);
            int status = 0;
            rusage usage{};
            ::wait4(till.pid, &status, 0, &usage);
            failed = failed || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
            tillCpu += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
                       + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
        }
        wall = std::chrono::duration<double>(Clock::now() - started).count();
        const auto after = cpuTimes();
        cpuBusy = 100.0 * static_cast<double>(after.first - before.first)
                  / static_cast<double>(std::max(1LL, after.second - before.second));
    }
    if (failed) {
        state.SkipWithError("a till failed (see its message above)");
        return;
    }
    state.counters["orders"] = static_cast<double>(preparations.size());
    state.counters["prepare_p50_ms"] = percentile(preparations, 0.50) / 1e3;
    state.counters["prepare_p99_ms"] = percentile(preparations, 0.99) / 1e3;
    state.counters["press_p50_ms"] = percentile(presses, 0.50) / 1e3;
    state.counters["press_p99_ms"] = percentile(presses, 0.99) / 1e3;
    state.counters["machine_cpu_pct"] = cpuBusy;
    state.counters["tills_cpu_pct"] = 100.0 * tillCpu / std::max(wall, 1e-9);
}
BENCHMARK(BM_Tills)
    ->ArgsProduct({{1, 4, 8}, {0, 1}})
    ->ArgNames({"tills", "spread"})
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], kTillFlag) == 0)
        return runTill(argv[2], argv[3], static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10)));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    gSelf = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string(argv[0]);
    livebench::StationFolder folder;
    gFolder = &folder;
    if (std::getenv("KZT_LIVE_BENCH")) {
        gConnection = livebench::serverConnection();
        livebench::loadSampleStore(gConnection);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
