// Dialog initialisation and the occurrence grid, against a real SQLite store and real
// station parameter files.

#include "client/Cli_kzt00318.h"
#include "client/frmobservacao.h"
#include "platform/db/offlinecache.h"
#include "platform/text.h"
#include "server/Srv_kzt00318.h"
#include "server/offline.h"
#include "server/rdmobservacao.h"
#include "tests/support/fakepresentation.h"
#include "tests/support/store.h"
#include "tests/support/tempdir.h"

#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using Cli_kzt00318::TfrmObservacao;
using kzt::Variant;
namespace t = kzt::test;

// One request, each entry as a host would put it.
struct Pedido {
    Variant obriga = "N", tipo = "P", produto = "100", nome = "X-BURGER", atual = "";
    Variant vendaAberta = "True", espera = "", cliente = "", consumidor = "", hora = "";
    int high = 9;
    std::vector<Variant> entradas() const
    {
        return {obriga, tipo, produto, nome, atual, vendaAberta, espera, cliente, consumidor, hora};
    }
};

Pedido tipo(const char* kind)
{
    Pedido p;
    p.tipo = kind;
    return p;
}

class InitTest : public testing::Test {
protected:
    // Branch 1, store 2: one group per purpose, each with its own first occurrence.
    void SetUp() override
    {
        db = t::createStore(dir.path());
        t::useStation(dir.path(), db);
        parametros = t::writeParameterFile(dir.path(), estacao);
        sql("INSERT INTO GRUPOCOR VALUES ('CV','Venda'),('PE','Pedido'),('CI','Item'),"
            "('DE','Desconto');"
            "INSERT INTO LOJA (CDFILIAL,CDLOJA,CDGRPOCORCAN,CDGRPOCORCANCUP,CDGRPOCORPED,"
            "CDGRPOCORDESC,IDOBRIGAOBSCAN) VALUES ('1','2','CI','CV','PE','DE','N');"
            "INSERT INTO OCORRENCIA (CDGRPOCOR,CDOCORR,DSOCORR) VALUES ('CV','01','Desistiu'),"
            "('PE','01','Sem sal'),('CI','01','Errado'),('DE','01','Cortesia'),"
            "('PE','02','Fim de venda');"
            "INSERT INTO PRODOCORRE VALUES ('PE','01','100'),('CI','01','100'),"
            "('PE','02','IDSOLOBSFINVEN');");
    }
    void TearDown() override { t::resetStation(); }

    void sql(const std::string& text) { t::execSql(db, text); }
    void venda(const char* numero)
    {
        sql("DELETE FROM VENDA");
        if (numero)
            sql(std::string("INSERT INTO VENDA (CDFILIAL,CDCAIXA,NRSEQVENDA) VALUES ('1','001','")
                + numero + "')");
    }
    void desconto(const std::string& codigo, const std::string& descricao,
                  const std::string& controle)
    {
        sql("INSERT INTO OCORRENCIA (CDGRPOCOR,CDOCORR,DSOCORR,IDCONTROLAOBS) VALUES ('DE','"
            + codigo + "','" + descricao + "'," + controle + ")");
    }
    std::unique_ptr<TfrmObservacao> inicializa(const Pedido& pedido)
    {
        auto form = std::make_unique<TfrmObservacao>();
        const std::vector<Variant> entradas = pedido.entradas();
        form->InicializaForm(entradas.data(), pedido.high);
        return form;
    }
    std::vector<std::vector<std::string>> mensagemMetodo() const
    {
        std::vector<std::vector<std::string>> calls;
        for (const auto& [call, args] : pessoa.traced)
            if (call == "MensagemMetodo")
                calls.push_back(args);
        return calls;
    }
    static bool mostrado(const TfrmObservacao& form, int i)
    {
        return form.sbtGrade[i]->isVisibleTo(&form);
    }

    t::TempDir dir;
    t::FakePresentation pessoa;
    t::StationParameters estacao{"1", "2", "001", "001"};
    std::string db;
    std::string parametros;
};

TEST_F(InitTest, KindChoosesTheListCheckedWithTheKeyText)
{
    struct Case {
        const char* kind;
        const char* produto;
        const char* rotina;
        const char* grupo;
        const char* primeira;
    };
    const Case cases[] = {
        {"C", "100", "getOcorCanc", "CV", "Desistiu"},
        {"P", "100", "getOcorPed", "PE", "Sem sal"},
        {"CP", "100", "getOcorCancProd", "CI", "Errado"},
        {"D", "100", "getOcorDesc", "DE", "Cortesia"},
        {"P", "IDSOLOBSFINVEN", "getOcorPed", "PE", "Fim de venda"}, // end-of-sale mode
        {"c", "100", nullptr, "", nullptr},
        {"X", "100", nullptr, "", nullptr},
        {"", "100", nullptr, "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + c.produto);
        pessoa.traced.clear();
        Cli_kzt00318::stCdOcorr = "ZZ"; // left by an earlier call
        Pedido pedido = tipo(c.kind);
        pedido.produto = c.produto;
        auto form = inicializa(pedido);
        EXPECT_EQ(Cli_kzt00318::stCdOcorr, c.grupo);
        EXPECT_TRUE(form->cdsOcorrencia.active() && form->cdsOcorrencia.isEmpty());
        EXPECT_TRUE(form->cdsControlaObs.active() && form->cdsControlaObs.isEmpty());
        if (c.rotina == nullptr) {
            EXPECT_TRUE(mensagemMetodo().empty());
            EXPECT_FALSE(form->cdsObs.active());
            EXPECT_FALSE(mostrado(*form, 0));
            continue;
        }
        EXPECT_THAT(mensagemMetodo(), testing::ElementsAre(testing::ElementsAre(
                                          testing::_, "True", "0", c.rotina, "Cli_Kzt00318",
                                          std::string("1-2-") + c.produto, "001")));
        EXPECT_EQ(form->sbtGrade[0]->caption(), c.primeira);
    }
}

TEST_F(InitTest, HeaderShowsProductOrSaleNumber)
{
    struct Case {
        const char* kind;
        Variant vendaAberta;
        const char* guardada;
        bool nfce, sat;
        const char* cabecalho;
    };
    const Case cases[] = {
        {"C", "True", nullptr, false, false, "0000000001"}, // a till without sales
        {"D", "False", "0000000041", false, false, "0000000041"},
        {"D", true, "0000000041", false, false, "0000000042"},
        {"C", 1, "0000000041", false, false, "0000000042"},
        {"C", "S", "0000000041", false, false, "0000000041"}, // no boolean: no sale open
        {"C", "True", "2147483647", false, false, "2147483648"},
        {"D", "True", "9999999998", false, false, "9999999999"},
        {"D", "False", "abc", false, false, "abc"},
        {"C", "True", "0000000041", true, false, ""},
        {"D", "False", "0000000041", false, true, ""},
        {"P", "True", "0000000041", true, true, "100 - X-BURGER"},
        {"CP", "True", "0000000041", false, false, "100 - X-BURGER"},
        {"X", "True", "0000000041", false, false, "100 - X-BURGER"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + (c.guardada ? c.guardada : "none"));
        venda(c.guardada);
        estacao.nfce = c.nfce;
        estacao.sat = c.sat;
        t::writeParameterFile(dir.path(), estacao);
        Pedido pedido = tipo(c.kind);
        pedido.vendaAberta = c.vendaAberta;
        EXPECT_EQ(inicializa(pedido)->lblProduto->caption(), c.cabecalho);
    }
}

// A parameter file of `campos` fields and `linhas` empty rows.
std::string parametrosDeForma(int campos, int linhas)
{
    std::string xml = "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>";
    for (int i = 0; i < campos; ++i)
        xml += "<FIELD attrname=\"F" + std::to_string(i) + "\" fieldtype=\"r8\"/>";
    xml += "</FIELDS><PARAMS/></METADATA><ROWDATA>";
    for (int i = 0; i < linhas; ++i)
        xml += "<ROW/>";
    return xml + "</ROWDATA></DATAPACKET>";
}

TEST_F(InitTest, ParameterFileAndSaleNumberFailuresStopBeforeTheDialog)
{
    struct Case {
        const char* guardada;
        bool comSat;
        std::string conteudo;
        std::uintmax_t tamanho;
        const char* mensagem;
    };
    const Case cases[] = {
        {"abc", true, {}, 0, "'abc' is not a valid integer value"},
        {"12.5", true, {}, 0, "'12.5' is not a valid integer value"},
        {"1", false, {}, 0, "cdsParametrosQtr: Field 'SISTEMAQTRSAT' not found"},
        {"1", true, "<DATAPACKET Version=\"2.0\"><METADATA>", 0,
         "PARAMETROSQTR.CDS into cdsParametrosQtr"},
        // Shapes no station file has, refused before they can ask for gigabytes.
        {"1", true, parametrosDeForma(1006, 200000), 0, "is larger than 1048576 bytes"},
        {"1", true, {}, 3ull << 30, "is larger than 1048576 bytes"},
        {"1", true, parametrosDeForma(257, 1), 0, "Packet declares more than 256 fields"},
        {"1", true, parametrosDeForma(6, 101), 0, "Packet holds more than 100 rows"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mensagem);
        venda(c.guardada);
        estacao.withSat = c.comSat;
        t::writeParameterFile(dir.path(), estacao);
        if (!c.conteudo.empty())
            std::ofstream(parametros, std::ios::trunc) << c.conteudo;
        if (c.tamanho > 0)
            std::filesystem::resize_file(parametros, c.tamanho); // sparse: nothing written
        EXPECT_THAT([&] { inicializa(tipo("C")); },
                    testing::ThrowsMessage<kzt::Error>(testing::HasSubstr(c.mensagem)));
    }
    std::remove(parametros.c_str()); // a missing file is no error: the store is unknown
    pessoa.traced.clear();
    auto form = inicializa(tipo("CP"));
    EXPECT_EQ(mensagemMetodo().at(0).at(5), "--100");
    EXPECT_TRUE(form->cdsObs.active() && form->cdsObs.isEmpty());
}

TEST_F(InitTest, ExitButtonFollowsTheStoreFlagOnCancellations)
{
    struct Case {
        const char* kind;
        const char* flag;
        bool habilitado;
    };
    const Case cases[] = {
        {"C", "S", false}, {"CP", "S", false}, {"P", "S", true},  {"D", "S", true},
        {"X", "S", true},  {"C", "N", true},   {"CP", "s", true}, {"C", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + "/" + c.flag);
        sql(std::string("UPDATE LOJA SET IDOBRIGAOBSCAN = '") + c.flag + "'");
        EXPECT_EQ(inicializa(tipo(c.kind))->sbtSair->isEnabled(), c.habilitado);
    }
}

TEST_F(InitTest, WaitingTimeLabelShowsEntrySixOfAnyType)
{
    const std::string layout = kzt::utf8ToCp1252("Tempo de espera de produção (minutos):");
    struct Case {
        Variant espera;
        bool visivel;
        std::string legenda;
    };
    const Case cases[] = {
        {"15", true, layout + " 15"}, {15, true, layout + " 15"}, {2.5, true, layout + " 2.5"},
        {"", false, layout},          {"   ", false, layout},     {Variant(), false, layout},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legenda);
        Pedido pedido;
        pedido.espera = c.espera;
        auto form = inicializa(pedido);
        EXPECT_EQ(form->lblEsperaProd->isVisibleTo(form.get()), c.visivel);
        EXPECT_EQ(form->lblEsperaProd->caption(), c.legenda);
    }
}

TEST_F(InitTest, PriceLookupCodesComeFromThisCallOnly)
{
    Pedido texto, numeros;
    texto.cliente = "C7";
    texto.consumidor = "C8";
    texto.hora = "12:30";
    texto.atual = "SEM SAL;";
    numeros.cliente = 7;
    numeros.consumidor = true;
    numeros.hora = 12.5;
    numeros.nome = 15;
    Pedido curto = texto, arrayEm8 = texto, arrayEm3 = texto;
    curto.high = 6; // entries 7 to 9 missing
    arrayEm8.consumidor = Variant(Variant::Array{"x"});
    arrayEm3.nome = Variant::arrayOf(1);
    const std::string layout = TfrmObservacao().lblProduto->caption();
    Pedido arrayEm1 = texto;
    arrayEm1.tipo = Variant::arrayOf(1);
    struct Case {
        const char* nome;
        Pedido pedido;
        const char* cli;
        const char* cons;
        const char* hora;
        std::string cabecalho;
        const char* atual;
    };
    const Case cases[] = {
        {"text", texto, "C7", "C8", "12:30", "100 - X-BURGER", "SEM SAL;"},
        {"numbers and booleans", numeros, "7", "True", "12.5", "100 - 15", ""},
        {"short request", curto, "", "", "", "100 - X-BURGER", "SEM SAL;"},
        {"array at entry 8", arrayEm8, "C7", "", "", "100 - X-BURGER", "SEM SAL;"},
        {"array at entry 3", arrayEm3, "", "", "", layout, ""},
        {"array at entry 1", arrayEm1, "", "", "", layout, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nome);
        Cli_kzt00318::stCdCliDeb = Cli_kzt00318::stCdConsDeb = Cli_kzt00318::stHora = "old";
        auto form = inicializa(c.pedido);
        EXPECT_EQ(Cli_kzt00318::stCdCliDeb, c.cli);
        EXPECT_EQ(Cli_kzt00318::stCdConsDeb, c.cons);
        EXPECT_EQ(Cli_kzt00318::stHora, c.hora);
        EXPECT_EQ(form->lblProduto->caption(), c.cabecalho);
        // The design-time caption never stands in for the current observation.
        EXPECT_EQ(form->lblObsAtual->caption(), c.atual);
        EXPECT_EQ(form->stCdProduto, c.pedido.tipo.isArray() ? "" : "100");
    }
}

TEST_F(InitTest, GridShowsTheFirstTwentyEightRowsInCodeOrder)
{
    struct Case {
        int linhas;
        int mostrados;
        int linhaAtual;
    };
    for (const Case c : {Case{0, 0, 0}, Case{3, 3, 3}, Case{28, 28, 28}, Case{30, 28, 29}}) {
        SCOPED_TRACE(c.linhas);
        sql("DELETE FROM OCORRENCIA WHERE CDGRPOCOR = 'DE'");
        for (int i = c.linhas; i >= 1; --i) { // backwards: the list's order must win
            const std::string codigo = (i < 10 ? "0" : "") + std::to_string(i);
            desconto(codigo, "Ocorrência " + codigo, "NULL");
        }
        auto form = inicializa(tipo("D"));
        for (int i = 0; i < 28; ++i) {
            const std::string codigo = (i < 9 ? "0" : "") + std::to_string(i + 1);
            ASSERT_EQ(mostrado(*form, i), i < c.mostrados) << "sbt" << codigo;
            if (i < c.mostrados) {
                EXPECT_EQ(form->sbtGrade[i]->caption(), kzt::utf8ToCp1252("Ocorrência " + codigo));
                EXPECT_EQ(form->sbtGrade[i]->code(), codigo);
            }
        }
        EXPECT_TRUE(pessoa.messages.empty());
        EXPECT_EQ(form->cdsObs.recNo(), c.linhaAtual);
    }
}

TEST_F(InitTest, GridColourTellsTheControlKindAndRefillHidesTheRest)
{
    struct Case {
        const char* codigo;
        const char* descricao;
        const char* controle;
        int cor;
    };
    const Case cases[] = {
        {"01", "Bacon extra", "'A'", 6610210}, {"02", "Sem cebola", "'R'", 1130222},
        {"03", "Minusculo", "'a'", 8421504},   {"04", "Vazio", "''", 8421504},
        {"05", "Nulo", "NULL", 8421504},       {"06", "", "'X'", 8421504},
    };
    sql("DELETE FROM OCORRENCIA WHERE CDGRPOCOR = 'DE'");
    for (const Case& c : cases)
        desconto(c.codigo, c.descricao, c.controle);
    auto form = inicializa(tipo("D"));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].codigo);
        EXPECT_TRUE(mostrado(*form, static_cast<int>(i))); // an empty caption is still a button
        EXPECT_EQ(form->sbtGrade[i]->caption(), cases[i].descricao);
        EXPECT_EQ(form->sbtGrade[i]->brushColor(), cases[i].cor);
    }
    form->cdsObs.first();
    for (int i = 0; i < 4; ++i)
        form->cdsObs.deleteRecord();
    form->MontaObservacoes();
    EXPECT_EQ(form->sbtGrade[0]->code(), "05");
    EXPECT_TRUE(mostrado(*form, 1));
    EXPECT_FALSE(mostrado(*form, 2));
    EXPECT_EQ(form->sbtGrade[2]->caption(), "");
}

// Whole calls: what initialisation prepared is on screen, or its failure is shown instead.
TEST_F(InitTest, CallShowsThePreparedDialogOrTheFailure)
{
    struct Case {
        const char* guardada;
        bool comSat;
        const char* cabecalho;
        const char* mensagem;
    };
    const Case cases[] = {
        {"2147483647", true, "2147483648", nullptr},
        {"abc", true, "(not shown)", "'abc' is not a valid integer value"},
        {"1", false, "(not shown)", "cdsParametrosQtr: Field 'SISTEMAQTRSAT' not found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cabecalho);
        venda(c.guardada);
        estacao.withSat = c.comSat;
        t::writeParameterFile(dir.path(), estacao);
        pessoa.messages.clear();
        std::string cabecalho = "(not shown)", primeiro;
        QTimer operador; // closes the dialog once shown, noting what the operator saw
        operador.setInterval(1);
        QObject::connect(&operador, &QTimer::timeout, [&] {
            auto* form = Cli_kzt00318::frmObservacao;
            if (form == nullptr || !form->isVisible())
                return;
            operador.stop();
            cabecalho = form->lblProduto->caption();
            primeiro = form->sbtGrade[0]->caption();
            form->closeForm();
        });
        operador.start();
        const std::vector<Variant> pedido = tipo("C").entradas();
        Variant resultado = Variant::arrayOf(5);
        Cli_kzt00318::Observacao(pedido.data(), 9, resultado);

        EXPECT_EQ(cabecalho, c.cabecalho);
        if (c.mensagem) {
            ASSERT_EQ(pessoa.messages.size(), 1u);
            EXPECT_EQ(pessoa.messages[0].text, c.mensagem);
            EXPECT_EQ(pessoa.messages[0].schema, "002");
            EXPECT_TRUE(resultado.at(0).isEmpty());
        } else {
            EXPECT_TRUE(pessoa.messages.empty());
            EXPECT_EQ(primeiro, "Desistiu");
            EXPECT_EQ(resultado.at(0).asText(), "CV");
        }
    }
}

} // namespace

// The store away: the dialog opens on what was read before, says so once, shows no sale
// number, and takes the safe side where a rule was never read.
TEST_F(InitTest, AStoreAwayOpensOnTheKeptListAndSaysSo)
{
    Srv_kzt00318::setCacheFolder(dir.path() + "/cache");
    ::setenv("KZT_RETRY_SECONDS", "3600", 1);
    sql("INSERT INTO OCORRENCIA (CDGRPOCOR,CDOCORR,DSOCORR,IDCONTROLAOBS) VALUES "
        "('PE','03','Bacon extra','R'); INSERT INTO PRODOCORRE VALUES ('PE','03','100');"
        "INSERT INTO VENDA (CDFILIAL,CDCAIXA,NRSEQVENDA) VALUES ('1','001','0000000041')");
    const std::time_t antes = std::time(nullptr);
    // The lists alone: neither the store's flag nor the product's maximum was ever read.
    Srv_kzt00318::getOcorCanc(u"1", u"2");
    Srv_kzt00318::getOcorPed(u"1", u"2", u"100");
    Srv_kzt00318::getOcorCancProd(u"1", u"2", u"100");
    Srv_kzt00318::rdmObservacao->adcObs.setConnected(false);
    std::filesystem::rename(db, db + ".away");

    struct Case {
        const char* kind;
        bool opens;        // a list was kept
        const char* first; // its first button
        const char* header;
        bool exitEnabled;
    };
    const Case cases[] = {
        {"C", true, "Desistiu", "", false}, // no sale number; the flag never read is "S"
        {"P", true, "Sem sal", "100 - X-BURGER", true},
        {"CP", true, "Errado", "100 - X-BURGER", false},
        {"D", false, nullptr, nullptr, false}, // never read: as without a cache
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        std::unique_ptr<TfrmObservacao> form;
        try {
            form = inicializa(tipo(c.kind));
        } catch (const std::exception& e) {
            EXPECT_FALSE(c.opens) << e.what();
            continue;
        }
        ASSERT_TRUE(c.opens);
        EXPECT_EQ(form->sbtGrade[0]->caption(), c.first);
        EXPECT_EQ(form->lblProduto->caption(), c.header);
        EXPECT_EQ(form->sbtSair->isEnabled(), c.exitEnabled);
        ASSERT_NE(form->lblOffline, nullptr);
        EXPECT_TRUE(form->lblOffline->isVisibleTo(form.get()));
        EXPECT_EQ(kzt::cp1252ToUtf8(form->lblOffline->caption()),
                  "Sem conexão com a loja — lista de " + kzt::clockTime(antes));
        EXPECT_GE(Cli_kzt00318::offlineListReadAt, antes);
    }

    // A controlled occurrence needs the product's maximum, never read: refused, clearly;
    // the others go on.
    pessoa.messages.clear();
    auto form = inicializa(tipo("P"));
    form->sbt01Click(form->sbtGrade[1]); // Bacon extra, "R"
    form->sbt01Click(form->sbtGrade[0]); // Sem sal
    EXPECT_THAT(pessoa.messageTexts(),
                testing::ElementsAre(testing::HasSubstr("Sem conexão com a loja")));
    EXPECT_TRUE(form->cdsControlaObs.isEmpty());
    EXPECT_EQ(kzt::cp1252ToUtf8(form->stDescricao), " Sem sal;");

    // Live again: no line.
    std::filesystem::rename(db + ".away", db);
    ::setenv("KZT_RETRY_SECONDS", "0", 1);
    EXPECT_EQ(inicializa(tipo("P"))->lblOffline, nullptr);
    EXPECT_EQ(Cli_kzt00318::offlineListReadAt, 0);
    ::unsetenv("KZT_RETRY_SECONDS");
    Srv_kzt00318::setCacheFolder(std::nullopt);
}
