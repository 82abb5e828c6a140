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

std::string lerArquivo(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void executa(const std::string& db, const std::string& sql)
{
    sqlite3* handle = nullptr;
    sqlite3_open(db.c_str(), &handle);
    char* error = nullptr;
    const int rc = sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, &error);
    const std::string mensagem = error ? error : "";
    sqlite3_free(error);
    sqlite3_close(handle);
    if (rc != SQLITE_OK)
        throw std::runtime_error("sample store: " + mensagem);
}

// The sample store and a station parameter file (branch 0001, store 01) in a fresh folder.
class Loja {
public:
    Loja()
    {
        pasta = fs::temp_directory_path() / ("kzt-bench-press-" + std::to_string(::getpid()));
        fs::create_directories(pasta);
        db = (pasta / "store.db").string();
        const fs::path amostra =
            fs::path(__FILE__).parent_path().parent_path() / "station" / "sample";
        executa(db, lerArquivo(amostra / "schema.sql"));
        executa(db, lerArquivo(amostra / "data.sql"));

        kzt::ClientDataSet parametros("cdsParametrosQtr");
        for (const char* campo : {"CDFILIAL", "CDLOJA", "IDESQUEMA", "CDCAIXA"})
            parametros.addFieldDef({campo, kzt::FieldType::String, 4, true, {}});
        parametros.addFieldDef({"SISTEMAQTRNFCE", kzt::FieldType::Boolean, 0, true, {}});
        parametros.addFieldDef({"SISTEMAQTRSAT", kzt::FieldType::Boolean, 0, true, {}});
        parametros.createDataSet();
        parametros.append();
        parametros.fieldByName("CDFILIAL").setAsString("0001");
        parametros.fieldByName("CDLOJA").setAsString("01");
        parametros.fieldByName("IDESQUEMA").setAsString("001");
        parametros.fieldByName("CDCAIXA").setAsString("001");
        parametros.fieldByName("SISTEMAQTRNFCE").setAsBoolean(false);
        parametros.fieldByName("SISTEMAQTRSAT").setAsBoolean(false);
        parametros.post();
        parametros.saveToFile((pasta / "PARAMETROSQTR.CDS").string());

        kzt::setHostExecutablePath((pasta / "host").string());
        host::setConnectionString("", conexao());
        previous = host::setPresentation(&nobody);
    }
    ~Loja()
    {
        host::setPresentation(previous);
        std::error_code ignorado;
        fs::remove_all(pasta, ignorado);
    }
    std::string conexao() const { return "sqlite3://db=" + db; }

    fs::path pasta;
    std::string db;
    kzt::bench::Nobody nobody;
    host::Presentation* previous = nullptr;
};

Loja& loja()
{
    static Loja instancia;
    return instancia;
}

// Product 1003 has no maximum, so every press of 11 (an extra priced at 4.50) is accepted.
void BM_PressPricedOccurrence(benchmark::State& state)
{
    loja();
    const std::vector<kzt::Variant> pedido{"N", "P", "1003", "FILE", "", false, "", "", "", ""};
    auto form = std::make_unique<Cli_kzt00318::TfrmObservacao>();
    form->InicializaForm(pedido.data(), static_cast<int>(pedido.size()) - 1);
    form->show();
    host::TBlendedBitBtn* botao = nullptr;
    for (host::TBlendedBitBtn* b : form->sbtGrade)
        if (b->code() == "11")
            botao = b;
    if (botao == nullptr) {
        state.SkipWithError("occurrence 11 has no button");
        return;
    }
    int desdeLimpeza = 0;
    for (auto _ : state) {
        botao->click();
        // The composed text and the records grow with every press; start again now and
        // then so that every press measures the same work.
        if (++desdeLimpeza == 64) {
            state.PauseTiming();
            form->btnLimparObsClick(form->btnLimparObs);
            desdeLimpeza = 0;
            state.ResumeTiming();
        }
    }
    if (form->cdsControlaObs.isEmpty() && desdeLimpeza > 0)
        state.SkipWithError("the presses were refused");
}
BENCHMARK(BM_PressPricedOccurrence)->Unit(benchmark::kMicrosecond);

// The same two reads: the maximum on the module's open connection, and the price on a
// session of its own, opened and closed around the read as the price lookup does.
void BM_BareReads(benchmark::State& state)
{
    Loja& l = loja();
    soci::session modulo(l.conexao());
    const bool sessaoPropria = state.range(0) == 1;
    std::unique_ptr<soci::session> aberta;
    if (!sessaoPropria)
        aberta = std::make_unique<soci::session>(l.conexao());
    const std::string produto = "1003", filial = "0001", cdLoja = "01", extra = "2001";
    for (auto _ : state) {
        double maximo = 0;
        soci::indicator indMaximo = soci::i_null;
        modulo << "SELECT QTMAXOBSERV\nFROM PRODUTO\nWHERE CDPRODUTO = :P_CDPRODUTO\n"
                  "AND QTMAXOBSERV IS NOT NULL",
            soci::use(produto), soci::into(maximo, indMaximo);

        double preco = 0;
        std::string bloqueado;
        soci::indicator indPreco = soci::i_null, indBloq = soci::i_null;
        std::unique_ptr<soci::session> propria;
        if (sessaoPropria)
            propria = std::make_unique<soci::session>(l.conexao());
        soci::session& precos = sessaoPropria ? *propria : *aberta;
        precos << "SELECT VRPRECO, IDPRODBLOQ\nFROM PRECOPROD\nWHERE CDFILIAL = :P_CDFILIAL\n"
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
