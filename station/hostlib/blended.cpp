#include "host/blended.h"

#include "platform/text.h"
#include "station/hostlib/tracing.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace host {

namespace {

// The stored pictures carry an alpha byte of 0 throughout and a flat background colour:
// they are taken as opaque, and the background (the bottom-left pixel's colour, the usual
// convention for such pictures) as transparent, so the button's own face shows around
// the drawing whatever face colour it has.
QImage prepareGlyph(const QImage& source)
{
    if (source.isNull())
        return {};
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    bool anyAlpha = false;
    for (int y = 0; y < image.height() && !anyAlpha; ++y)
        for (int x = 0; x < image.width() && !anyAlpha; ++x)
            anyAlpha = qAlpha(image.pixel(x, y)) != 0;
    if (anyAlpha && source.hasAlphaChannel())
        return image;
    const QRgb background = image.pixel(0, image.height() - 1) | 0xFF000000u;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb opaque = image.pixel(x, y) | 0xFF000000u;
            image.setPixel(x, y, opaque == background ? 0u : opaque);
        }
    return image;
}

int cornerRadius(const QRect& r) { return std::min(r.width(), r.height()) / 4; }

// Breaks a caption into lines no wider than `width` at its blanks, the way the design's
// captions expect: every run of blanks is a place to break, the one a line ends on is
// dropped, and blanks that start the caption count, so that a caption led by blanks
// starts with an empty line when the first word does not fit after them. A word wider than the button stays whole on its own line.
QStringList wrapCaption(const QString& caption, const QFontMetrics& metrics, int width)
{
    QStringList lines;
    for (const QString& paragraph : caption.split(QLatin1Char('\n'))) {
        QString line;
        qsizetype i = 0;
        while (i < paragraph.size()) {
            qsizetype wordStart = i;
            while (wordStart < paragraph.size() && paragraph.at(wordStart) == QLatin1Char(' '))
                ++wordStart;
            qsizetype wordEnd = wordStart;
            while (wordEnd < paragraph.size() && paragraph.at(wordEnd) != QLatin1Char(' '))
                ++wordEnd;
            const QString blanks = paragraph.mid(i, wordStart - i);
            const QString word = paragraph.mid(wordStart, wordEnd - wordStart);
            if (word.isEmpty())
                break;  // trailing blanks would only shift a centred line
            if (!blanks.isEmpty() && metrics.horizontalAdvance(line + blanks + word) > width) {
                lines.append(line);
                line = word;
            } else {
                line += blanks + word;
            }
            i = wordEnd;
        }
        lines.append(line);
    }
    return lines;
}

} // namespace

// --- TBlendedBitBtn ---

TBlendedBitBtn::TBlendedBitBtn(QWidget* parent, const QString& name) : QWidget(parent)
{
    setObjectName(name);
    setFocusPolicy(Qt::NoFocus);
    mFont.color = kzt::clWhite;
}

void TBlendedBitBtn::setCaption(const std::string& cp1252)
{
    mCaption = cp1252;
    update();
}

void TBlendedBitBtn::setFont(const kzt::FontSpec& font)
{
    mFont = font;
    update();
}

void TBlendedBitBtn::setBrushColor(kzt::TColor color)
{
    mBrushColor = color;
    update();
}

void TBlendedBitBtn::setDownColors(kzt::TColor face, kzt::TColor text)
{
    mDownColor = face;
    mDownFontColor = text;
    update();
}

void TBlendedBitBtn::setDisabledColors(kzt::TColor face, kzt::TColor text)
{
    mDisabledColor = face;
    mDisabledFontColor = text;
    update();
}

void TBlendedBitBtn::setGlyph(const QImage& glyph)
{
    mGlyph = prepareGlyph(glyph);
    update();
}

void TBlendedBitBtn::setGlyphDisabled(const QImage& glyph)
{
    mGlyphDisabled = prepareGlyph(glyph);
    update();
}

void TBlendedBitBtn::setLayout(TButtonLayout layout)
{
    mLayout = layout;
    update();
}

void TBlendedBitBtn::setMargin(int margin)
{
    mMargin = margin;
    update();
}

void TBlendedBitBtn::setSpacing(int spacing)
{
    mSpacing = spacing;
    update();
}

void TBlendedBitBtn::click()
{
    // Visible is the button's own flag: a hidden button ignores a scripted press even
    // before its window is shown, and a shown one takes it.
    const bool hidden = testAttribute(Qt::WA_WState_ExplicitShowHide)
                        && testAttribute(Qt::WA_WState_Hidden);
    if (hidden || !isEnabled())
        return;
    if (OnClick)
        OnClick(this);
}

void TBlendedBitBtn::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    mDown = true;
    repaint();
}

void TBlendedBitBtn::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !mDown)
        return;
    mDown = false;
    repaint();
    if (rect().contains(event->position().toPoint()) && isEnabled() && isVisible() && OnClick)
        OnClick(this);
}

// Captions never shrink below this, however long: still readable at arm's length.
constexpr int kSmallestCaptionPixels = 10;

void TBlendedBitBtn::paintEvent(QPaintEvent* event)
{
    (void)event;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool enabled = isEnabled();
    kzt::TColor face = mBrushColor;
    kzt::TColor text = mFont.color;
    if (!enabled) {
        face = mDisabledColor;
        text = mDisabledFontColor;
    } else if (mDown) {
        face = mDownColor;
        text = mDownFontColor;
    }
    const QRect area = rect();
    painter.setPen(Qt::NoPen);
    painter.setBrush(kzt::toQColor(face));
    painter.drawRoundedRect(area, cornerRadius(area), cornerRadius(area));

    const QImage& glyph = enabled || mGlyphDisabled.isNull() ? mGlyph : mGlyphDisabled;
    const QString caption = kzt::toQString(mCaption);

    const bool horizontal =
        mLayout == TButtonLayout::blGlyphLeft || mLayout == TButtonLayout::blGlyphRight;
    const QSize glyphSize = glyph.isNull() ? QSize(0, 0) : glyph.size();
    const int spacing = glyph.isNull() || caption.isEmpty() ? 0 : std::max(mSpacing, 0);
    // A long caption wraps within what the glyph leaves of the face; when the lines still
    // do not fit its height, the type steps down so that no word is cut off the button.
    const int wrapWidth =
        std::max(1, area.width() - (horizontal ? glyphSize.width() + spacing : 0) - 4);
    const int wrapHeight = area.height() - (horizontal ? 0 : glyphSize.height() + spacing);
    QFont font = kzt::toQFont(mFont);
    QStringList lines;
    for (;;) {
        const QFontMetrics fitting(font);
        lines = caption.isEmpty() ? QStringList() : wrapCaption(caption, fitting, wrapWidth);
        if (static_cast<int>(lines.size()) * fitting.height() <= wrapHeight
            || font.pixelSize() <= kSmallestCaptionPixels)
            break;
        font.setPixelSize(font.pixelSize() - 1);
    }
    const QFontMetrics metrics(font);
    int textWidth = 0;
    for (const QString& line : lines)
        textWidth = std::max(textWidth, metrics.horizontalAdvance(line));
    const QSize textSize(textWidth, static_cast<int>(lines.size()) * metrics.height());

    QPoint glyphPos;
    QPoint textPos;
    if (horizontal) {
        const int total = glyphSize.width() + spacing + textSize.width();
        const int margin = mMargin < 0 ? (area.width() - total) / 2 : mMargin;
        glyphPos.setY((area.height() - glyphSize.height()) / 2);
        textPos.setY((area.height() - textSize.height()) / 2);
        if (mLayout == TButtonLayout::blGlyphLeft) {
            glyphPos.setX(margin);
            textPos.setX(margin + glyphSize.width() + spacing);
        } else {
            glyphPos.setX(area.width() - margin - glyphSize.width());
            textPos.setX(glyphPos.x() - spacing - textSize.width());
        }
    } else {
        const int total = glyphSize.height() + spacing + textSize.height();
        const int margin = mMargin < 0 ? (area.height() - total) / 2 : mMargin;
        glyphPos.setX((area.width() - glyphSize.width()) / 2);
        textPos.setX((area.width() - textSize.width()) / 2);
        if (mLayout == TButtonLayout::blGlyphTop) {
            glyphPos.setY(margin);
            textPos.setY(margin + glyphSize.height() + spacing);
        } else {
            glyphPos.setY(area.height() - margin - glyphSize.height());
            textPos.setY(glyphPos.y() - spacing - textSize.height());
        }
    }
    if (!glyph.isNull())
        painter.drawImage(glyphPos, glyph);
    painter.setFont(font);
    painter.setPen(kzt::toQColor(text));
    for (int i = 0; i < lines.size(); ++i)
        painter.drawText(QRect(textPos.x(), textPos.y() + i * metrics.height(), textSize.width(),
                               metrics.height()),
                         Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextDontClip, lines.at(i));
}

// --- TBlendedShape ---

TBlendedShape::TBlendedShape(QWidget* parent, const QString& name)
    : QWidget(parent), mBrushColor(kzt::rgb(250, 231, 220))  // a light tint of the border's orange
{
    setObjectName(name);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TBlendedShape::paintEvent(QPaintEvent* event)
{
    (void)event;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // Blended: the tint fades a little towards the bottom, so the band reads as raised.
    QLinearGradient fill(0, 0, 0, height());
    const QColor base = kzt::toQColor(mBrushColor);
    fill.setColorAt(0.0, base.lighter(103));
    fill.setColorAt(1.0, base.darker(104));
    painter.setBrush(fill);
    const QRect area = rect();
    painter.drawRoundedRect(area, cornerRadius(area), cornerRadius(area));
}

// --- TMessages ---

TMessages::TMessages(QObject* parent, const QString& name) : QObject(parent)
{
    setObjectName(name);
}

std::string TMessages::Msg(const std::string& key) const
{
    traceCall("TMessages.Msg", {key});
    for (const std::string& line : Messages) {
        const std::size_t bar = line.find('|');
        if (bar != std::string::npos && line.compare(0, bar, key) == 0 && bar == key.size())
            return line.substr(bar + 1);
    }
    return {};
}

} // namespace host
#include "host/moc_blended.cpp"
