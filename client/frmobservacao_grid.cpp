// The occurrence button grid: the first 28 rows of cdsObs on sbt01 .. sbt28.

#include "frmobservacao.h"

#include "host/hostlib.h"

#include <exception>
#include <string>

namespace Cli_kzt00318 {

namespace {

constexpr int kBotoesGrade = 28;

constexpr kzt::TColor kCorControlado = 6610210;     // "A": priced extra (green)
constexpr kzt::TColor kCorRegistrado = 1130222;     // "R": recorded once (orange-red)
constexpr kzt::TColor kCorSemControle = 8421504;    // anything else (grey)

kzt::TColor corDoControle(const std::string& idControlaObs)
{
    if (idControlaObs == "A")
        return kCorControlado;
    if (idControlaObs == "R")
        return kCorRegistrado;
    return kCorSemControle;
}

// Found by name: a layout without one of the buttons only leaves its place empty.
host::TBlendedBitBtn* botaoDaGrade(const TfrmObservacao& form, int indice)
{
    const std::string nome = "sbt" + host::Ajusta(std::to_string(indice), 2);
    return qobject_cast<host::TBlendedBitBtn*>(form.findComponent(nome));
}

} // namespace

void TfrmObservacao::MontaObservacoes()
{
    try {
        LimpaObservacoes();
        if (cdsObs.isEmpty())
            return;
        cdsObs.first();
        int indice = 1;
        for (;;) {
            if (host::TBlendedBitBtn* botao = botaoDaGrade(*this, indice)) {
                botao->setCaption(cdsObs.fieldByName("DSOCORR").asString());
                botao->setCode(cdsObs.fieldByName("CDOCORR").asString());
                botao->setVisible(true);
                botao->setBrushColor(corDoControle(cdsObs.fieldByName("IDCONTROLAOBS").asString()));
            }
            cdsObs.next();
            if (cdsObs.eof())
                return;
            if (++indice > kBotoesGrade)
                return;
        }
    } catch (const std::exception& e) {
        // The dialog still opens; the operator learns why the grid is short.
        host::Mensagem(e.what(), "", "N", "N", host::TTipoMsg::tmAtencao, "", "", 0, nullptr);
    }
}

void TfrmObservacao::LimpaObservacoes()
{
    for (int indice = 1; indice <= kBotoesGrade; ++indice) {
        if (host::TBlendedBitBtn* botao = botaoDaGrade(*this, indice)) {
            botao->setCaption(std::string());
            botao->setVisible(false);
        }
    }
}

} // namespace Cli_kzt00318
