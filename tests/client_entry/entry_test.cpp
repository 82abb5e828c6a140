// Whole calls of the entry point against a real store: one dialog a call, the result
// array, end-of-sale mode, requests of every shape, and every way out of a call.

#include "client/Cli_kzt00318.h"
#include "client/frmobservacao.h"
#include "platform/clientdataset.h"
#include "platform/text.h"
#include "platform/ui/screen.h"
#include "tests/support/fakepresentation.h"
#include "tests/support/store.h"
#include "tests/support/tempdir.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPointer>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using Cli_kzt00318::TfrmObservacao;
using kzt::Variant;
namespace t = kzt::test;
namespace m = Cli_kzt00318;

const std::string kFimVenda = "IDSOLOBSFINVEN";
const std::string kResultadoInvalido =
    "O resultado da observação deve ser uma lista com as posições 0 a 4.";

std::string cp(const char* utf8)
{
    return kzt::utf8ToCp1252(utf8);
}

// The host's operator: once a call's dialog is up and its activation has run, does
// `acao` with it, then closes it from code as confirm and exit do.
class Operador {
public:
    explicit Operador(std::function<void(TfrmObservacao&)> acao = {}) : mAcao(std::move(acao))
    {
        mTimer.setInterval(1);
        QObject::connect(&mTimer, &QTimer::timeout, [this] { tick(); });
        mTimer.start();
    }
    std::vector<QPointer<TfrmObservacao>> vistos; // every dialog shown, in order

private:
    void tick()
    {
        TfrmObservacao* form = m::frmObservacao;
        if (form == nullptr || !form->isVisible() || (!vistos.empty() && vistos.back() == form))
            return;
        vistos.emplace_back(form);
        // Let the queued activation run before acting, as an operator's first touch would.
        for (int i = 0; i < 3; ++i)
            QCoreApplication::sendPostedEvents();
        if (mAcao)
            mAcao(*form);
        if (form->isVisible())
            form->closeForm();
    }
    std::function<void(TfrmObservacao&)> mAcao;
    QTimer mTimer;
};

int dialogosVivos()
{
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<TfrmObservacao*>(w))
            ++n;
    return n;
}

class EntryTest : public testing::Test {
protected:
    void SetUp() override
    {
        const std::string db = t::createStore(dir.path(), true);
        t::writeParameterFile(dir.path());
        t::useStation(dir.path(), db);
        m::boCriado = false;
        m::boObsFinVen = false;
    }
    void TearDown() override
    {
        t::resetStation();
        m::moduleUnload();
        m::moduleLoad();
        kzt::setScreenCursor(kzt::crDefault);
    }

    std::vector<Variant> pedido(const std::string& produto = "1001",
                                const std::string& nome = cp("HAMBÚRGUER ARTESANAL")) const
    {
        return {"N", "P", produto, nome, "", true, "", "", "", ""};
    }
    std::string chama(const std::vector<Variant>& request, Variant& resultado)
    {
        return m::Observacao(request.data(), static_cast<int>(request.size()) - 1, resultado);
    }
    std::vector<std::string> mensagens() const { return pessoa.messageTexts(); }

    t::TempDir dir;
    t::FakePresentation pessoa;
};

TEST_F(EntryTest, EachCallCreatesShowsAndFreesItsOwnDialog)
{
    m::boObsFinVen = true; // the host's; no call touches it
    std::vector<bool> criadoDuranteExibicao;
    Operador operador([&](TfrmObservacao&) { criadoDuranteExibicao.push_back(m::boCriado); });

    for (int chamada = 0; chamada < 2; ++chamada) {
        SCOPED_TRACE(chamada);
        Variant resultado = Variant::arrayOf(5);
        chama(pedido(), resultado);
        EXPECT_FALSE(m::boCriado) << "the close handler clears it";
        EXPECT_EQ(m::frmObservacao, nullptr);
        EXPECT_EQ(dialogosVivos(), 0);
        EXPECT_EQ(kzt::screenCursor(), kzt::crDefault);
    }
    ASSERT_EQ(operador.vistos.size(), 2u);
    EXPECT_TRUE(operador.vistos[0].isNull());
    EXPECT_TRUE(operador.vistos[1].isNull());
    EXPECT_EQ(criadoDuranteExibicao, (std::vector<bool>{true, true}));
    EXPECT_TRUE(m::boObsFinVen);
    EXPECT_TRUE(mensagens().empty());

    int traduzidos = 0;
    for (const auto& [call, args] : pessoa.traced)
        if (call == "Trad" && args == std::vector<std::string>{"frmObservacao"})
            ++traduzidos;
    EXPECT_EQ(traduzidos, 2) << "each dialog is handed to Trad once, on creation";
}

TEST_F(EntryTest, ResultEntriesComeFromTheDialogAtItsClose)
{
    Operador operador([](TfrmObservacao& f) {
        m::stCdOcorr = "G7";
        m::stEsperaProd = "25";
        f.stTextoLivre = cp("sem cebola; caprichado");
        f.stRetorno = cp("Obs: sem cebola");
        if (!f.cdsOcorrencia.active())
            f.cdsOcorrencia.createDataSet();
        f.cdsOcorrencia.append();
        f.cdsOcorrencia.fieldByName("CDOCORR").setAsString("04");
        f.cdsOcorrencia.post();
        if (!f.cdsControlaObs.active())
            f.cdsControlaObs.createDataSet();
        f.cdsControlaObs.append();
        f.cdsControlaObs.fieldByName("CDOCORR").setAsString("09");
        f.cdsControlaObs.fieldByName("CDPRODUTO").setAsString("1001");
        f.cdsControlaObs.fieldByName("IDCONTROLAOBS").setAsString("A");
        f.cdsControlaObs.post();
    });
    Variant resultado = Variant::arrayOf(7);
    resultado.at(5) = "host's own";

    EXPECT_EQ(chama(pedido(), resultado), cp("Obs: sem cebola"));

    ASSERT_TRUE(mensagens().empty()) << mensagens().front();
    EXPECT_EQ(resultado.at(0), Variant("G7"));
    EXPECT_EQ(resultado.at(1), Variant("25"));
    EXPECT_EQ(resultado.at(3), Variant(cp("sem cebola; caprichado")));
    EXPECT_EQ(resultado.at(5), Variant("host's own"));
    EXPECT_TRUE(resultado.at(6).isEmpty());

    struct Pacote {
        std::size_t index;
        const char* field;
        const char* value;
    };
    for (const Pacote& p : {Pacote{2, "CDOCORR", "04"}, Pacote{4, "CDOCORR", "09"},
                            Pacote{4, "IDCONTROLAOBS", "A"}}) {
        SCOPED_TRACE(p.index);
        ASSERT_TRUE(resultado.at(p.index).isPacket());
        kzt::ClientDataSet lido;
        lido.setData(resultado.at(p.index));
        ASSERT_EQ(lido.recordCount(), 1);
        EXPECT_EQ(lido.fieldByName(p.field).asString(), p.value);
    }
}

TEST_F(EntryTest, WaitingTimeOfAnEarlierCallIsNotReturned)
{
    Operador operador([](TfrmObservacao&) {});
    m::stEsperaProd = "40";
    Variant resultado = Variant::arrayOf(5);
    chama(pedido(), resultado);
    EXPECT_EQ(resultado.at(1), Variant(""));
}

TEST_F(EntryTest, ResultThatCannotTakeFiveEntriesIsReportedBeforeAnyDialog)
{
    struct Case {
        const char* name;
        Variant result;
    };
    const Case cases[] = {
        {"empty", Variant()},
        {"text", Variant("abc")},
        {"packet", Variant::fromPacket("<DATAPACKET/>")},
        {"no entries", Variant::arrayOf(0)},
        {"four entries", Variant::arrayOf(4)},
    };
    Operador operador;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pessoa.messages.clear();
        Variant resultado = c.result;
        EXPECT_EQ(chama(pedido(), resultado), "");
        EXPECT_EQ(mensagens(), std::vector<std::string>{kResultadoInvalido});
        EXPECT_EQ(resultado, c.result) << "the host's value is left alone";
        EXPECT_EQ(kzt::screenCursor(), kzt::crDefault);
        EXPECT_EQ(m::frmObservacao, nullptr);
        EXPECT_FALSE(m::boCriado);
    }
    EXPECT_TRUE(operador.vistos.empty()) << "no dialog may be shown";
    EXPECT_EQ(dialogosVivos(), 0);
}

TEST_F(EntryTest, ErrorWhilePreparingIsShownWithSchema002AndFreesTheDialog)
{
    // An array cannot be read as text: the header text of step 5 fails after the dialog
    // was created and initialised.
    std::string esperado;
    try {
        (void)Variant(Variant::Array{}).asText();
    } catch (const kzt::Error& e) {
        esperado = e.what();
    }
    ASSERT_FALSE(esperado.empty());

    struct Case {
        const char* name;
        std::size_t entry;
    };
    Operador operador;
    for (const Case& c : {Case{"product", 2}, Case{"title", 3}}) {
        SCOPED_TRACE(c.name);
        pessoa.messages.clear();
        pessoa.traced.clear();
        std::vector<Variant> request = pedido();
        request[c.entry] = Variant(Variant::Array{"x"});
        Variant resultado = Variant::arrayOf(5);
        resultado.at(0) = "kept";

        EXPECT_EQ(chama(request, resultado), "");

        ASSERT_EQ(pessoa.messages.size(), 1u);
        EXPECT_EQ(pessoa.messages[0].text, esperado);
        EXPECT_EQ(pessoa.messages[0].schema, "002");
        EXPECT_EQ(pessoa.messages[0].type, 3);
        std::vector<std::string> args;
        for (const auto& [call, a] : pessoa.traced)
            if (call == "Mensagem")
                args = a;
        EXPECT_EQ(args,
                  (std::vector<std::string>{esperado, "", "N", "N", "3", "", "002", "0", "nil"}));
        EXPECT_EQ(resultado.at(0), Variant("kept"));
        EXPECT_EQ(kzt::screenCursor(), kzt::crDefault);
        EXPECT_EQ(m::frmObservacao, nullptr);
        EXPECT_EQ(dialogosVivos(), 0);
    }
    EXPECT_TRUE(operador.vistos.empty());
}

TEST_F(EntryTest, EndOfSaleModeHidesTheSearchAndWaitingControlsAndOpensTheEditorOnce)
{
    struct Estado {
        std::vector<bool> hidden, enabled;
        std::string cabecalho;
        int limparLeft = 0;
        bool cliqueAutomatico = false;
        std::size_t editorAntes = 0, editorDepois = 0;
    } estado;
    Operador operador([&](TfrmObservacao& f) {
        for (QWidget* w : std::initializer_list<QWidget*>{f.sbtPesquisa, f.btnEsperaProd,
                                                          f.lblCodigo, f.lblObsAtu, f.Bevel2}) {
            estado.hidden.push_back(w->isHidden());
            estado.enabled.push_back(w->isEnabled());
        }
        estado.cabecalho = f.lblProduto->caption();
        estado.limparLeft = f.btnLimparObs->left();
        estado.cliqueAutomatico = m::boClickAutomatico;
        // A later activation must not open the editor again.
        estado.editorAntes = pessoa.editorCalls.size();
        QEvent desativa(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(&f, &desativa);
        QEvent ativa(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&f, &ativa);
        for (int i = 0; i < 3; ++i)
            QCoreApplication::sendPostedEvents();
        estado.editorDepois = pessoa.editorCalls.size();
    });
    pessoa.editorAnswers.push_back(cp("Cliente pediu nota"));
    Variant resultado = Variant::arrayOf(5);

    chama(pedido(kFimVenda, cp("Observação da venda 123")), resultado);

    ASSERT_EQ(operador.vistos.size(), 1u);
    EXPECT_EQ(estado.hidden, std::vector<bool>(5, true));
    EXPECT_EQ(estado.enabled, std::vector<bool>(5, false));
    EXPECT_EQ(estado.cabecalho, cp("Observação da venda 123"));
    EXPECT_EQ(estado.limparLeft, 643);
    EXPECT_TRUE(estado.cliqueAutomatico);
    ASSERT_EQ(pessoa.editorCalls.size(), 1u);
    EXPECT_EQ(pessoa.editorCalls[0].first, cp("Informe a Observação da Venda"));
    EXPECT_EQ(estado.editorAntes, 1u);
    EXPECT_EQ(estado.editorDepois, 1u);
}

TEST_F(EntryTest, OnlyTheExactEndOfSaleCodeSwitchesTheMode)
{
    struct Case {
        Variant code;
        const char* shown; // the product code as initialisation puts it in the header
    };
    const Case cases[] = {
        {"idsolobsfinven", "idsolobsfinven"},
        {"IDSOLOBSFINVEN ", "IDSOLOBSFINVEN "},
        {Variant(1001), "1001"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        pessoa.editorCalls.clear();
        bool pesquisaVisivel = false;
        int limparLeft = 0;
        std::string cabecalho;
        Operador operador([&](TfrmObservacao& f) {
            pesquisaVisivel = !f.sbtPesquisa->isHidden() && f.sbtPesquisa->isEnabled();
            limparLeft = f.btnLimparObs->left();
            cabecalho = f.lblProduto->caption();
        });
        std::vector<Variant> request = pedido("", "X-BURGER");
        request[2] = c.code;
        Variant resultado = Variant::arrayOf(5);
        chama(request, resultado);

        ASSERT_EQ(operador.vistos.size(), 1u);
        EXPECT_TRUE(pesquisaVisivel);
        EXPECT_EQ(limparLeft, 443);
        EXPECT_EQ(cabecalho, std::string(c.shown) + " - X-BURGER");
        EXPECT_TRUE(pessoa.editorCalls.empty());
    }
}

TEST_F(EntryTest, RequestEntriesOfOtherKindsOrMissingReadAsText)
{
    struct Case {
        const char* name;
        std::vector<Variant> request;
        int high;
        bool nullRequest;
        bool endOfSale;
        const char* header; // end-of-sale mode: entry 3 alone
    };
    const Case cases[] = {
        {"title an integer", {"N", "P", kFimVenda, Variant(42)}, 3, false, true, "42"},
        {"title a float", {"N", "P", kFimVenda, Variant(2.5)}, 3, false, true, "2.5"},
        {"title a boolean", {"N", "P", kFimVenda, Variant(true)}, 3, false, true, "True"},
        {"title missing", {"N", "P", kFimVenda}, 2, false, true, ""},
        {"entries beyond 9 ignored",
         {"N", "P", kFimVenda, "T", "", true, "", "", "", "", "extra", Variant(Variant::Array{})},
         11,
         false,
         true,
         "T"},
        {"negative high", {"N", "P", kFimVenda, "T"}, -1, false, false, nullptr},
        {"no request", {}, 9, true, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pessoa.messages.clear();
        std::string cabecalho = "(not shown)";
        std::string cliente = "(not shown)";
        bool fimVenda = false;
        Operador operador([&](TfrmObservacao& f) {
            cabecalho = kzt::cp1252ToUtf8(f.lblProduto->caption());
            cliente = m::stCdCliDeb + "|" + m::stCdConsDeb + "|" + m::stHora;
            fimVenda = f.sbtPesquisa->isHidden();
        });
        // Values of an earlier call must not leak into a short request.
        m::stCdCliDeb = "C9";
        m::stCdConsDeb = "K9";
        m::stHora = "23:59";
        Variant resultado = Variant::arrayOf(5);
        const std::vector<Variant> request = c.request;
        m::Observacao(c.nullRequest ? nullptr : request.data(), c.high, resultado);

        EXPECT_EQ(mensagens(), std::vector<std::string>{});
        ASSERT_EQ(operador.vistos.size(), 1u);
        EXPECT_EQ(fimVenda, c.endOfSale);
        if (c.header) {
            EXPECT_EQ(cabecalho, c.header);
        }
        EXPECT_EQ(cliente, "||");
    }
}

TEST_F(EntryTest, WindowManagerCloseRequestsLeaveTheDialogOpen)
{
    struct Tentativa {
        const char* name;
        std::function<void(TfrmObservacao&)> act;
    };
    const Tentativa tentativas[] = {
        {"close event",
         [](TfrmObservacao& f) {
             QCloseEvent fechar;
             QCoreApplication::sendEvent(&f, &fechar);
         }},
        {"close()", [](TfrmObservacao& f) { f.close(); }},
    };
    for (const Tentativa& tentativa : tentativas) {
        SCOPED_TRACE(tentativa.name);
        bool abertoDepois = false;
        bool criadoDepois = false;
        Operador operador([&](TfrmObservacao& f) {
            tentativa.act(f);
            QCoreApplication::processEvents();
            abertoDepois = f.isVisible();
            criadoDepois = m::boCriado;
        });
        Variant resultado = Variant::arrayOf(5);
        chama(pedido(), resultado);
        EXPECT_TRUE(abertoDepois);
        EXPECT_TRUE(criadoDepois) << "the close handler must not have run";
    }
}

TEST_F(EntryTest, LeftoverCreatedFlagStartsAFreshDialog)
{
    m::boCriado = true;
    Operador operador;
    Variant resultado = Variant::arrayOf(5);
    chama(pedido(), resultado);
    EXPECT_EQ(operador.vistos.size(), 1u);
    EXPECT_FALSE(m::boCriado);
    EXPECT_TRUE(mensagens().empty());
}

TEST_F(EntryTest, CallMadeWhileADialogIsShownIsRefusedAndLeavesItAlone)
{
    std::string retornoInterno = "(not called)";
    bool externoVivo = false;
    Operador operador([&](TfrmObservacao& f) {
        QPointer<TfrmObservacao> externo(&f);
        Variant resultado = Variant::arrayOf(5);
        retornoInterno = chama(pedido(), resultado);
        externoVivo = !externo.isNull() && externo->isVisible() && m::frmObservacao == &f;
    });
    Variant resultado = Variant::arrayOf(5);
    chama(pedido(), resultado);

    EXPECT_EQ(retornoInterno, "");
    EXPECT_TRUE(externoVivo);
    EXPECT_EQ(operador.vistos.size(), 1u);
    EXPECT_EQ(mensagens(),
              std::vector<std::string>{"Uma observação já está sendo informada; conclua-a antes de "
                                       "iniciar outra."});
}

TEST_F(EntryTest, EndOfSaleSwitchWithoutADialogDoesNothing)
{
    m::boClickAutomatico = true;
    m::ObservacaoFinal(kFimVenda, "x");
    EXPECT_TRUE(m::boClickAutomatico);
}

TEST(ModuleStateTest, UnloadEmptiesTheTextsAndLoadClearsTheCreatedFlag)
{
    m::stCdOcorr = "01";
    m::stEsperaProd = "10";
    m::stCdCliDeb = "C";
    m::stCdConsDeb = "K";
    m::stHora = "12:00";
    m::boObsFinVen = true;
    m::boCriado = true;

    m::moduleUnload();
    EXPECT_EQ(m::stCdOcorr + m::stEsperaProd + m::stCdCliDeb + m::stCdConsDeb + m::stHora, "");
    EXPECT_TRUE(m::boObsFinVen);

    m::moduleLoad();
    EXPECT_FALSE(m::boCriado);
    m::boObsFinVen = false;
}

} // namespace
