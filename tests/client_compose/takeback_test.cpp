// Taking one choice back through the panel "Limpar Observações" opens: the note, both
// datasets, the free text, the badges and what is shown as recorded outside the text must
// agree afterwards.

#include "tests/client_compose/balcao.h"

#include "client/noteview.h"
#include "platform/text.h"

#include <map>

namespace compose {
namespace {

using Strings = std::vector<std::string>;

struct CasoRetira {
    const char* nome;
    Strings passos;
    std::string texto;
    Strings ocorrencias; // cdsOcorrencia, sorted
    Strings controles;   // cdsControlaObs, sorted
    std::map<std::string, int> selos;
    std::string livre;
    std::string fora; // recorded but not in the text, as the note shows it
    Strings mensagens;
};

const std::string kFora = "Registrado fora do texto:";

const CasoRetira kCasos[] = {
    {"an occurrence", {"01", "02", "-01"}, " SEM TOMATE;", {"02"}, {}, {{"02", 1}}, "", "", {}},
    {"one of two equal ones",
     {"01", "01", "-01"},
     " SEM CEBOLA;",
     {"01"},
     {},
     {{"01", 1}},
     "",
     "",
     {}},
    {"a recorded one", {"16", "01", "-16"}, " SEM CEBOLA;", {"01"}, {}, {{"01", 1}}, "", "", {}},
    {"a recorded one chosen twice keeps its record",
     {"16", "16", "-16"},
     " PÃO SEM GLÚTEN;",
     {"16"},
     {"16"},
     {{"16", 1}},
     "",
     "",
     {}},
    {"a priced one gives one record back",
     {"11", "11", "-11"},
     " EXTRA QUEIJO;",
     {"11"},
     {"11"},
     {{"11", 1}},
     "",
     "",
     {}},
    {"a priced one taken back makes room under the maximum",
     {"11", "12", "-11", "17"},
     " EXTRA BACON; TROCAR FRITAS POR SALADA;",
     {"12", "17"},
     {"12", "17"},
     {{"12", 1}, {"17", 1}},
     "",
     "",
     {}},
    {"a free-text piece",
     {"01", "ed= SEM CEBOLA;MOLHO", "-=MOLHO"},
     " SEM CEBOLA;",
     {"01"},
     {},
     {{"01", 1}},
     "",
     "",
     {}},
    {"a piece the editor deleted stays recorded and shown",
     {"12", "01", "ed= SEM CEBOLA;"},
     " SEM CEBOLA;",
     {"01", "12"},
     {"12"},
     {{"01", 1}, {"12", 1}},
     "",
     kFora + " EXTRA BACON;",
     {}},
    {"and can be taken back",
     {"12", "01", "ed= SEM CEBOLA;", "-12"},
     " SEM CEBOLA;",
     {"01"},
     {},
     {{"01", 1}},
     "",
     "",
     {}},
    {"a pick in the search list",
     {"?31", "01", "-31"},
     " SEM CEBOLA;",
     {"01"},
     {},
     {{"01", 1}},
     "",
     "",
     {}},
    {"a pick in the search list beside its own button",
     {"?11", "01", "-11"},
     " SEM CEBOLA;",
     {"01"},
     {},
     {{"01", 1}},
     "",
     "",
     {}},
    {"a piece typed in front is offered on its own",
     {"01", "ed=MOLHO; SEM CEBOLA;", "-=MOLHO"},
     " SEM CEBOLA;",
     {"01"},
     {},
     {{"01", 1}},
     "EBOLA;",
     kFora + " EBOLA;",
     {}},
    {"a typed piece is not found inside an occurrence's",
     {"ed=QUEIJO", "11", "ed= EXTRA QUEIJO;"},
     " EXTRA QUEIJO;",
     {"11"},
     {"11"},
     {{"11", 1}},
     "QUEIJO;",
     kFora + " QUEIJO;",
     {}},
    {"clearing keeps the typed text, in view",
     {"01", "ed= SEM CEBOLA;MOLHO", "limpa"},
     "",
     {},
     {},
     {},
     "MOLHO;",
     kFora + " MOLHO;",
     {}},
    {"a press while the panel is open closes it",
     {"01", "painel", "26"},
     " SEM CEBOLA; ALERGIA A AMENDOIM;",
     {"01", "26"},
     {},
     {{"01", 1}, {"26", 1}},
     "",
     "",
     {}},
    {"at the maximum the refusal advises taking one back",
     {"11", "12", "17"},
     " EXTRA QUEIJO; EXTRA BACON;",
     {"11", "12"},
     {"11", "12"},
     {{"11", 1}, {"12", 1}},
     "",
     "",
     {maximoRetirar(2)}},
};

void PrintTo(const CasoRetira& c, std::ostream* os)
{
    *os << c.nome;
}

class Retira : public Balcao, public testing::WithParamInterface<CasoRetira> {};

TEST_P(Retira, LeavesTextDatasetsAndBadgesAgreeing)
{
    const CasoRetira& c = GetParam();
    Pedido p;
    p.atual.clear();
    abre(p);
    passos(c.passos);
    EXPECT_EQ(desc(), c.texto);
    EXPECT_EQ(coluna(form->cdsOcorrencia, "CDOCORR"), c.ocorrencias);
    EXPECT_EQ(coluna(form->cdsControlaObs, "CDOCORR"), c.controles);
    EXPECT_EQ(livre(), c.livre);
    EXPECT_EQ(pessoa.messageTexts(), c.mensagens);
    std::map<std::string, int> selos;
    for (host::TBlendedBitBtn* b : form->sbtGrade)
        if (const auto* selo = Cli_kzt00318::SeloEscolhas::de(b); selo && !selo->isHidden())
            selos[b->code()] = selo->quantidade();
    EXPECT_EQ(selos, c.selos);
    const auto* nota = static_cast<Cli_kzt00318::NoteView*>(form->lblDesc);
    EXPECT_EQ(kzt::cp1252ToUtf8(nota->outside()), c.fora);
    EXPECT_FALSE(form->pnlEscolhas->isVisible()) << "the panel closes after one touch";
}

INSTANTIATE_TEST_SUITE_P(UmaEscolha, Retira, testing::ValuesIn(kCasos),
                         [](const auto& caso) { return nomeDoCaso(caso.param.nome); });

} // namespace
} // namespace compose
