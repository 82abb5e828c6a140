// Free text typed in the editor: the composed text is replaced whole, and whatever lies
// beyond its old length is kept as typed text.

#include "tests/client_compose/balcao.h"

#include "platform/text.h"

namespace compose {
namespace {

struct CasoTexto {
    const char* nome;
    std::vector<std::string> passos;
    std::string texto;
    std::string livre;
    std::vector<std::string> ocorrencias;
};

const CasoTexto kCasos[] = {
    {"typed on nothing", {"ed=MOLHO"}, "MOLHO;", "MOLHO;", {}},
    {"typed after a button",
     {"01", "ed= SEM CEBOLA;MOLHO"},
     " SEM CEBOLA;MOLHO;",
     "MOLHO;",
     {"01"}},
    {"already closed", {"ed=MOLHO;"}, "MOLHO;", "MOLHO;", {}},
    {"left unchanged", {"01", "ed"}, " SEM CEBOLA;", "", {"01"}},
    {"all deleted", {"01", "ed="}, "", "", {"01"}},
    {"shortened", {"01", "ed= SEM"}, " SEM;", "", {"01"}},
    {"typed at the front", {"01", "ed=AB SEM CEBOLA;"}, "AB SEM CEBOLA;", "A;", {"01"}},
    {"two editions add up", {"ed=A", "ed=A;B"}, "A;B;", "A;B;", {}},
    // Lengths count code-page characters, one byte each, not UTF-8 bytes.
    {"accents before", {"16", "ed= PÃO SEM GLÚTEN;X"}, " PÃO SEM GLÚTEN;X;", "X;", {"16"}},
    {"accents typed", {"ed=AÇÚCAR À PARTE"}, "AÇÚCAR À PARTE;", "AÇÚCAR À PARTE;", {}},
    {"clear keeps what was typed", {"ed=MOLHO", "limpa"}, "", "MOLHO;", {}},
    {"a button after typing", {"ed=MOLHO", "01"}, "MOLHO; SEM CEBOLA;", "MOLHO;", {"01"}},
};

// Cases print as their description.
void PrintTo(const CasoTexto& c, std::ostream* os)
{
    *os << c.nome;
}

class TextoLivre : public Balcao, public testing::WithParamInterface<CasoTexto> {};

TEST_P(TextoLivre, KeepsWhatWasTyped)
{
    const CasoTexto& c = GetParam();
    abre();
    passos(c.passos);
    EXPECT_EQ(desc(), c.texto);
    EXPECT_EQ(livre(), c.livre);
    EXPECT_EQ(coluna(form->cdsOcorrencia, "CDOCORR"), c.ocorrencias);
}

INSTANTIATE_TEST_SUITE_P(Edicao, TextoLivre, testing::ValuesIn(kCasos),
                         [](const auto& caso) { return nomeDoCaso(caso.param.nome); });

TEST_F(Balcao, EditorOpensOnTheComposedTextWithAPromptOnlyWhenOpenedByItself)
{
    abre();
    passos({"01", "ed"});
    form->sbtEditaDescClick(nullptr);
    ASSERT_EQ(pessoa.editorCalls.size(), 2u);
    EXPECT_EQ(pessoa.editorCalls[0], std::make_pair(std::string(), std::string(" SEM CEBOLA;")));
    EXPECT_EQ(kzt::cp1252ToUtf8(pessoa.editorCalls[1].first), "Informe a Observação da Venda");
}

} // namespace
} // namespace compose
