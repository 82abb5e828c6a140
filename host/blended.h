#pragma once

// The host library's controls the dialog is drawn with: the rounded touch button, the
// rounded band, and the message table.

#include "host/host_global.h"

#include "platform/ui/graphics.h"

#include <QFont>
#include <QImage>
#include <QObject>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

namespace host {

enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };

// A caption laid out to fit a face: its lines and the type they are painted in.
struct FittedCaption {
    QFont font;
    QStringList lines;
};

// A rounded, unoutlined, filled button with an optional caption and picture. It takes no
// keyboard focus. A press (mouse down and up inside it, enabled and visible) calls
// OnClick with the button as sender.
class KZT_HOST_API TBlendedBitBtn : public QWidget {
    Q_OBJECT
public:
    explicit TBlendedBitBtn(QWidget* parent, const QString& name = {});

    void setCaption(const std::string& cp1252);
    const std::string& caption() const { return mCaption; }
    void setFont(const kzt::FontSpec& font);
    const kzt::FontSpec& font() const { return mFont; }

    void setBrushColor(kzt::TColor color); // the face; repaints
    kzt::TColor brushColor() const { return mBrushColor; }
    void setDownColors(kzt::TColor face, kzt::TColor text);
    kzt::TColor downColor() const { return mDownColor; }
    kzt::TColor downFontColor() const { return mDownFontColor; }
    void setDisabledColors(kzt::TColor face, kzt::TColor text);
    kzt::TColor disabledColor() const { return mDisabledColor; }
    kzt::TColor disabledFontColor() const { return mDisabledFontColor; }

    void setGlyph(const QImage& glyph);
    const QImage& glyph() const { return mGlyph; }
    void setGlyphDisabled(const QImage& glyph);
    const QImage& glyphDisabled() const { return mGlyphDisabled; }
    void setLayout(TButtonLayout layout);
    TButtonLayout layout() const { return mLayout; }
    void setMargin(int margin); // -1: centred (the default)
    int margin() const { return mMargin; }
    void setSpacing(int spacing); // between glyph and caption
    int spacing() const { return mSpacing; }
    // Keeps the caption this far from both sides of the face, for what lies over a corner.
    void setCaptionInset(int inset);
    int captionInset() const { return mCaptionInset; }

    // The attribute that is not displayed (the grid keeps the occurrence code there).
    void setCode(const std::string& code) { mCode = code; }
    const std::string& code() const { return mCode; }

    int left() const { return x(); }
    void setLeft(int left) { move(left, y()); }

    // The caption as painted: wrapped at its blanks, the type stepped down (to a readable
    // smallest size) while a word is too wide or the lines too tall for the face, and only
    // then shortened, an ellipsis ending what had to be cut.
    struct CaptionLayout {
        QStringList lines;
        int pixelSize;
    };
    CaptionLayout captionLayout() const;

    bool isDown() const { return mDown; }
    // Presses the button as a touch would: does nothing when hidden or disabled.
    void click();

    std::function<void(QObject* sender)> OnClick;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    FittedCaption fittedCaption() const;

    std::string mCaption;
    kzt::FontSpec mFont;
    kzt::TColor mBrushColor = kzt::clWhite;
    kzt::TColor mDownColor = kzt::clWindowText;
    kzt::TColor mDownFontColor = kzt::clWindow;
    kzt::TColor mDisabledColor = kzt::rgb(204, 204, 204);
    kzt::TColor mDisabledFontColor = kzt::clWhite;
    QImage mGlyph;
    QImage mGlyphDisabled;
    TButtonLayout mLayout = TButtonLayout::blGlyphLeft;
    int mMargin = -1;
    int mSpacing = 4;
    int mCaptionInset = 0;
    std::string mCode;
    bool mDown = false;
};

// A rounded band without outline, in its own default fill.
class KZT_HOST_API TBlendedShape : public QWidget {
    Q_OBJECT
public:
    explicit TBlendedShape(QWidget* parent, const QString& name = {});
    kzt::TColor brushColor() const { return mBrushColor; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    kzt::TColor mBrushColor;
};

// The message table: lines "key|text"; Msg gives the text after the "|" of the key's line
// (the first such line), or an empty text for a key not in the table.
class KZT_HOST_API TMessages : public QObject {
    Q_OBJECT
public:
    explicit TMessages(QObject* parent, const QString& name = {});
    std::vector<std::string> Messages;
    std::string Msg(const std::string& key) const;
};

} // namespace host
