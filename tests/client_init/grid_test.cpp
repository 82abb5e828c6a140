// The occurrence grid as a list of the store fills it.

#include "client/frmobservacao.h"
#include "platform/text.h"
#include "tests/support/fakepresentation.h"
#include "tests/support/store.h"
#include "tests/support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

using Cli_kzt00318::TfrmObservacao;
using kzt::Variant;
namespace t = kzt::test;

class GridTest : public testing::Test {
protected:
    void SetUp() override
    {
        db = t::createStore(dir.path());
        t::useStation(dir.path(), db);
        t::writeParameterFile(dir.path(), {"1", "2", "001", "001"});
        t::execSql(db, "INSERT INTO GRUPOCOR VALUES ('DE','Desconto');"
                       "INSERT INTO LOJA (CDFILIAL,CDLOJA,CDGRPOCORDESC) VALUES ('1','2','DE')");
    }
    void TearDown() override { t::resetStation(); }

    // The discount list of branch 1, store 2.
    std::unique_ptr<TfrmObservacao> abreDesconto()
    {
        auto form = std::make_unique<TfrmObservacao>();
        std::vector<Variant> pedido(10);
        pedido[1] = "D";
        form->InicializaForm(pedido.data(), 9);
        return form;
    }
    void ocorrencia(const std::string& codigo, const std::string& descricao,
                    const std::string& controle)
    {
        t::execSql(db, "INSERT INTO OCORRENCIA (CDGRPOCOR,CDOCORR,DSOCORR,IDCONTROLAOBS) VALUES "
                       "('DE','" + codigo + "','" + descricao + "'," + controle + ")");
    }
    static bool mostrado(const TfrmObservacao& form, int i)
    {
        return form.sbtGrade[i]->isVisibleTo(&form);
    }

    t::TempDir dir;
    t::FakePresentation pessoa;
    std::string db;
};

TEST_F(GridTest, RowsFillButtonsInOrderUpToTwentyEight)
{
    struct Case { int linhas; int mostrados; int linhaAtual; };
    const Case cases[] = {{0, 0, 0}, {1, 1, 1}, {3, 3, 3}, {28, 28, 28}, {30, 28, 29}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.linhas);
        t::execSql(db, "DELETE FROM OCORRENCIA");
        // Inserted backwards: the list, not the insertion, orders the buttons.
        for (int i = c.linhas; i >= 1; --i) {
            const std::string codigo = (i < 10 ? "0" : "") + std::to_string(i);
            ocorrencia(codigo, "Ocorrência " + codigo, "NULL");
        }
        auto form = abreDesconto();
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

TEST_F(GridTest, FillColourTellsTheControlKind)
{
    struct Case { const char* codigo; const char* descricao; const char* controle; int cor; };
    const Case cases[] = {
        {"01", "Bacon extra", "'A'", 6610210}, {"02", "Sem cebola", "'R'", 1130222},
        {"03", "Minusculo", "'a'", 8421504},   {"04", "Vazio", "''", 8421504},
        {"05", "Nulo", "NULL", 8421504},       {"06", "", "'X'", 8421504},
    };
    for (const Case& c : cases)
        ocorrencia(c.codigo, c.descricao, c.controle);
    auto form = abreDesconto();
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].codigo);
        EXPECT_TRUE(mostrado(*form, static_cast<int>(i)));  // an empty caption is still a button
        EXPECT_EQ(form->sbtGrade[i]->caption(), cases[i].descricao);
        EXPECT_EQ(form->sbtGrade[i]->brushColor(), cases[i].cor);
    }
}

TEST_F(GridTest, RefillHidesWhatTheShorterListNoLongerHas)
{
    for (const char* codigo : {"01", "02", "03", "04"})
        ocorrencia(codigo, std::string("Item ") + codigo, "'A'");
    auto form = abreDesconto();
    form->cdsObs.first();
    form->cdsObs.deleteRecord();
    form->cdsObs.deleteRecord();
    form->MontaObservacoes();
    EXPECT_EQ(form->sbtGrade[0]->code(), "03");
    EXPECT_TRUE(mostrado(*form, 1));
    EXPECT_FALSE(mostrado(*form, 2));
    EXPECT_EQ(form->sbtGrade[2]->caption(), "");
}

} // namespace
