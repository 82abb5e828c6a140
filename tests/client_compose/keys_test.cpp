// Ending the composition (confirm, exit, clear), the waiting time, the keys and PostText.

#include "tests/client_compose/balcao.h"

#include "client/Cli_kzt00318.h"
#include "platform/text.h"
#include "platform/ui/keys.h"

namespace compose {
namespace {

using Strings = std::vector<std::string>;

const std::string kObsInf = "Observação deve ser informada.";

struct CasoFim {
    const char* nome;
    Pedido pedido;
    Strings passos;
    std::string retorno;
    bool aberto;
    Strings mensagens;
};

Pedido pedido(const char* obriga, const char* atual = "OBS ANTIGA", const char* tipo = "P")
{
    Pedido p;
    p.obriga = obriga;
    p.atual = atual;
    p.tipo = tipo;
    return p;
}

const CasoFim kCases[] = {
    {"not required and nothing composed", pedido("N"), {"ok"}, "OBS ANTIGA", false, {}},
    {"required, only the old observation", pedido("S"), {"ok"}, "", true, {kObsInf}},
    {"only S requires", pedido("s", ""), {"ok"}, "", false, {}},
    {"required and composed", pedido("S"), {"01", "ok"}, "OBS ANTIGA SEM CEBOLA;", false, {}},
    {"blanks typed are not an observation", pedido("S", ""), {"ed=   ", "ok"}, "", true, {kObsInf}},
    {"required, cleared", pedido("S"), {"01", "limpa", "ok"}, "", true, {kObsInf}},
    {"clear then compose", pedido("N"), {"01", "limpa", "02", "ok"}, "  SEM TOMATE;", false, {}},
    {"clear then confirm", pedido("N"), {"01", "limpa", "ok"}, " ", false, {}},
    {"exit", pedido("S"), {"01", "sair"}, "erro", false, {}},
    {"Enter confirms", pedido("N"), {"01", "key:13"}, "OBS ANTIGA SEM CEBOLA;", false, {}},
    {"Enter insists on a required one", pedido("S"), {"key:13"}, "", true, {kObsInf}},
    {"Esc exits", pedido("N"), {"key:27"}, "erro", false, {}},
    // Store 01 demands an observation on cancellations: the exit is locked.
    {"Esc with the exit locked",
     pedido("S", "", "C"),
     {"key:27", "sair", "ok"},
     "",
     true,
     {kObsInf}},
    {"PostText Enter alone confirms", pedido("N"), {"post:,enter"}, "OBS ANTIGA", false, {}},
    {"PostText Enter alone insists", pedido("S"), {"post:,enter"}, "", true, {kObsInf}},
    {"PostText Esc as a key exits", pedido("N"), {"post:\x1b"}, "erro", false, {}},
    {"PostText characters do nothing", pedido("N"), {"post:\x1b\r,char"}, "", true, {}},
};

// Cases print as their description.
void PrintTo(const CasoFim& c, std::ostream* os)
{
    *os << c.nome;
}

class Fim : public Balcao, public testing::WithParamInterface<CasoFim> {};

TEST_P(Fim, ReturnsTheComposedText)
{
    const CasoFim& c = GetParam();
    abre(c.pedido);
    passos(c.passos);
    EXPECT_EQ(retorno(), c.retorno);
    EXPECT_EQ(form->isVisible(), c.aberto);
    EXPECT_EQ(pessoa.messageTexts(), c.mensagens);
}

INSTANTIATE_TEST_SUITE_P(ConfirmaSai, Fim, testing::ValuesIn(kCases),
                         [](const auto& caso) { return nomeDoCaso(caso.param.nome); });

TEST_F(Balcao, ExitAndClearKeepWhatTheyShould)
{
    abre();
    passos({"11", "ed= EXTRA QUEIJO;MOLHO", "espera=15", "sair"});
    // The host still receives the composition after an exit.
    EXPECT_EQ(coluna(form->cdsControlaObs, "CDOCORR"), Strings{"11"});
    EXPECT_EQ(livre(), "MOLHO;");
    EXPECT_EQ(Cli_kzt00318::stEsperaProd, "15");

    abre();
    passos({"11", "ed= EXTRA QUEIJO;MOLHO", "espera=15", "limpa"});
    EXPECT_TRUE(form->cdsControlaObs.isEmpty());
    EXPECT_TRUE(form->cdsOcorrencia.isEmpty());
    EXPECT_EQ(kzt::cp1252ToUtf8(form->lblObsAtual->caption()), " ");
    EXPECT_EQ(livre(), "MOLHO;");
    EXPECT_EQ(Cli_kzt00318::stEsperaProd, "15");
    EXPECT_TRUE(form->lblEsperaProd->isVisible());
}

struct CasoEspera {
    const char* nome;
    std::string espera; // request entry 6
    Strings passos;
    std::string rotulo;
    std::string valor;
    bool visivel = true;
};

const CasoEspera kEsperas[] = {
    {"one time", "", {"espera=10"}, "Tempo de espera de produção (minutos): 10", "10"},
    {"the second replaces the first",
     "",
     {"espera=10", "espera=25"},
     "Tempo de espera de produção (minutos): 25",
     "25"},
    {"the host's time is replaced",
     "30",
     {"espera=25"},
     "Tempo de espera de produção (minutos): 25",
     "25"},
    // A keypad left without a number leaves the controls as they were before it opened.
    {"keypad left at once", "", {"espera"}, "Tempo de espera de produção (minutos):", "", false},
    {"keypad left keeps the host's time",
     "30",
     {"espera"},
     "Tempo de espera de produção (minutos): 30",
     ""},
    {"keypad left keeps the time",
     "",
     {"espera=15", "espera"},
     "Tempo de espera de produção (minutos): 15",
     "15"},
};

TEST_F(Balcao, WaitingTime)
{
    for (const CasoEspera& c : kEsperas) {
        SCOPED_TRACE(c.nome);
        Pedido p;
        p.espera = c.espera;
        abre(p);
        pessoa.keypadCalls.clear();
        passos(c.passos);
        EXPECT_EQ(form->lblEsperaProd->isVisible(), c.visivel);
        EXPECT_EQ(kzt::cp1252ToUtf8(form->lblEsperaProd->caption()), c.rotulo);
        EXPECT_EQ(Cli_kzt00318::stEsperaProd, c.valor);
        ASSERT_FALSE(pessoa.keypadCalls.empty());
        const host::KeypadRequest& k = pessoa.keypadCalls.front();
        EXPECT_EQ(kzt::cp1252ToUtf8(k.prompt), "Informe o tempo de espera");
        EXPECT_EQ(kzt::cp1252ToUtf8(k.unit), "minutos");
        EXPECT_EQ(kzt::cp1252ToUtf8(k.warning), "Número deve ser informado!");
        EXPECT_EQ(k.maxDigits, 3);
    }
}

struct CasoTecla {
    const char* nome;
    std::uint16_t tecla;
    kzt::ShiftState shift;
    bool vendaAberta;
    std::uint16_t depois;
    int menuFiscal;
};

const CasoTecla kTeclas[] = {
    {"F1 outside a sale", kzt::VK_F1, 0, false, kzt::VK_F1, 1},
    {"F1 in a sale", kzt::VK_F1, 0, true, kzt::VK_F1, 0},
    {"Shift+F1 outside a sale", kzt::VK_F1, kzt::ssShift, false, kzt::VK_F1, 1},
    {"Alt+F4", kzt::VK_F4, kzt::ssAlt, false, 0, 0},
    {"Ctrl+Alt+F4", kzt::VK_F4, kzt::ssAlt | kzt::ssCtrl, false, kzt::VK_F4, 0},
    {"Shift+Alt+F4", kzt::VK_F4, kzt::ssAlt | kzt::ssShift, false, kzt::VK_F4, 0},
    {"Alt+F4 with a mouse button held", kzt::VK_F4, kzt::ssAlt | kzt::ssLeft, false, kzt::VK_F4, 0},
    {"F4", kzt::VK_F4, 0, false, kzt::VK_F4, 0},
    {"Alt+F3", kzt::VK_F3, kzt::ssAlt, false, kzt::VK_F3, 0},
};

TEST_F(Balcao, KeysThatDoNotClose)
{
    for (const CasoTecla& c : kTeclas) {
        SCOPED_TRACE(c.nome);
        Pedido p;
        p.vendaAberta = c.vendaAberta;
        abre(p);
        pessoa.fiscalMenuCalls = 0;
        std::uint16_t tecla = c.tecla;
        form->FormKeyDown(form.get(), tecla, c.shift);
        EXPECT_EQ(tecla, c.depois);
        EXPECT_EQ(pessoa.fiscalMenuCalls, c.menuFiscal);
        EXPECT_TRUE(form->isVisible());
    }
}

TEST_F(Balcao, KeysArriveFromTheKeyboardAndFromPostText)
{
    struct Case {
        const char* nome;
        bool vendaAberta;
        const char* passo;
        int menuFiscal;
    };
    const Case cases[] = {
        {"F1 key", false, "key:112", 1},
        {"F1 key in a sale", true, "key:112", 0},
        {"p sent as a key is F1", false, "post:p", 1},
        {"p sent as a key in a sale", true, "post:p", 0},
        {"p sent as a character", false, "post:p,char", 0},
        {"each character once", false, "post:ppp", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nome);
        Pedido p;
        p.vendaAberta = c.vendaAberta;
        abre(p);
        pessoa.fiscalMenuCalls = 0;
        passo(c.passo);
        EXPECT_EQ(pessoa.fiscalMenuCalls, c.menuFiscal);
    }
}

} // namespace
} // namespace compose
