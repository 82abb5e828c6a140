// What the operator sees of the composition while the dialog is up: the whole note within
// the composed-text label, and the count of controlled choices against the product's
// maximum with the buttons a press of which would be refused.

#include "tests/client_compose/balcao.h"

#include "client/noteview.h"
#include "platform/text.h"

#include <set>

namespace compose {
namespace {

using Strings = std::vector<std::string>;

Strings muitas()
{
    Strings s;
    for (int vez = 0; vez < 2; ++vez)
        for (const char* b : {"01", "02", "03", "04", "05", "06", "07", "08", "09", "10",
                              "18", "19", "21", "22", "23", "24", "25", "26", "27", "28"})
            s.emplace_back(b);
    return s;
}

Strings com(Strings antes, const Strings& depois)
{
    antes.insert(antes.end(), depois.begin(), depois.end());
    return antes;
}

struct CasoNota {
    const char* nome;
    Strings passos;
    bool rola;       // the note outgrew the label: the scroll buttons show
    bool fimVisivel; // its last line is in view
    bool inicioVisivel;
};

const CasoNota kNotas[] = {
    {"a short note", {"01"}, false, true, true},
    {"a long note shows its end", muitas(), true, true, false},
    {"Sobe brings its start", com(muitas(), {"sobe", "sobe", "sobe"}), true, false, true},
    {"one Sobe, one Desce", com(muitas(), {"sobe", "desce"}), true, true, false},
    {"a finger dragged down brings its start", com(muitas(), {"arrasta"}), true, false, true},
    {"a change brings the end back", com(muitas(), {"sobe", "01"}), true, true, false},
    {"the recorded-outside line is the end",
     com(muitas(), {"11", "ed= SEM CEBOLA; SEM TOMATE; SEM ALFACE; SEM PICLES; SEM MAIONESE; "
                          "SEM MOSTARDA; SEM KETCHUP; BEM PASSADO; AO PONTO; MAL PASSADO; MOLHO "
                          "À PARTE; CORTAR AO MEIO; SEM SAL; POUCO SAL; PÃO BEM TOSTADO;"}),
     true, true, false},
    {"cleared, it fits again", com(muitas(), {"limpa"}), false, true, true},
};

TEST_F(Balcao, TheWholeNoteCanBeReached)
{
    for (const CasoNota& c : kNotas) {
        SCOPED_TRACE(c.nome);
        abre();
        passos(c.passos);
        const auto* nota = static_cast<Cli_kzt00318::NoteView*>(form->lblDesc);
        EXPECT_EQ(nota->geometry(), QRect(26, 98, 705, 71)) << "the label keeps its place";
        EXPECT_EQ(nota->sobe()->isVisible(), c.rola);
        EXPECT_EQ(nota->desce()->isVisible(), c.rola);
        EXPECT_EQ(nota->lastShownLine() == nota->lineCount() - 1, c.fimVisivel);
        EXPECT_EQ(nota->firstShownLine() == 0, c.inicioVisivel);
        if (c.rola) {
            EXPECT_EQ(nota->sobe()->isEnabled(), !c.inicioVisivel);
            EXPECT_EQ(nota->desce()->isEnabled(), !c.fimVisivel);
        }
    }
}

struct CasoMaximo {
    const char* nome;
    const char* produto;
    Strings passos;
    std::string contador;                // empty: not shown
    std::set<std::string> indisponiveis; // codes whose buttons look unavailable
    Strings mensagens;
};

const CasoMaximo kMaximos[] = {
    {"nothing chosen", "1001", {}, "Adicionais 0/2", {}, {}},
    {"one priced extra", "1001", {"11"}, "Adicionais 1/2", {}, {}},
    {"at the maximum",
     "1001",
     {"11", "16"},
     "Adicionais 2/2",
     {"11", "12", "13", "14", "15", "17", "20"},
     {}},
    {"an unavailable button still explains itself",
     "1001",
     {"11", "16", "12"},
     "Adicionais 2/2",
     {"11", "12", "13", "14", "15", "17", "20"},
     {maximoRetirar(2)}},
    {"taking one back makes them available", "1001", {"11", "16", "-16"}, "Adicionais 1/2", {}, {}},
    {"a maximum of none", "1002", {}, "Adicionais 0/0", {"11", "17"}, {}},
    {"no maximum", "1003", {"11"}, "", {}, {}},
};

TEST_F(Balcao, TheMaximumIsShownAhead)
{
    for (const CasoMaximo& c : kMaximos) {
        SCOPED_TRACE(c.nome);
        Pedido p;
        p.produto = c.produto;
        abre(p);
        pessoa.messages.clear();
        passos(c.passos);
        EXPECT_EQ(form->lblAdicionais->isVisible(), !c.contador.empty());
        if (!c.contador.empty()) {
            EXPECT_EQ(kzt::cp1252ToUtf8(form->lblAdicionais->caption()), c.contador);
        }
        std::set<std::string> indisponiveis;
        for (host::TBlendedBitBtn* b : form->sbtGrade) {
            const auto* veu = Cli_kzt00318::VeuIndisponivel::de(b);
            if (veu != nullptr && veu->isVisible()) {
                indisponiveis.insert(b->code());
                EXPECT_TRUE(b->isEnabled()) << "a press must still reach " << b->code();
            }
        }
        EXPECT_EQ(indisponiveis, c.indisponiveis);
        EXPECT_EQ(pessoa.messageTexts(), c.mensagens);
    }
}

} // namespace
} // namespace compose
