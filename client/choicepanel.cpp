#include "client/choicepanel.h"

#include "client/frmobservacao.h"

#include "platform/text.h"

#include <QPainter>

#include <algorithm>

namespace Cli_kzt00318 {

namespace {

// Over grid rows 1 to 5, in the grid's own columns and rows, so every target is where a
// grid button was and as large; the bottom row (exit, edit, confirm) stays in reach.
constexpr int kLeft = 12;
constexpr int kTop = 226;
constexpr int kWidth = 722;
constexpr int kHeight = 282;

QRect emGrade(int left, int top, int width, int height)
{
    return {left - kLeft, top - kTop, width, height};
}

constexpr kzt::TColor kLaranja = kzt::rgb(204, 91, 44);

host::TBlendedBitBtn* botao(QWidget* pai, const QString& nome, const char* legendaUtf8,
                            kzt::TColor face, QRect onde)
{
    auto* b = new host::TBlendedBitBtn(pai, nome);
    b->setCaption(kzt::utf8ToCp1252(legendaUtf8));
    b->setFont({"Arial", 16, true, kzt::clWhite});
    b->setBrushColor(face);
    b->setDownColors(kzt::clWindowText, kzt::clWindow);
    b->setDisabledColors(kzt::rgb(204, 204, 204), kzt::clWhite);
    b->setGeometry(onde);
    return b;
}

kzt::TColor corDoTipo(const std::string& tipo)
{
    if (tipo == "A")
        return 6610210;
    if (tipo == "R")
        return 1130222;
    return kzt::clGray;
}

} // namespace

ChoicePanel::ChoicePanel(TfrmObservacao* form) : QWidget(form), mForm(form)
{
    setGeometry(kLeft, kTop, kWidth, kHeight);
    setFocusPolicy(Qt::NoFocus);

    mTitulo = new kzt::Label(this, QStringLiteral("lblEscolhas"));
    mTitulo->setFont({"Arial", 16, true, kzt::clBlack});
    mTitulo->setGeometry(emGrade(19, 245, 420, 20));

    mLimparTudo = botao(this, QStringLiteral("btnLimparTudo"), "Limpar todas", kLaranja,
                        emGrade(451, 232, 130, 46));
    mLimparTudo->OnClick = [this](QObject*) {
        close();
        mForm->btnLimparObsTudo();
    };
    mVoltar = botao(this, QStringLiteral("btnVoltarEscolhas"), "Voltar", kzt::clGray,
                    emGrade(595, 232, 130, 46));
    mVoltar->OnClick = [this](QObject*) { close(); };

    for (int i = 0; i < kPerPage; ++i) {
        const int coluna = i % 2;
        const int linha = i / 2;
        const QString nome = QStringLiteral("sbtRetira%1").arg(i + 1);
        mRows[static_cast<std::size_t>(i)] = botao(
            this, nome, "", kzt::clGray, emGrade(19 + 288 * coluna, 288 + 56 * linha, 274, 46));
        mRows[static_cast<std::size_t>(i)]->OnClick = [this, i](QObject*) { take(i); };
    }
    mSobe = botao(this, QStringLiteral("sbtRetiraSobe"), "Sobe", kzt::clGray,
                  emGrade(595, 288, 130, 102));
    mSobe->OnClick = [this](QObject*) { showPage(mPage - 1); };
    mDesce = botao(this, QStringLiteral("sbtRetiraDesce"), "Desce", kzt::clGray,
                   emGrade(595, 400, 130, 102));
    mDesce->OnClick = [this](QObject*) { showPage(mPage + 1); };
    setVisible(false);
}

int ChoicePanel::pageCount() const
{
    return std::max(1, (static_cast<int>(mParts.size()) + kPerPage - 1) / kPerPage);
}

void ChoicePanel::open()
{
    mParts = mForm->partesDaNota();
    showPage(0);
    raise();
    setVisible(true);
}

void ChoicePanel::close()
{
    setVisible(false);
    mParts.clear();
}

void ChoicePanel::showPage(int page)
{
    mPage = std::clamp(page, 0, pageCount() - 1);
    const int total = static_cast<int>(mParts.size());
    std::string titulo = total == 0 ? "Nada a retirar." : "Toque no que quer retirar:";
    if (pageCount() > 1) {
        // "1–8 de 12": where the operator is in a long note.
        const int primeiro = mPage * kPerPage + 1;
        const int ultimo = std::min(total, primeiro + kPerPage - 1);
        titulo = "Retirar " + std::to_string(primeiro) + "\xE2\x80\x93" + std::to_string(ultimo)
                 + " de " + std::to_string(total) + ":";
    }
    mTitulo->setCaption(kzt::utf8ToCp1252(titulo));
    for (int i = 0; i < kPerPage; ++i) {
        host::TBlendedBitBtn* b = mRows[static_cast<std::size_t>(i)];
        const int indice = mPage * kPerPage + i;
        if (indice >= total) {
            b->setVisible(false);
            continue;
        }
        const NotePart& parte = mParts[static_cast<std::size_t>(indice)];
        std::string legenda = parte.label;
        if (!parte.inText)
            legenda += kzt::utf8ToCp1252(" (fora do texto)");
        b->setCaption(legenda);
        b->setBrushColor(corDoTipo(parte.kind));
        b->setVisible(true);
    }
    mSobe->setVisible(pageCount() > 1);
    mDesce->setVisible(pageCount() > 1);
    mSobe->setEnabled(mPage > 0);
    mDesce->setEnabled(mPage + 1 < pageCount());
}

void ChoicePanel::take(int row)
{
    const std::size_t indice = static_cast<std::size_t>(mPage * kPerPage + row);
    if (indice >= mParts.size())
        return;
    const NotePart parte = mParts[indice];
    close();
    mForm->RetiraParte(parte);
}

// White, framed in the border's orange, so it reads as one thing laid over the grid.
void ChoicePanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen caneta(kzt::toQColor(kLaranja));
    caneta.setWidth(2);
    painter.setPen(caneta);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 8, 8);
}

} // namespace Cli_kzt00318
