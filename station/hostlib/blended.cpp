#include "host/blended.h"

#include "station/hostlib/tracing.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace host {

namespace {

// The part of a picture's colour that is not its background: the least opaque colour
// which, laid over the background, gives the pixel back (red, green and blue alike).
QRgb withoutBackground(QRgb pixel, QRgb background)
{
    const int p[3] = {qRed(pixel), qGreen(pixel), qBlue(pixel)};
    const int b[3] = {qRed(background), qGreen(background), qBlue(background)};
    double alpha = 0;
    for (int c = 0; c < 3; ++c) {
        if (p[c] > b[c])
            alpha = std::max(alpha, (p[c] - b[c]) / (255.0 - b[c]));
        else if (p[c] < b[c])
            alpha = std::max(alpha, (b[c] - p[c]) / static_cast<double>(b[c]));
    }
    if (alpha <= 0)
        return 0u;
    int v[3];
    for (int c = 0; c < 3; ++c)
        v[c] = std::clamp(static_cast<int>(std::lround(b[c] + (p[c] - b[c]) / alpha)), 0, 255);
    return qRgba(v[0], v[1], v[2], static_cast<int>(std::lround(alpha * 255)));
}

// The stored pictures carry an alpha byte of 0 throughout and a flat background colour
// (the bottom-left pixel's, the usual convention for such pictures). The background is
// taken out, the smoothed edges of the drawing included: they keep only their share of
// the drawing's colour, so they blend with whatever face the button has instead of
// leaving a ring of the picture's background round the drawing.
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
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, withoutBackground(image.pixel(x, y), background));
    return image;
}

int cornerRadius(const QRect& r)
{
    return std::min(r.width(), r.height()) / 4;
}

// Breaks a caption into lines no wider than `width` at its blanks, the way the design's
// captions expect: every run of blanks is a place to break, the one a line ends on is
// dropped, and blanks that start the caption count, so that a caption led by blanks
// starts with an empty line when the first word does not fit after them. A word wider
// than the button stays whole on its own line; fitCaption deals with it.
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
                break; // trailing blanks would only shift a centred line
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

// Captions never shrink below this, however long: still readable at arm's length.
constexpr int kSmallestCaptionPixels = 10;

// Wraps the caption into the area; while a line is too wide or the lines too tall, the
// type steps down. At the smallest size what still does not fit is shortened with an
// ellipsis, so no caption is ever cut at the face's edges.
FittedCaption fitCaption(const QString& caption, const QFont& designed, int width, int height)
{
    FittedCaption fit{designed, {}};
    if (caption.isEmpty())
        return fit;
    for (;;) {
        const QFontMetrics metrics(fit.font);
        fit.lines = wrapCaption(caption, metrics, width);
        const bool fitsHeight = static_cast<int>(fit.lines.size()) * metrics.height() <= height;
        const bool fitsWidth =
            std::all_of(fit.lines.begin(), fit.lines.end(), [&](const QString& line) {
                return metrics.horizontalAdvance(line) <= width;
            });
        if ((fitsHeight && fitsWidth) || fit.font.pixelSize() <= kSmallestCaptionPixels)
            break;
        fit.font.setPixelSize(fit.font.pixelSize() - 1);
    }
    const QFontMetrics metrics(fit.font);
    const qsizetype room = std::max(1, height / std::max(1, metrics.height()));
    if (fit.lines.size() > room) {
        fit.lines = fit.lines.mid(0, room);
        fit.lines.last() += QChar(0x2026);
    }
    for (QString& line : fit.lines) {
        if (metrics.horizontalAdvance(line) > width)
            line = metrics.elidedText(line, Qt::ElideRight, width);
    }
    return fit;
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
    const bool hidden =
        testAttribute(Qt::WA_WState_ExplicitShowHide) && testAttribute(Qt::WA_WState_Hidden);
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

FittedCaption TBlendedBitBtn::fittedCaption() const
{
    const QImage& glyph = isEnabled() || mGlyphDisabled.isNull() ? mGlyph : mGlyphDisabled;
    const bool horizontal =
        mLayout == TButtonLayout::blGlyphLeft || mLayout == TButtonLayout::blGlyphRight;
    const QSize glyphSize = glyph.isNull() ? QSize(0, 0) : glyph.size();
    const int spacing = glyph.isNull() || mCaption.empty() ? 0 : std::max(mSpacing, 0);
    // A long caption wraps within what the glyph leaves of the face.
    const int width = std::max(1, this->width() - (horizontal ? glyphSize.width() + spacing : 0) - 4
                                      - 2 * mCaptionInset);
    const int height = this->height() - (horizontal ? 0 : glyphSize.height() + spacing);
    return fitCaption(kzt::toQString(mCaption), kzt::toQFont(mFont), width, height);
}

void TBlendedBitBtn::setCaptionInset(int inset)
{
    inset = std::max(inset, 0);
    if (inset == mCaptionInset)
        return;
    mCaptionInset = inset;
    update();
}

TBlendedBitBtn::CaptionLayout TBlendedBitBtn::captionLayout() const
{
    const FittedCaption fit = fittedCaption();
    return {fit.lines, fit.font.pixelSize()};
}

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
    const FittedCaption fit = fittedCaption();
    const QFont& font = fit.font;
    const QStringList& lines = fit.lines;
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
    : QWidget(parent), mBrushColor(kzt::rgb(250, 231, 220)) // a light tint of the border's orange
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
