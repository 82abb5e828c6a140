#include "station/hostlib/textview.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace host {

namespace {

constexpr int kPad = 6;
constexpr int kCaretWidth = 2;

} // namespace

TouchTextView::TouchTextView(QWidget* parent, const QString& name) : QWidget(parent)
{
    setObjectName(name);
    setFocusPolicy(Qt::NoFocus);
    mFont.name = "Arial";
    mFont.height = 16;
    mFont.bold = true;
    mFont.color = kzt::clBlack;
    relayout();
}

TouchTextView::~TouchTextView() = default;

void TouchTextView::setText(const std::string& cp1252)
{
    mText = cp1252;
    relayout();
}

void TouchTextView::setFont(const kzt::FontSpec& font)
{
    mFont = font;
    relayout();
}

void TouchTextView::setCentred(bool on)
{
    mCentred = on;
    relayout();
}

void TouchTextView::setShowCaret(bool on)
{
    mShowCaret = on;
    update();
}

void TouchTextView::setFollowEnd(bool on)
{
    mFollowEnd = on;
    relayout();
}

// A little more than the font's own spacing: accents on capitals stay clear of the line above.
int TouchTextView::lineHeight() const
{
    return QFontMetrics(kzt::toQFont(mFont)).lineSpacing() + 3;
}

void TouchTextView::relayout()
{
    QString text = kzt::toQString(mText);
    text.replace(QLatin1Char('\r'), QString());
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    mLayout = std::make_unique<QTextLayout>(text, kzt::toQFont(mFont));
    QTextOption option;
    // A word wider than the view breaks anywhere rather than running past the frame.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setAlignment(mCentred ? Qt::AlignHCenter : Qt::AlignLeft);
    mLayout->setTextOption(option);
    const qreal lineWidth = std::max(1, width() - 2 * kPad - kCaretWidth);
    const int step = lineHeight();
    int y = 0;
    mLayout->beginLayout();
    for (QTextLine line = mLayout->createLine(); line.isValid(); line = mLayout->createLine()) {
        line.setLineWidth(lineWidth);
        line.setPosition(QPointF(0, y));
        y += step;
    }
    mLayout->endLayout();
    mContentHeight = std::max(y, step) + 2 * kPad;

    mLineCount = mLayout->lineCount();
    int offset = mOffset;
    if (mFollowEnd) {
        // The end's line is the last whole line shown, or the text starts at the top.
        const int lastLine = std::max(mLineCount, 1) - 1;
        offset = std::min(offset, lastLine * step);
        offset = std::max(offset, (lastLine + 1 - visibleLines()) * step);
    }
    setOffset(offset);
    update();
}

int TouchTextView::visibleLines() const
{
    return std::max(1, (height() - 2 * kPad) / lineHeight());
}

int TouchTextView::contentHeight() const
{
    return mContentHeight;
}

// Scrolled to the end, the last line is the last whole line shown.
int TouchTextView::maxScrollOffset() const
{
    return std::max(0, mLineCount - visibleLines()) * lineHeight();
}

void TouchTextView::setOffset(int offset)
{
    const int clamped = std::clamp(offset, 0, maxScrollOffset());
    if (clamped != mOffset) {
        mOffset = clamped;
        update();
    }
    if (onScroll)
        onScroll();
}

void TouchTextView::scrollPage(int pages)
{
    setOffset(kzt::DragScroll::paged(mOffset, lineHeight(), visibleLines(), pages));
}

void TouchTextView::scrollToEnd()
{
    setOffset(maxScrollOffset());
}

QRect TouchTextView::endRect() const
{
    int x = mCentred ? width() / 2 : kPad;
    int top = kPad;
    if (mLayout && mLayout->lineCount() > 0) {
        const QTextLine last = mLayout->lineAt(mLayout->lineCount() - 1);
        x = kPad + static_cast<int>(std::lround(last.cursorToX(mLayout->text().size())));
        top = kPad + static_cast<int>(std::lround(last.y()));
    }
    // Blanks hanging past the end of a full line must not take the caret out of the view.
    x = std::clamp(x, 0, std::max(0, width() - kPad - kCaretWidth));
    return QRect(x, top - mOffset, kCaretWidth, lineHeight());
}

void TouchTextView::paintEvent(QPaintEvent* event)
{
    (void)event;
    QPainter painter(this);
    // Whole lines only, inside the padding: a line half scrolled away is cut here, at the
    // view's own margin, never at the frame round it.
    painter.setClipRect(QRect(0, kPad, width(), visibleLines() * lineHeight()));
    painter.setPen(kzt::toQColor(mFont.color));
    mLayout->draw(&painter, QPointF(kPad, kPad - mOffset));
    if (mShowCaret)
        painter.fillRect(endRect(), kzt::toQColor(mFont.color));
}

void TouchTextView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}

// A finger dragged over the text moves it along.
void TouchTextView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        mDrag.press(static_cast<int>(event->position().y()), mOffset);
}

void TouchTextView::mouseMoveEvent(QMouseEvent* event)
{
    if (const auto offset = mDrag.move(static_cast<int>(event->position().y())))
        setOffset(*offset);
}

void TouchTextView::mouseReleaseEvent(QMouseEvent* event)
{
    if (const auto offset = mDrag.release(static_cast<int>(event->position().y()), lineHeight()))
        setOffset(*offset);
}

void bindScrollButtons(TouchTextView* view, TBlendedBitBtn* up, TBlendedBitBtn* down)
{
    up->OnClick = [view](QObject*) { view->scrollPage(-1); };
    down->OnClick = [view](QObject*) { view->scrollPage(1); };
    auto previous = std::move(view->onScroll);
    view->onScroll = [view, up, down, previous] {
        up->setEnabled(view->canScrollUp());
        down->setEnabled(view->canScrollDown());
        if (previous)
            previous();
    };
    view->onScroll();
}

} // namespace host
