// Occurrences chosen by button and by search under the controlled-occurrence rules:
// the per-product maximum, the price check of priced extras and the records kept.

#include "tests/client_compose/balcao.h"

#include "client/Cli_kzt00318.h"
#include "platform/error.h"

#include <gmock/gmock.h>

#include <QColor>
#include <QFontMetrics>
#include <QImage>
#include <QPixmap>

#include <cmath>
#include <map>

namespace compose {
namespace {

using Strings = std::vector<std::string>;

struct Case {
    const char* nome;
    Pedido pedido;
    Strings passos;
    Strings mensagens;
    Strings controles;   // CDOCORR of cdsControlaObs, sorted
    Strings ocorrencias; // CDOCORR of cdsOcorrencia, sorted
    std::string texto;
};

Pedido produto(const char* codigo, const char* tipo = "P")
{
    Pedido p;
    p.produto = codigo;
    p.tipo = tipo;
    return p;
}

const std::string kQueijo = " EXTRA QUEIJO;";
const std::string kBacon = " EXTRA BACON;";
const std::string kPao = " PÃO SEM GLÚTEN;";
const std::string kCebola = " SEM CEBOLA;";

const Case kCases[] = {
    // The maximum.
    {"maximum 0 refuses a priced extra", produto("1002"), {"11"}, {maximoTexto(0)}, {}, {}, ""},
    {"maximum 0 refuses a recorded one", produto("1002"), {"17"}, {maximoTexto(0)}, {}, {}, ""},
    {"maximum 0 takes uncontrolled ones",
     produto("1002"),
     {"01", "01"},
     {},
     {},
     {"01"},
     kCebola + kCebola},
    {"no maximum",
     produto("1003"),
     {"11", "11", "11", "16"},
     {},
     {"11", "11", "11", "16"},
     {"11", "16"},
     kQueijo + kQueijo + kQueijo + kPao},
    {"priced extra three times at 2",
     produto("1001"),
     {"11", "11", "11"},
     {maximoRetirar(2)},
     {"11", "11"},
     {"11"},
     kQueijo + kQueijo},
    {"recorded one twice", produto("1001"), {"16", "16"}, {}, {"16"}, {"16"}, kPao + kPao},
    {"recorded one passes once the maximum is reached",
     produto("1001"),
     {"16", "11", "16"},
     {},
     {"11", "16"},
     {"11", "16"},
     kPao + kQueijo + kPao},
    {"a recorded one counts against a priced one",
     produto("1001"),
     {"max=1", "16", "11"},
     {maximoRetirar(1)},
     {"16"},
     {"16"},
     kPao},
    {"priced ones count against a new recorded one",
     produto("1001"),
     {"11", "12", "17"},
     {maximoRetirar(2)},
     {"11", "12"},
     {"11", "12"},
     kQueijo + kBacon},
    {"clear starts the count again",
     produto("1001"),
     {"11", "11", "limpa", "11"},
     {},
     {"11"},
     {"11"},
     kQueijo},
    {"a count above a lowered maximum blocks",
     produto("1001"),
     {"11", "11", "max=1", "12", "17"},
     {maximoRetirar(1), maximoRetirar(1)},
     {"11", "11"},
     {"11"},
     kQueijo + kQueijo},
    {"the maximum is tested before the price",
     produto("1002"),
     {"preco=DTCLI", "11"},
     {maximoTexto(0)},
     {},
     {},
     ""},
    {"a button is found in a list a search narrowed",
     produto("1001"),
     {"filtro", "11"},
     {},
     {"11"},
     {"11"},
     kQueijo},
    // The price check: answered failures, listed and not, and the store's own prices.
    {"PRECNCAD",
     produto("1001"),
     {"preco=PRECNCAD", "11"},
     {"Preço do produto deve ser cadastrado."},
     {},
     {},
     ""},
    {"TABENCAD",
     produto("1001"),
     {"preco=TABENCAD", "11"},
     {"Tabela de preço deve ser parametrizada."},
     {},
     {},
     ""},
    {"DTCLI",
     produto("1001"),
     {"preco=DTCLI", "11"},
     {"Não há tabela de preço do cliente vigente."},
     {},
     {},
     ""},
    {"DTPAR",
     produto("1001"),
     {"preco=DTPAR", "11"},
     {"Não há tabela de preço padrão vigente."},
     {},
     {},
     ""},
    {"DTLOJ",
     produto("1001"),
     {"preco=DTLOJ", "11"},
     {"Não há tabela de preço da loja vigente."},
     {},
     {},
     ""},
    {"PRECZERO",
     produto("1001"),
     {"preco=PRECZERO", "11"},
     {"Preço do produto deve ser maior que zero."},
     {},
     {},
     ""},
    {"BLOQUEADO",
     produto("1001"),
     {"preco=BLOQUEADO", "11"},
     {"Operação bloqueada. Produto indisponível no momento."},
     {},
     {},
     ""},
    {"codes compare case-sensitively",
     produto("1001"),
     {"preco=dtcli", "11"},
     {"dtcli"},
     {},
     {},
     ""},
    {"an unlisted failure is shown itself",
     produto("1001"),
     {"preco=Servidor de preços parado", "11"},
     {"Servidor de preços parado"},
     {},
     {},
     ""},
    {"a failed check leaves earlier choices",
     produto("1001"),
     {"11", "preco=DTLOJ", "12"},
     {"Não há tabela de preço da loja vigente."},
     {"11"},
     {"11"},
     kQueijo},
    {"store: extra's product without price",
     produto("1001"),
     {"13"},
     {"Preço do produto deve ser cadastrado."},
     {},
     {},
     ""},
    {"store: extra's product priced zero",
     produto("1001"),
     {"14"},
     {"Preço do produto deve ser maior que zero."},
     {},
     {},
     ""},
    {"store: extra's product blocked",
     produto("1001"),
     {"15"},
     {"Operação bloqueada. Produto indisponível no momento."},
     {},
     {},
     ""},
    {"store: extra's product priced", produto("1001"), {"12"}, {}, {"12"}, {"12"}, kBacon},
    // The search list.
    {"search left", produto("1001"), {"01", "?"}, {}, {}, {"01"}, kCebola},
    {"search beyond the 28 buttons", produto("1001"), {"?31"}, {}, {}, {"31"}, " PIMENTA À PARTE;"},
    {"search repeated", produto("1001"), {"?01", "?01"}, {}, {}, {"01"}, kCebola + kCebola},
    {"search under the maximum rules",
     produto("1001"),
     {"?11", "?16", "?11", "?16"},
     {maximoRetirar(2)},
     {"11", "16"},
     {"11", "16"},
     kQueijo + kPao + kPao},
    {"search refused at the maximum is not recorded",
     produto("1002"),
     {"?11"},
     {maximoTexto(0)},
     {},
     {},
     ""},
    {"search refused by the price is not recorded",
     produto("1001"),
     {"preco=PRECZERO", "?11"},
     {"Preço do produto deve ser maior que zero."},
     {},
     {},
     ""},
    {"search in a list an earlier search narrowed",
     produto("1001"),
     {"filtro", "?01"},
     {},
     {},
     {"01"},
     kCebola},
    {"search with no occurrence for the product",
     produto("9999"),
     {"?01"},
     {"Não existe nenhuma observação cadastrada para o produto vendido."},
     {},
     {},
     ""},
    {"search with no list loaded",
     produto("1001", "X"),
     {"?01"},
     {"Não existe nenhuma observação cadastrada para o produto vendido."},
     {},
     {},
     ""},
};

// Cases print as their description.
void PrintTo(const Case& c, std::ostream* os)
{
    *os << c.nome;
}

class Selecao : public Balcao, public testing::WithParamInterface<Case> {};

TEST_P(Selecao, ComposesAndRecords)
{
    const Case& c = GetParam();
    abre(c.pedido);
    passos(c.passos);
    EXPECT_EQ(pessoa.messageTexts(), c.mensagens);
    EXPECT_EQ(coluna(form->cdsControlaObs, "CDOCORR"), c.controles);
    EXPECT_EQ(coluna(form->cdsOcorrencia, "CDOCORR"), c.ocorrencias);
    EXPECT_EQ(desc(), c.texto);
    for (const auto& m : pessoa.messages)
        EXPECT_EQ(m.schema, "001") << "messages carry the station's schema";
}

INSTANTIATE_TEST_SUITE_P(Regras, Selecao, testing::ValuesIn(kCases),
                         [](const auto& caso) { return nomeDoCaso(caso.param.nome); });

TEST_F(Balcao, ControlRecordCopiesTheOccurrenceRow)
{
    abre(produto("1001"));
    passos({"11", "16"});
    EXPECT_EQ(coluna(form->cdsControlaObs, "CDPRODUTO"), (Strings{"2001", "2011"}));
    EXPECT_EQ(coluna(form->cdsControlaObs, "IDCONTROLAOBS"), (Strings{"A", "R"}));
}

TEST_F(Balcao, PriceLookupAsksForTheExtrasProductWithTheCallsCodes)
{
    Pedido p;
    p.cliente = "C1";
    p.consumidor = "K2";
    p.hora = "12:30";
    abre(p);
    passos({"11", "01"});
    std::vector<Strings> consultas;
    for (const auto& [chamada, argumentos] : pessoa.traced)
        if (chamada == "ChamaFuncaoGetRetornaPreco")
            consultas.push_back(argumentos);
    EXPECT_EQ(consultas, (std::vector<Strings>{
                             {"0001", "C1", "2001", "01", "K2", "12:30", "", "cdsRetornaPreco"}}));
}

TEST_F(Balcao, SearchOpensOnTheWholeListOnlyWhenThereIsOne)
{
    abre(produto("9999"));
    passo("?01");
    EXPECT_EQ(pessoa.searchCalls, 0);
    abre(produto("1001"));
    passo("?");
    EXPECT_EQ(pessoa.searchCalls, 1);
}

TEST_F(Balcao, GridButtonsCountTheChoicesOfTheirOccurrence)
{
    struct CasoSelo {
        const char* nome;
        Strings passos;
        std::map<std::string, int> selos; // CDOCORR -> the count its button shows
    };
    const CasoSelo cases[] = {
        {"nothing chosen", {}, {}},
        {"each accepted press counts", {"01", "01", "02"}, {{"01", 2}, {"02", 1}}},
        {"a refused press does not", {"11", "11", "11"}, {{"11", 2}}},
        {"a refused price does not", {"preco=DTCLI", "11"}, {}},
        {"a choice in the search counts on its button", {"01", "?01", "?31", "?"}, {{"01", 2}}},
        {"clearing the observation clears them", {"01", "16", "limpa"}, {}},
        {"and the count starts again", {"01", "limpa", "01"}, {{"01", 1}}},
        {"a long caption makes room", {"27"}, {{"27", 1}}},
        {"taking one back counts down", {"01", "01", "-01"}, {{"01", 1}}},
        {"taking the last back removes it", {"01", "16", "-16"}, {{"01", 1}}},
    };
    for (const CasoSelo& c : cases) {
        SCOPED_TRACE(c.nome);
        Cli_kzt00318::TfrmObservacao& f = abre(produto("1001"));
        struct Aparencia {
            std::string caption;
            kzt::TColor face, down, disabled;
            bool operator==(const Aparencia&) const = default;
        };
        auto aparencias = [&f] {
            std::vector<Aparencia> todas;
            for (const host::TBlendedBitBtn* b : f.sbtGrade)
                todas.push_back(
                    {b->caption(), b->brushColor(), b->downColor(), b->disabledColor()});
            return todas;
        };
        const std::vector<Aparencia> antes = aparencias();
        passos(c.passos);

        std::map<std::string, int> selos;
        for (host::TBlendedBitBtn* b : f.sbtGrade) {
            const Cli_kzt00318::SeloEscolhas* selo = Cli_kzt00318::SeloEscolhas::de(b);
            if (selo == nullptr || selo->isHidden())
                continue;
            selos[b->code()] = selo->quantidade();
            // Painted in the top-right corner of the face, over the button, readable: at
            // least a 22 px disc.
            const QRect onde = selo->geometry();
            EXPECT_TRUE(b->rect().contains(onde));
            EXPECT_LE(onde.top(), 4);
            EXPECT_GE(onde.right(), b->width() - 4);
            EXPECT_GE(onde.height(), 22);
            EXPECT_GE(onde.width(), 22);
            // The caption, centred on the face, ends left of the badge.
            const host::TBlendedBitBtn::CaptionLayout legenda = b->captionLayout();
            QFont fonte = kzt::toQFont(b->font());
            fonte.setPixelSize(legenda.pixelSize);
            for (const QString& linha : legenda.lines)
                EXPECT_LT((b->width() + QFontMetrics(fonte).horizontalAdvance(linha)) / 2,
                          onde.left())
                    << linha.toStdString();
            const QImage pintado = b->grab().toImage();
            const QColor fundo = pintado.pixelColor(onde.left() + 2, onde.center().y());
            EXPECT_EQ(fundo, QColor(Qt::white));
            // The digit's darkest ink against the badge's own fill: at least 4.5:1.
            auto luminancia = [](const QColor& cor) {
                auto canal = [](double v) {
                    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
                };
                return 0.2126 * canal(cor.redF()) + 0.7152 * canal(cor.greenF())
                       + 0.0722 * canal(cor.blueF());
            };
            double tinta = 1.0;
            for (int y = onde.top() + 4; y < onde.bottom() - 3; ++y)
                for (int x = onde.left() + 4; x < onde.right() - 3; ++x)
                    tinta = std::min(tinta, luminancia(pintado.pixelColor(x, y)));
            EXPECT_GE((luminancia(fundo) + 0.05) / (tinta + 0.05), 4.5);
        }
        EXPECT_EQ(selos, c.selos);
        EXPECT_TRUE(aparencias() == antes) << "a button's caption or colours changed";
    }
}

TEST_F(Balcao, DatabaseErrorOnTheMaximumLeavesThePressUndone)
{
    abre(produto("1001"));
    kzt::test::execSql(db, "DROP TABLE PRODUTO");
    // The host's default handling receives it; the dialog stays as it was.
    try {
        passo("01");
        ADD_FAILURE() << "the press went through without its maximum";
    } catch (const kzt::Error& e) {
        EXPECT_THAT(e.what(), testing::HasSubstr("PRODUTO"));
    }
    EXPECT_EQ(desc(), "");
    EXPECT_TRUE(form->cdsOcorrencia.isEmpty());
}

} // namespace
} // namespace compose
