// The occurrence button grid: the first 28 rows of cdsObs on sbt01 .. sbt28, and the
// badges that count the operator's choices on them.

#include "client/frmobservacao.h"

#include "host/hostlib.h"
#include "platform/db/connectionstring.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <exception>
#include <string>

namespace Cli_kzt00318 {

namespace {

constexpr int kBotoesGrade = 28;

constexpr kzt::TColor kCorControlado = 6610210;  // "A": priced extra (green)
constexpr kzt::TColor kCorRegistrado = 1130222;  // "R": recorded once (orange-red)
constexpr kzt::TColor kCorSemControle = 8421504; // anything else (grey)

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
        host::Mensagem(kzt::maskedSecrets(e.what()), "", "N", "N", host::TTipoMsg::tmAtencao, "",
                       "", 0, nullptr);
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
    limpaEscolhas();
}

// --- the choice badges ---

void TfrmObservacao::contaEscolha(const std::string& cdOcorr)
{
    for (host::TBlendedBitBtn* botao : sbtGrade) {
        if (botao->isHidden() || botao->code() != cdOcorr)
            continue;
        SeloEscolhas* selo = SeloEscolhas::de(botao);
        if (selo == nullptr)
            selo = new SeloEscolhas(botao); // owned by the button
        selo->setQuantidade(selo->quantidade() + 1);
    }
}

void TfrmObservacao::limpaEscolhas()
{
    for (host::TBlendedBitBtn* botao : sbtGrade) {
        if (SeloEscolhas* selo = SeloEscolhas::de(botao))
            selo->setQuantidade(0);
    }
}

namespace {

// Small and high in the corner: a one-line caption's capitals start below it.
constexpr int kSeloAltura = 13;
constexpr int kSeloMargem = 1;

QFont fonteSelo()
{
    return kzt::toQFont({"Arial", 10, true, kzt::clBlack});
}

} // namespace

SeloEscolhas::SeloEscolhas(host::TBlendedBitBtn* botao) : QWidget(botao)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setVisible(false);
}

SeloEscolhas* SeloEscolhas::de(const host::TBlendedBitBtn* botao)
{
    return botao->findChild<SeloEscolhas*>(QString(), Qt::FindDirectChildrenOnly);
}

void SeloEscolhas::setQuantidade(int quantidade)
{
    mQuantidade = std::max(quantidade, 0);
    const QString texto = QString::number(mQuantidade);
    const int largura =
        std::max(kSeloAltura, QFontMetrics(fonteSelo()).horizontalAdvance(texto) + 6);
    const QWidget* botao = parentWidget();
    setGeometry(botao->width() - kSeloMargem - largura, kSeloMargem, largura, kSeloAltura);
    setVisible(mQuantidade > 0);
    update();
}

void SeloEscolhas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.drawRoundedRect(area, area.height() / 2, area.height() / 2);
    painter.setFont(fonteSelo());
    painter.setPen(QColor(51, 51, 51));
    painter.drawText(rect(), Qt::AlignCenter, QString::number(mQuantidade));
}

} // namespace Cli_kzt00318
