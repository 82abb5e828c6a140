// From the host's call to the dialog on screen, for lists of 28, 1,000 and 100,000
// occurrences, with the connection already open. Each preparation is set against the
// data routine's own time and one paint of the dialog:
//   ratio = preparation / (2 x data routine + one paint), which must stay at or below 1.
// The grid fill alone must not grow with the list.

#include "bench/ausente.h"
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
using kzt::bench::Ausente;

void exec(sqlite3* db, const std::string& sql)
{
    char* erro = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &erro) != SQLITE_OK) {
        const std::string texto = erro ? erro : "sqlite error";
        sqlite3_free(erro);
        throw std::runtime_error(texto);
    }
}

// Store 2 of branch 1 has one discount group per list size: loja "28", "1000", "100000".
class Bancada {
public:
    Bancada()
    {
        char modelo[] = "/tmp/kzt-bench-init-XXXXXX";
        if (mkdtemp(modelo) == nullptr)
            throw std::runtime_error("no temporary directory");
        mDir = modelo;
        const std::string banco = mDir + "/store.db";
        sqlite3* db = nullptr;
        sqlite3_open(banco.c_str(), &db);
        exec(db,
             "CREATE TABLE GRUPOCOR (CDGRPOCOR CHAR(2) PRIMARY KEY, DSGRPOCOR VARCHAR(40));"
             "CREATE TABLE OCORRENCIA (CDGRPOCOR CHAR(2), CDOCORR CHAR(2), CDTIPRISCO CHAR(2),"
             " DSOCORR VARCHAR(40), CDPRODUTO VARCHAR(10), IDCONTROLAOBS CHAR(1));"
             "CREATE TABLE LOJA (CDFILIAL VARCHAR(4), CDLOJA VARCHAR(4), CDGRPOCORCAN CHAR(2),"
             " CDGRPOCORCANCUP CHAR(2), CDGRPOCORPED CHAR(2), CDGRPOCORDESC CHAR(2),"
             " IDOBRIGAOBSCAN CHAR(1));"
             "CREATE TABLE VENDA (CDFILIAL VARCHAR(4), CDCAIXA VARCHAR(3), NRSEQVENDA CHAR(10));"
             "BEGIN");
        const char* controles[] = {"'A'", "'R'", "NULL"};
        const std::pair<int, const char*> grupos[] = {{28, "01"}, {1000, "02"}, {100000, "03"}};
        for (const auto& [tamanho, grupo] : grupos) {
            const std::string loja = std::to_string(tamanho);
            exec(db, std::string("INSERT INTO GRUPOCOR VALUES ('") + grupo
                         + "','Descontos');"
                           "INSERT INTO LOJA VALUES ('1','"
                         + loja + "',NULL,NULL,NULL,'" + grupo + "','N')");
            for (int i = 1; i <= tamanho; ++i) {
                // Codes have two characters and repeat past a hundred; the descriptions
                // keep the rows apart.
                char codigo[8];
                char numero[16];
                std::snprintf(codigo, sizeof codigo, "%02d", i % 100);
                std::snprintf(numero, sizeof numero, "%06d", i);
                exec(db, std::string("INSERT INTO OCORRENCIA VALUES ('") + grupo + "','" + codigo
                             + "','01','Ocorrencia de desconto " + numero + "','" + numero + "',"
                             + controles[i % 3] + ")");
            }
        }
        exec(db, "INSERT INTO VENDA VALUES ('1','001','0000012345'); COMMIT");
        sqlite3_close(db);
        kzt::setHostExecutablePath(mDir + "/host");
        host::setConnectionString("", "sqlite3://db=" + banco);
        mAnterior = host::setPresentation(&ausente);
    }
    ~Bancada()
    {
        host::setPresentation(mAnterior);
        std::filesystem::remove_all(mDir);
    }

    // The parameter file names the store whose group has `tamanho` occurrences.
    void estacao(int tamanho) const
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
            << tamanho
            << "\" IDESQUEMA=\"001\" CDCAIXA=\"001\""
               " SISTEMAQTRNFCE=\"FALSE\" SISTEMAQTRSAT=\"FALSE\"/></ROWDATA></DATAPACKET>";
    }

    Ausente ausente;

private:
    std::string mDir;
    host::Presentation* mAnterior = nullptr;
};

Bancada* bancada = nullptr;

// Notes the dialog's first paint, then closes it as soon as the event loop turns.
class Observador : public QObject {
public:
    qint64 pintadoEm = -1;
    const QElapsedTimer* relogio = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* form = Cli_kzt00318::frmObservacao;
        if (pintadoEm < 0 && event->type() == QEvent::Paint && form != nullptr && watched == form) {
            pintadoEm = relogio->nsecsElapsed();
            QTimer::singleShot(0, form, [form] { form->closeForm(); });
        }
        return false;
    }
};

const std::vector<Variant> kPedido{"N", "D", "100", "Produto", "", "True", "", "", "", ""};

double segundos(const QElapsedTimer& relogio)
{
    return static_cast<double>(relogio.nsecsElapsed()) / 1e9;
}

// The data routine alone, as initialisation calls it.
double rotinaDeDados(int tamanho)
{
    QElapsedTimer relogio;
    relogio.start();
    const Variant lista =
        Srv_kzt00318::getOcorDesc(u"1", kzt::cp1252ToUtf16(std::to_string(tamanho)));
    const double tempo = segundos(relogio);
    if (!lista.isPacket())
        throw std::runtime_error("the occurrence list did not load: " + lista.asText());
    return tempo;
}

// One paint of a prepared dialog.
double umaPintura(TfrmObservacao& form)
{
    QElapsedTimer relogio;
    relogio.start();
    const QPixmap imagem = form.grab();
    benchmark::DoNotOptimize(imagem.cacheKey());
    return segundos(relogio);
}

void BM_Observacao(benchmark::State& state)
{
    const int tamanho = static_cast<int>(state.range(0));
    bancada->estacao(tamanho);
    // Warms the store's pages and the allocator for this list size: the first reading of
    // a list is not what a till sees call after call.
    rotinaDeDados(tamanho);
    double dados = 0, pintura = 0, preparo = 0;
    for (auto _ : state) {
        Observador observador;
        QElapsedTimer relogio;
        observador.relogio = &relogio;
        qApp->installEventFilter(&observador);
        Variant resultado = Variant::arrayOf(5);
        relogio.start();
        Cli_kzt00318::Observacao(kPedido.data(), 9, resultado);
        qApp->removeEventFilter(&observador);
        if (observador.pintadoEm < 0 || !bancada->ausente.mensagens.empty()) {
            state.SkipWithError("the dialog was not shown");
            break;
        }
        const double tempo = static_cast<double>(observador.pintadoEm) / 1e9;
        state.SetIterationTime(tempo);

        state.PauseTiming();
        preparo += tempo;
        dados += rotinaDeDados(tamanho);
        TfrmObservacao form;
        form.InicializaForm(kPedido.data(), 9);
        pintura += umaPintura(form);
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["data_ms"] = dados / n * 1e3;
    state.counters["paint_ms"] = pintura / n * 1e3;
    state.counters["ratio"] = preparo / (2 * dados + pintura);
}

void BM_MontaObservacoes(benchmark::State& state)
{
    const int tamanho = static_cast<int>(state.range(0));
    bancada->estacao(tamanho);
    TfrmObservacao form;
    form.InicializaForm(kPedido.data(), 9);
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
    Bancada estacao;
    bancada = &estacao;
    // Opens the connection once, as a host's first call would.
    estacao.estacao(28);
    TfrmObservacao primeiro;
    primeiro.InicializaForm(kPedido.data(), 9);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
