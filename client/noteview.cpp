#include "client/noteview.h"

#include "platform/text.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QTextOption>

#include <algorithm>

namespace Cli_kzt00318 {

namespace {

// The scroll buttons' column at the label's right, inside its bounds.
constexpr int kBotaoLargura = 52;
constexpr int kBotaoAltura = 34;
constexpr int kColuna = kBotaoLargura + 4;

// Dark red on white (8.9:1): set apart from the note, which is black.
const QColor kCorFora(153, 0, 0);

host::TBlendedBitBtn* botaoRolagem(QWidget* pai, const char* nome, const char* legenda)
{
    auto* botao = new host::TBlendedBitBtn(pai, QString::fromLatin1(nome));
    botao->setCaption(legenda);
    botao->setFont({"Arial", 12, true, kzt::clWhite});
    botao->setBrushColor(kzt::clGray);
    botao->setDownColors(kzt::clWindowText, kzt::clWindow);
    botao->setDisabledColors(kzt::rgb(204, 204, 204), kzt::clWhite);
    botao->setVisible(false);
    return botao;
}

} // namespace

NoteView::NoteView(QWidget* parent, const QString& name)
    : kzt::Label(parent, name), mSobe(botaoRolagem(this, "sbtDescSobe", "Sobe")),
      mDesce(botaoRolagem(this, "sbtDescDesce", "Desce"))
{
    mSobe->OnClick = [this](QObject*) { scrollPage(-1); };
    mDesce->OnClick = [this](QObject*) { scrollPage(1); };
}

NoteView::~NoteView() = default;

void NoteView::setOutside(const std::string& cp1252)
{
    if (cp1252 == mOutside)
        return;
    mOutside = cp1252;
    sync();
    update();
}

int NoteView::lineHeight() const
{
    return QFontMetrics(kzt::toQFont(font())).lineSpacing();
}

void NoteView::layOut(int width) const
{
    QString texto = kzt::toQString(caption());
    texto.replace(QLatin1Char('\r'), QString());
    texto.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QList<QTextLayout::FormatRange> formatos;
    if (!mOutside.empty()) {
        if (!texto.isEmpty())
            texto += QChar::LineSeparator;
        QTextLayout::FormatRange fora;
        fora.start = static_cast<int>(texto.size());
        texto += kzt::toQString(mOutside);
        fora.length = static_cast<int>(texto.size()) - fora.start;
        fora.format.setForeground(kCorFora);
        formatos.push_back(fora);
    }
    mLayout = std::make_unique<QTextLayout>(texto, kzt::toQFont(font()));
    mLayout->setFormats(formatos);
    QTextOption opcao;
    // A word wider than the view breaks anywhere rather than running past the frame.
    opcao.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    mLayout->setTextOption(opcao);
    const int passo = lineHeight();
    int y = 0;
    mLayout->beginLayout();
    for (QTextLine linha = mLayout->createLine(); linha.isValid(); linha = mLayout->createLine()) {
        linha.setLineWidth(std::max(1, width));
        linha.setPosition(QPointF(0, y));
        y += passo;
    }
    mLayout->endLayout();
}

void NoteView::sync() const
{
    const std::string agora = caption() + '\0' + mOutside;
    if (mLayout && agora == mLaidOut)
        return;
    mLaidOut = agora;
    // The whole width while the note fits; otherwise the scroll buttons take a column.
    layOut(width());
    if (mLayout->lineCount() > visibleLines())
        layOut(width() - kColuna);
    // The end of what changed is what the operator looks for.
    mOffset = 0;
    setOffset(maxScrollOffset());
}

int NoteView::lineCount() const
{
    sync();
    return mLayout->lineCount();
}

int NoteView::visibleLines() const
{
    return std::max(1, height() / lineHeight());
}

int NoteView::scrollOffset() const
{
    sync();
    return mOffset;
}

int NoteView::maxScrollOffset() const
{
    return std::max(0, static_cast<int>(mLayout ? mLayout->lineCount() : 0) - visibleLines())
           * lineHeight();
}

int NoteView::firstShownLine() const
{
    return scrollOffset() / lineHeight();
}

int NoteView::lastShownLine() const
{
    return std::min(lineCount(), firstShownLine() + visibleLines()) - 1;
}

void NoteView::setOffset(int offset) const
{
    mOffset = std::clamp(offset, 0, maxScrollOffset());
    showButtons();
    const_cast<NoteView*>(this)->update();
}

void NoteView::showButtons() const
{
    const bool rola = maxScrollOffset() > 0;
    const int esquerda = width() - kBotaoLargura;
    mSobe->setGeometry(esquerda, 0, kBotaoLargura, kBotaoAltura);
    mDesce->setGeometry(esquerda, height() - kBotaoAltura, kBotaoLargura, kBotaoAltura);
    mSobe->setVisible(rola);
    mDesce->setVisible(rola);
    mSobe->setEnabled(mOffset > 0);
    mDesce->setEnabled(mOffset < maxScrollOffset());
}

void NoteView::scrollPage(int pages)
{
    sync();
    setOffset(kzt::DragScroll::paged(mOffset, lineHeight(), visibleLines(), pages));
}

void NoteView::paintEvent(QPaintEvent*)
{
    sync();
    QPainter painter(this);
    // Whole lines only: a line half scrolled away is cut at the label's edge, never drawn
    // over the frame round it.
    painter.setClipRect(QRect(0, 0, width(), visibleLines() * lineHeight()));
    painter.setPen(kzt::toQColor(font().color));
    mLayout->draw(&painter, QPointF(0, -mOffset));
}

void NoteView::resizeEvent(QResizeEvent* event)
{
    kzt::Label::resizeEvent(event);
    mLaidOut.clear();
    mLayout.reset();
    sync();
}

// A finger dragged over the note moves it along.
void NoteView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    sync();
    mDrag.press(static_cast<int>(event->position().y()), mOffset);
}

void NoteView::mouseMoveEvent(QMouseEvent* event)
{
    if (const auto offset = mDrag.move(static_cast<int>(event->position().y())))
        setOffset(*offset);
}

void NoteView::mouseReleaseEvent(QMouseEvent* event)
{
    if (const auto offset = mDrag.release(static_cast<int>(event->position().y()), lineHeight()))
        setOffset(*offset);
}

} // namespace Cli_kzt00318
