// Whole calls of the entry point: what initialisation prepares reaches the operator, and
// what stops it is shown before any dialog.

#include "client/Cli_kzt00318.h"
#include "client/frmobservacao.h"
#include "tests/support/fakepresentation.h"
#include "tests/support/store.h"
#include "tests/support/tempdir.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using kzt::Variant;
namespace t = kzt::test;

// Closes the dialog as soon as it is shown, noting what the operator saw.
class Operador {
public:
    Operador()
    {
        mTimer.setInterval(1);
        QObject::connect(&mTimer, &QTimer::timeout, [this] {
            auto* form = Cli_kzt00318::frmObservacao;
            if (form == nullptr || !form->isVisible())
                return;
            mTimer.stop();
            cabecalho = form->lblProduto->caption();
            primeiro = form->sbtGrade[0]->caption();
            form->closeForm();
        });
        mTimer.start();
    }
    std::string cabecalho = "(not shown)";
    std::string primeiro;

private:
    QTimer mTimer;
};

TEST(CallTest, InitialisationReachesTheShownDialogOrStopsBeforeIt)
{
    struct Case { const char* nome; const char* venda; bool comSat; const char* cabecalho;
                  const char* mensagem; };
    const Case cases[] = {
        {"sale open", "2147483647", true, "2147483648", nullptr},
        {"sale number not an integer", "abc", true, "(not shown)",
         "'abc' is not a valid integer value"},
        {"parameter file without SISTEMAQTRSAT", "1", false, "(not shown)",
         "cdsParametrosQtr: Field 'SISTEMAQTRSAT' not found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.nome);
        t::TempDir dir;
        t::FakePresentation pessoa;
        const std::string db = t::createStore(dir.path());
        t::useStation(dir.path(), db);
        const struct Reset { ~Reset() { t::resetStation(); } } reset;
        t::StationParameters estacao{"1", "2", "001", "001"};
        estacao.withSat = c.comSat;
        t::writeParameterFile(dir.path(), estacao);
        t::execSql(db, "INSERT INTO GRUPOCOR VALUES ('CV','Venda');"
                       "INSERT INTO LOJA (CDFILIAL,CDLOJA,CDGRPOCORCANCUP) VALUES ('1','2','CV');"
                       "INSERT INTO OCORRENCIA (CDGRPOCOR,CDOCORR,DSOCORR) VALUES "
                       "('CV','01','Desistiu');"
                       "INSERT INTO VENDA (CDFILIAL,CDCAIXA,NRSEQVENDA) VALUES ('1','001','"
                           + std::string(c.venda) + "')");
        const std::vector<Variant> pedido{"N", "C", "100", "X-BURGER", "", true, "", "", "", ""};
        Variant resultado = Variant::arrayOf(5);

        Operador operador;
        Cli_kzt00318::Observacao(pedido.data(), 9, resultado);

        EXPECT_EQ(operador.cabecalho, c.cabecalho);
        if (c.mensagem) {
            ASSERT_EQ(pessoa.messages.size(), 1u);
            EXPECT_EQ(pessoa.messages[0].text, c.mensagem);
            EXPECT_EQ(pessoa.messages[0].schema, "002");
            EXPECT_TRUE(resultado.at(0).isEmpty());
        } else {
            EXPECT_TRUE(pessoa.messages.empty());
            EXPECT_EQ(operador.primeiro, "Desistiu");
            EXPECT_EQ(resultado.at(0).asText(), "CV");
        }
    }
}

} // namespace
