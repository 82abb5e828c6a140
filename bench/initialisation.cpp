// From the host's call to the dialog on screen, for lists of 28, 1,000 and 100,000
// occurrences, with the connection already open. Each preparation is set against the
// data routine's own time and one paint of the dialog:
//   ratio = preparation / (2 x data routine + one paint), which must stay at or below 1.
// The grid fill alone must not grow with the list.

#include "bench/nobody.h"
#include "client/Cli_kzt00318.h"
#include "client/frmobservacao.h"
#include "host/hostlib.h"
#include "platform/clientdataset.h"
#include "platform/process.h"
#include "platform/text.h"
#include "server/Srv_kzt00318.h"
#include "station/hostlib/presentation.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QPixmap>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Cli_kzt00318::TfrmObservacao;
using kzt::Variant;
using kzt::bench::Nobody;

void exec(sqlite3* db, const std::string& sql)
{
    char* error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string text = error ? error : "sqlite error";
        sqlite3_free(error);
        throw std::runtime_error(text);
    }
}

// Store 2 of branch 1 has one discount group per list size: loja "28", "1000", "100000".
class Bench {
public:
    Bench()
    {
        char pattern[] = "/tmp/kzt-bench-init-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            throw std::runtime_error("no temporary directory");
        mDir = pattern;
        const std::string database = mDir + "/store.db";
        sqlite3* db = nullptr;
        sqlite3_open(database.c_str(), &db);
        exec(db,
             "CREATE TABLE GRUPOCOR (CDGRPOCOR CHAR(2) PRIMARY KEY, DSGRPOCOR VARCHAR(40));"
             "CREATE TABLE OCORRENCIA (CDGRPOCOR CHAR(2), CDOCORR CHAR(2), CDTIPRISCO CHAR(2),"
             " DSOCORR VARCHAR(40), CDPRODUTO VARCHAR(10), IDCONTROLAOBS CHAR(1));"
             "CREATE TABLE LOJA (CDFILIAL VARCHAR(4), CDLOJA VARCHAR(4), CDGRPOCORCAN CHAR(2),"
             " CDGRPOCORCANCUP CHAR(2), CDGRPOCORPED CHAR(2), CDGRPOCORDESC CHAR(2),"
             " IDOBRIGAOBSCAN CHAR(1));"
             "CREATE TABLE VENDA (CDFILIAL VARCHAR(4), CDCAIXA VARCHAR(3), NRSEQVENDA CHAR(10));"
             "BEGIN");
        const char* controls[] = {"'A'", "'R'", "NULL"};
        const std::pair<int, const char*> groups[] = {{28, "01"}, {1000, "02"}, {100000, "03"}};
        for (const auto& [size, group] : groups) {
            const std::string loja = std::to_string(size);
            exec(db, std::string("INSERT INTO GRUPOCOR VALUES ('") + group
                         + "','Descontos');"
                           "INSERT INTO LOJA VALUES ('1','"
                         + loja + "',NULL,NULL,NULL,'" + group + "','N')");
            for (int i = 1; i <= size; ++i) {
                // Codes have two characters and repeat past a hundred; the descriptions
                // keep the rows apart.
                char code[8];
                char number[16];
                std::snprintf(code, sizeof code, "%02d", i % 100);
                std::snprintf(number, sizeof number, "%06d", i);
                exec(db, std::string("INSERT INTO OCORRENCIA VALUES ('") + group + "','" + code
                             + "','01','Ocorrencia de desconto " + number + "','" + number + "',"
                             + controls[i % 3] + ")");
            }
        }
        exec(db, "INSERT INTO VENDA VALUES ('1','001','0000012345'); COMMIT");
        sqlite3_close(db);
        kzt::setHostExecutablePath(mDir + "/host");
        host::setConnectionString("", "sqlite3://db=" + database);
        mPrevious = host::setPresentation(&nobody);
    }
    ~Bench()
    {
        host::setPresentation(mPrevious);
        std::filesystem::remove_all(mDir);
    }

    // The parameter file names the store whose group has `size` occurrences.
    void useStore(int size) const
    {
        std::ofstream(mDir + "/PARAMETROSQTR.CDS", std::ios::trunc)
            << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
               "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
               "<FIELD attrname=\"CDFILIAL\" fieldtype=\"string\" WIDTH=\"4\"/>"
               "<FIELD attrname=\"CDLOJA\" fieldtype=\"string\" WIDTH=\"6\"/>"
               "<FIELD attrname=\"IDESQUEMA\" fieldtype=\"string\" WIDTH=\"3\"/>"
               "<FIELD attrname=\"CDCAIXA\" fieldtype=\"string\" WIDTH=\"3\"/>"
               "<FIELD attrname=\"SISTEMAQTRNFCE\" fieldtype=\"boolean\"/>"
               "<FIELD attrname=\"SISTEMAQTRSAT\" fieldtype=\"boolean\"/>"
               "</FIELDS><PARAMS/></METADATA><ROWDATA>"
               "<ROW CDFILIAL=\"1\" CDLOJA=\""
            << size
            << "\" IDESQUEMA=\"001\" CDCAIXA=\"001\""
               " SISTEMAQTRNFCE=\"FALSE\" SISTEMAQTRSAT=\"FALSE\"/></ROWDATA></DATAPACKET>";
    }

    Nobody nobody;

private:
    std::string mDir;
    host::Presentation* mPrevious = nullptr;
};

Bench* bench = nullptr;

// Notes the dialog's first paint, then closes it as soon as the event loop turns.
class PaintWatcher : public QObject {
public:
    qint64 paintedAt = -1;
    const QElapsedTimer* timer = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* form = Cli_kzt00318::frmObservacao;
        if (paintedAt < 0 && event->type() == QEvent::Paint && form != nullptr && watched == form) {
            paintedAt = timer->nsecsElapsed();
            QTimer::singleShot(0, form, [form] { form->closeForm(); });
        }
        return false;
    }
};

const std::vector<Variant> kRequest{"N", "D", "100", "Produto", "", "True", "", "", "", ""};

double seconds(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// The data routine alone, as initialisation calls it.
double dataRoutine(int size)
{
    QElapsedTimer timer;
    timer.start();
    const Variant list = Srv_kzt00318::getOcorDesc(u"1", kzt::cp1252ToUtf16(std::to_string(size)));
    const double elapsed = seconds(timer);
    if (!list.isPacket())
        throw std::runtime_error("the occurrence list did not load: " + list.asText());
    return elapsed;
}

// One paint of a prepared dialog.
double onePaint(TfrmObservacao& form)
{
    QElapsedTimer timer;
    timer.start();
    const QPixmap image = form.grab();
    benchmark::DoNotOptimize(image.cacheKey());
    return seconds(timer);
}

void BM_Observacao(benchmark::State& state)
{
    const int size = static_cast<int>(state.range(0));
    bench->useStore(size);
    // Warms the store's pages and the allocator for this list size: the first reading of
    // a list is not what a till sees call after call.
    dataRoutine(size);
    double data = 0, paint = 0, preparation = 0;
    for (auto _ : state) {
        PaintWatcher watcher;
        QElapsedTimer timer;
        watcher.timer = &timer;
        qApp->installEventFilter(&watcher);
        Variant result = Variant::arrayOf(5);
        timer.start();
        Cli_kzt00318::Observacao(kRequest.data(), 9, result);
        qApp->removeEventFilter(&watcher);
        if (watcher.paintedAt < 0 || !bench->nobody.messages.empty()) {
            state.SkipWithError("the dialog was not shown");
            break;
        }
        const double elapsed = static_cast<double>(watcher.paintedAt) / 1e9;
        state.SetIterationTime(elapsed);

        state.PauseTiming();
        preparation += elapsed;
        data += dataRoutine(size);
        TfrmObservacao form;
        form.InicializaForm(kRequest.data(), 9);
        paint += onePaint(form);
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["data_ms"] = data / n * 1e3;
    state.counters["paint_ms"] = paint / n * 1e3;
    state.counters["ratio"] = preparation / (2 * data + paint);
}

void BM_MontaObservacoes(benchmark::State& state)
{
    const int size = static_cast<int>(state.range(0));
    bench->useStore(size);
    TfrmObservacao form;
    form.InicializaForm(kRequest.data(), 9);
    for (auto _ : state)
        form.MontaObservacoes();
    state.counters["rows"] = form.cdsObs.recordCount();
}

BENCHMARK(BM_Observacao)
    ->Arg(28)
    ->Arg(1000)
    ->Arg(100000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MontaObservacoes)->Arg(28)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Bench setup;
    bench = &setup;
    // Opens the connection once, as a host's first call would.
    setup.useStore(28);
    TfrmObservacao first;
    first.InicializaForm(kRequest.data(), 9);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
