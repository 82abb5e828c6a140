#include "platform/ui/controls.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace kzt {

void setBounds(QWidget* control, int left, int top, int width, int height)
{
    control->setGeometry(left, top, std::max(width, 0), std::max(height, 0));
}

namespace {

void prepareControl(QWidget* control, const QString& name)
{
    control->setObjectName(name);
    control->setFocusPolicy(Qt::NoFocus);
}

int textFlags(Alignment alignment, bool wordWrap)
{
    int flags = Qt::AlignTop;
    switch (alignment) {
    case Alignment::Left: flags |= Qt::AlignLeft; break;
    case Alignment::Right: flags |= Qt::AlignRight; break;
    case Alignment::Center: flags |= Qt::AlignHCenter; break;
    }
    if (wordWrap)
        flags |= Qt::TextWordWrap;
    return flags;
}

} // namespace

// --- Label ---

Label::Label(QWidget* parent, const QString& name) : QWidget(parent)
{
    prepareControl(this, name);
}

void Label::setCaption(const std::string& caption)
{
    if (caption == mCaption)
        return;
    mCaption = caption;
    adjustBounds();
    update();
}

void Label::setFont(const FontSpec& font)
{
    mFont = font;
    adjustBounds();
    update();
}

void Label::setAutoSize(bool on)
{
    mAutoSize = on;
}

void Label::setWordWrap(bool on)
{
    if (on == mWordWrap)
        return;
    mWordWrap = on;
    adjustBounds();
    update();
}

void Label::setAlignment(Alignment alignment)
{
    mAlignment = alignment;
    update();
}

void Label::setTransparent(bool on)
{
    mTransparent = on;
    setAutoFillBackground(!on);
    update();
}

void Label::adjustBounds()
{
    if (!mAutoSize)
        return;
    const QFontMetrics metrics(toQFont(mFont));
    // An empty caption still measures one line, so the label keeps a height to click on.
    const QString text = mCaption.empty() ? QStringLiteral(" ") : toQString(mCaption);
    QRect needed;
    if (mWordWrap)
        needed = metrics.boundingRect(QRect(0, 0, std::max(width(), 1), 0x7FFF),
                                      textFlags(mAlignment, true), text);
    else
        needed =
            metrics.boundingRect(QRect(0, 0, 0x7FFF, 0x7FFF), textFlags(mAlignment, false), text);
    const int newWidth = mWordWrap ? width() : needed.width();
    const int newHeight = needed.height();
    int newLeft = x();
    if (mAlignment == Alignment::Right)
        newLeft = x() + width() - newWidth;
    setGeometry(newLeft, y(), newWidth, newHeight);
}

void Label::paintEvent(QPaintEvent* event)
{
    (void)event;
    QPainter painter(this);
    painter.setFont(toQFont(mFont));
    painter.setPen(toQColor(mFont.color));
    painter.drawText(rect(), textFlags(mAlignment, mWordWrap), toQString(mCaption));
}

// --- Shape ---

Shape::Shape(QWidget* parent, const QString& name) : QWidget(parent)
{
    prepareControl(this, name);
}

void Shape::setKind(Kind kind)
{
    mKind = kind;
    update();
}

void Shape::setBrushColor(TColor color)
{
    mBrush = color;
    update();
}

void Shape::setPen(TColor color, int width)
{
    mPen = color;
    mPenWidth = std::max(width, 0);
    update();
}

void Shape::paintEvent(QPaintEvent* event)
{
    (void)event;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, mKind == Kind::RoundRect);
    painter.setBrush(toQColor(mBrush));
    if (mPenWidth > 0) {
        QPen pen(toQColor(mPen));
        pen.setWidth(mPenWidth);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
    } else {
        painter.setPen(Qt::NoPen);
    }
    // The outline is drawn inside the bounds, as the design measures it.
    const qreal inset = mPenWidth / 2.0;
    const QRectF area = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    if (mKind == Kind::RoundRect) {
        const qreal radius = std::min(area.width(), area.height()) / 4.0;
        painter.drawRoundedRect(area, radius, radius);
    } else {
        painter.drawRect(area);
    }
}

// --- Bevel ---

Bevel::Bevel(QWidget* parent, const QString& name) : QWidget(parent)
{
    prepareControl(this, name);
}

void Bevel::paintEvent(QPaintEvent* event)
{
    (void)event;
    QPainter painter(this);
    const QColor shadow = toQColor(static_cast<TColor>(0xFF000010));
    const QColor light = toQColor(static_cast<TColor>(0xFF000014));
    const int w = width();
    const int h = height();
    if (w <= 2 && h > w) {
        // A vertical line: shadow on the left, light on the right.
        painter.fillRect(0, 0, 1, h, shadow);
        if (w > 1)
            painter.fillRect(1, 0, 1, h, light);
    } else if (h <= 2) {
        painter.fillRect(0, 0, w, 1, shadow);
        if (h > 1)
            painter.fillRect(0, 1, w, 1, light);
    } else {
        // A lowered frame.
        painter.setPen(shadow);
        painter.drawLine(0, 0, w - 1, 0);
        painter.drawLine(0, 0, 0, h - 1);
        painter.setPen(light);
        painter.drawLine(0, h - 1, w - 1, h - 1);
        painter.drawLine(w - 1, 0, w - 1, h - 1);
    }
}

} // namespace kzt
