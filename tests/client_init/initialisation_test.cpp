// Dialog initialisation against a real SQLite store and real station parameter files.

#include "client/Cli_kzt00318.h"
#include "client/frmobservacao.h"
#include "platform/text.h"
#include "tests/support/fakepresentation.h"
#include "tests/support/store.h"
#include "tests/support/tempdir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using Cli_kzt00318::TfrmObservacao;
using kzt::Variant;
using testing::HasSubstr;
namespace t = kzt::test;

// One request; each entry as the host would put it, overridable one by one.
struct Pedido {
    Variant obriga = "N", tipo = "P", produto = "100", nome = "X-BURGER", atual = "";
    Variant vendaAberta = "True", espera = "", cliente = "", consumidor = "", hora = "";
    int high = 9;
    std::vector<Variant> entradas() const
    {
        return {obriga, tipo, produto, nome, atual, vendaAberta, espera, cliente, consumidor, hora};
    }
};

class InitTest : public testing::Test {
protected:
    void SetUp() override
    {
        db = t::createStore(dir.path());
        t::useStation(dir.path(), db);
        parametros = t::writeParameterFile(dir.path(), estacao);
    }
    void TearDown() override { t::resetStation(); }

    // Branch 1, store 2: one group per purpose, each with its own first occurrence.
    void loja(const std::string& obrigaObsCan = "N")
    {
        t::execSql(db, "INSERT INTO GRUPOCOR VALUES ('CV','Venda'),('PE','Pedido'),"
                       "('CI','Item'),('DE','Desconto');"
                       "INSERT INTO LOJA (CDFILIAL,CDLOJA,CDGRPOCORCAN,CDGRPOCORCANCUP,"
                       "CDGRPOCORPED,CDGRPOCORDESC,IDOBRIGAOBSCAN) VALUES ('1','2','CI','CV',"
                       "'PE','DE','" + obrigaObsCan + "');"
                       "INSERT INTO OCORRENCIA (CDGRPOCOR,CDOCORR,DSOCORR) VALUES "
                       "('CV','01','Desistiu'),('PE','01','Sem sal'),('CI','01','Errado'),"
                       "('DE','01','Cortesia'),('PE','02','Fim de venda');"
                       "INSERT INTO PRODOCORRE VALUES ('PE','01','100'),('CI','01','100'),"
                       "('PE','02','IDSOLOBSFINVEN');");
    }
    void venda(const std::string& numero)
    {
        t::execSql(db, "INSERT INTO VENDA (CDFILIAL,CDCAIXA,NRSEQVENDA) VALUES ('1','001','"
                           + numero + "')");
    }
    std::unique_ptr<TfrmObservacao> inicializa(const Pedido& pedido)
    {
        auto form = std::make_unique<TfrmObservacao>();
        const std::vector<Variant> entradas = pedido.entradas();
        form->InicializaForm(entradas.data(), pedido.high);
        return form;
    }
    // The arguments MensagemMetodo was traced with, one list a call.
    std::vector<std::vector<std::string>> mensagemMetodo() const
    {
        std::vector<std::vector<std::string>> calls;
        for (const auto& [call, args] : pessoa.traced)
            if (call == "MensagemMetodo")
                calls.push_back(args);
        return calls;
    }

    t::TempDir dir;
    t::FakePresentation pessoa;
    t::StationParameters estacao{"1", "2", "001", "001"};
    std::string db;
    std::string parametros;
};

TEST_F(InitTest, ListOfEachKindIsCheckedWithTheKeyTextAndLoaded)
{
    struct Case { const char* kind; const char* produto; const char* rotina; const char* grupo;
                  const char* primeira; };
    const Case cases[] = {
        {"C", "100", "getOcorCanc", "CV", "Desistiu"},
        {"P", "100", "getOcorPed", "PE", "Sem sal"},
        {"CP", "100", "getOcorCancProd", "CI", "Errado"},
        {"D", "100", "getOcorDesc", "DE", "Cortesia"},
        // End-of-sale mode initialises unchanged: its marker is the product code.
        {"P", "IDSOLOBSFINVEN", "getOcorPed", "PE", "Fim de venda"},
    };
    loja();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + c.produto);
        pessoa.traced.clear();
        Pedido pedido;
        pedido.tipo = c.kind;
        pedido.produto = c.produto;
        auto form = inicializa(pedido);
        const std::string chave = std::string("1-2-") + c.produto;
        ASSERT_EQ(mensagemMetodo().size(), 1u);
        EXPECT_THAT(mensagemMetodo()[0], testing::ElementsAre(testing::_, "True", "0", c.rotina,
                                                              "Cli_Kzt00318", chave, "001"));
        EXPECT_EQ(Cli_kzt00318::stCdOcorr, c.grupo);
        EXPECT_EQ(form->sbtGrade[0]->caption(), c.primeira);
        EXPECT_TRUE(form->cdsOcorrencia.active() && form->cdsOcorrencia.isEmpty());
        EXPECT_TRUE(form->cdsControlaObs.active() && form->cdsControlaObs.isEmpty());
    }
}

TEST_F(InitTest, UnrecognisedKindFetchesNoList)
{
    loja("S");
    for (const char* kind : {"c", "X", "", "cp"}) {
        SCOPED_TRACE(kind);
        pessoa.traced.clear();
        Cli_kzt00318::stCdOcorr = "CV";  // from an earlier call
        Pedido pedido;
        pedido.tipo = kind;
        auto form = inicializa(pedido);
        EXPECT_TRUE(mensagemMetodo().empty());
        EXPECT_EQ(Cli_kzt00318::stCdOcorr, "");
        EXPECT_FALSE(form->cdsObs.active());
        EXPECT_FALSE(form->sbtGrade[0]->isVisibleTo(form.get()));
        EXPECT_TRUE(form->sbtSair->isEnabled());
        EXPECT_EQ(form->lblProduto->caption(), "100 - X-BURGER");
    }
}

TEST_F(InitTest, HeaderShowsProductOrSaleNumber)
{
    struct Case { const char* kind; Variant vendaAberta; const char* guardada; bool nfce, sat;
                  const char* cabecalho; };
    const Case cases[] = {
        {"C", "True", nullptr, false, false, "0000000001"},  // a till without sales
        {"D", "False", "0000000041", false, false, "0000000041"},
        {"D", true, "0000000041", false, false, "0000000042"},
        {"C", 1, "0000000041", false, false, "0000000042"},
        {"C", "S", "0000000041", false, false, "0000000041"},  // not a boolean: no sale open
        {"C", "True", "2147483647", false, false, "2147483648"},
        {"D", "True", "9999999998", false, false, "9999999999"},
        {"D", "False", "abc", false, false, "abc"},  // shown as returned when no sale is open
        {"C", "True", "0000000041", true, false, ""},
        {"D", "False", "0000000041", false, true, ""},
        {"P", "True", "0000000041", true, true, "100 - X-BURGER"},
        {"CP", "True", "0000000041", false, false, "100 - X-BURGER"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " " + (c.guardada ? c.guardada : "none"));
        t::execSql(db, "DELETE FROM VENDA");
        if (c.guardada)
            venda(c.guardada);
        estacao.nfce = c.nfce;
        estacao.sat = c.sat;
        t::writeParameterFile(dir.path(), estacao);
        Pedido pedido;
        pedido.tipo = c.kind;
        pedido.vendaAberta = c.vendaAberta;
        EXPECT_EQ(inicializa(pedido)->lblProduto->caption(), c.cabecalho);
    }
}

TEST_F(InitTest, FailuresEndTheInitialisationWithTheirMessage)
{
    struct Case { const char* nome; const char* guardada; bool comSat; const char* arquivo;
                  const char* mensagem; };
    const Case cases[] = {
        {"sale number not an integer", "abc", true, nullptr, "'abc' is not a valid integer value"},
        {"sale number not whole", "12.5", true, nullptr, "'12.5' is not a valid integer value"},
        {"no SISTEMAQTRSAT", nullptr, false, nullptr,
         "cdsParametrosQtr: Field 'SISTEMAQTRSAT' not found"},
        {"corrupt parameter file", nullptr, true, "<DATAPACKET Version=\"2.0\"><METADATA>",
         "PARAMETROSQTR.CDS"},
    };
    loja();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nome);
        t::execSql(db, "DELETE FROM VENDA");
        if (c.guardada)
            venda(c.guardada);
        estacao.withSat = c.comSat;
        t::writeParameterFile(dir.path(), estacao);
        if (c.arquivo)
            std::ofstream(parametros, std::ios::trunc) << c.arquivo;
        Pedido pedido;
        pedido.tipo = "C";
        try {
            inicializa(pedido);
            ADD_FAILURE() << "initialisation went on";
        } catch (const kzt::Error& e) {
            EXPECT_THAT(e.what(), HasSubstr(c.mensagem));
        }
    }
}

TEST_F(InitTest, WithoutParameterFileTheStoreIsUnknown)
{
    loja("S");
    std::remove(parametros.c_str());
    Pedido pedido;
    pedido.tipo = "CP";
    auto form = inicializa(pedido);
    ASSERT_EQ(mensagemMetodo().size(), 1u);
    EXPECT_THAT(mensagemMetodo()[0], testing::Contains(std::string("--100")));
    EXPECT_TRUE(form->cdsObs.active() && form->cdsObs.isEmpty());
    EXPECT_TRUE(form->sbtSair->isEnabled());  // no store row, so no compulsory flag
}

TEST_F(InitTest, ExitButtonFollowsTheStoreFlagOnCancellations)
{
    struct Case { const char* kind; const char* flag; bool habilitado; };
    const Case cases[] = {
        {"C", "S", false}, {"CP", "S", false}, {"P", "S", true}, {"D", "S", true},
        {"C", "N", true}, {"CP", "s", true}, {"C", "", true},
    };
    loja();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + "/" + c.flag);
        t::execSql(db, std::string("UPDATE LOJA SET IDOBRIGAOBSCAN = '") + c.flag + "'");
        Pedido pedido;
        pedido.tipo = c.kind;
        EXPECT_EQ(inicializa(pedido)->sbtSair->isEnabled(), c.habilitado);
    }
}

TEST_F(InitTest, WaitingTimeLabelShowsEntrySixOfAnyType)
{
    const std::string layout = kzt::utf8ToCp1252("Tempo de espera de produção (minutos):");
    struct Case { Variant espera; bool visivel; std::string legenda; };
    const Case cases[] = {
        {"15", true, layout + " 15"}, {15, true, layout + " 15"}, {2.5, true, layout + " 2.5"},
        {"", false, layout}, {"   ", false, layout}, {Variant(), false, layout},
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
    struct Case { const char* nome; Pedido pedido; const char* cliente; const char* consumidor;
                  const char* hora; const char* cabecalho; };
    Pedido texto, numeros, curto, arrayNoConsumidor, arrayNoNome;
    texto.cliente = "C7";
    texto.consumidor = "C8";
    texto.hora = "12:30";
    numeros.cliente = 7;
    numeros.consumidor = true;
    numeros.hora = 12.5;
    numeros.nome = 15;
    curto = arrayNoConsumidor = arrayNoNome = texto;
    curto.high = 6;  // entries 7 to 9 missing
    arrayNoConsumidor.consumidor = Variant(Variant::Array{"x"});
    arrayNoNome.nome = Variant::arrayOf(1);
    const Case cases[] = {
        {"text", texto, "C7", "C8", "12:30", "100 - X-BURGER"},
        {"numbers and booleans", numeros, "7", "True", "12.5", "100 - 15"},
        {"short request", curto, "", "", "", "100 - X-BURGER"},
        {"array at entry 8", arrayNoConsumidor, "C7", "", "", "100 - X-BURGER"},
        {"array at entry 3", arrayNoNome, "", "", "", nullptr},
    };
    const std::string layout = TfrmObservacao().lblProduto->caption();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nome);
        Cli_kzt00318::stCdCliDeb = Cli_kzt00318::stCdConsDeb = Cli_kzt00318::stHora = "old";
        auto form = inicializa(c.pedido);
        EXPECT_EQ(Cli_kzt00318::stCdCliDeb, c.cliente);
        EXPECT_EQ(Cli_kzt00318::stCdConsDeb, c.consumidor);
        EXPECT_EQ(Cli_kzt00318::stHora, c.hora);
        EXPECT_EQ(form->lblProduto->caption(), c.cabecalho ? c.cabecalho : layout);
        EXPECT_EQ(form->stCdProduto, "100");
    }
}

} // namespace
