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
                const std::string tipo = cdsObs.fieldByName("IDCONTROLAOBS").asString();
                botao->setBrushColor(corDoControle(tipo));
                mTipos[botao->code()] = tipo;
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
    mTipos.clear();
    for (int indice = 1; indice <= kBotoesGrade; ++indice) {
        if (host::TBlendedBitBtn* botao = botaoDaGrade(*this, indice)) {
            botao->setCaption(std::string());
            botao->setVisible(false);
        }
    }
    // The badges of an earlier fill go with their captions.
    for (host::TBlendedBitBtn* botao : sbtGrade) {
        if (SeloEscolhas* selo = SeloEscolhas::de(botao))
            selo->setQuantidade(0);
    }
}

// --- the choice badges ---

namespace {

// Readable at arm's length: a 24 px disc with a 14 px digit, dark on white (12.6:1),
// ringed so that it stands out on a light face too.
constexpr int kSeloDiametro = 24;
constexpr int kSeloMargem = 2;
const QColor kSeloTinta(51, 51, 51);

QFont fonteSelo()
{
    return kzt::toQFont({"Arial", 14, true, kzt::clBlack});
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
        std::max(kSeloDiametro, QFontMetrics(fonteSelo()).horizontalAdvance(texto) + 10);
    auto* botao = static_cast<host::TBlendedBitBtn*>(parentWidget());
    setGeometry(botao->width() - kSeloMargem - largura, kSeloMargem, largura, kSeloDiametro);
    setVisible(mQuantidade > 0);
    // The caption keeps clear of the corner the badge takes, on both sides so it stays centred.
    botao->setCaptionInset(mQuantidade > 0 ? largura + kSeloMargem : 0);
    raise();
    update();
}

void SeloEscolhas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(kSeloTinta, 1.5));
    painter.setBrush(Qt::white);
    const QRectF area = QRectF(rect()).adjusted(1, 1, -1, -1);
    painter.drawRoundedRect(area, area.height() / 2, area.height() / 2);
    painter.setFont(fonteSelo());
    painter.setPen(kSeloTinta);
    painter.drawText(rect(), Qt::AlignCenter, QString::number(mQuantidade));
}

VeuIndisponivel::VeuIndisponivel(host::TBlendedBitBtn* botao) : QWidget(botao)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(botao->rect());
    setVisible(false);
}

VeuIndisponivel* VeuIndisponivel::de(const host::TBlendedBitBtn* botao)
{
    return botao->findChild<VeuIndisponivel*>(QString(), Qt::FindDirectChildrenOnly);
}

// The disabled face of the design (light grey) laid over the button, the caption still
// showing through.
void VeuIndisponivel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(204, 204, 204, 190));
    const QRectF area = rect();
    const qreal raio = std::min(area.width(), area.height()) / 4.0;
    painter.drawRoundedRect(area, raio, raio);
}

} // namespace Cli_kzt00318
