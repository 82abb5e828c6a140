#pragma once

// The platform's plain controls: labels, shapes and bevels. None takes the keyboard
// focus, so the form receives every key. Captions are Windows-1252 held by the control
// and converted only to paint.

#include "platform/platform_global.h"
#include "platform/ui/graphics.h"

#include <QWidget>

#include <string>

namespace kzt {

// Position and size in one call, as the design lists them.
KZT_PLATFORM_API void setBounds(QWidget* control, int left, int top, int width, int height);

enum class Alignment { Left, Right, Center };

class KZT_PLATFORM_API Label : public QWidget {
    Q_OBJECT
public:
    explicit Label(QWidget* parent, const QString& name = {});

    void setCaption(const std::string& caption);
    const std::string& caption() const { return mCaption; }
    void setFont(const FontSpec& font);
    const FontSpec& font() const { return mFont; }
    // Sized to its text: a caption or font change resizes the label to fit its text,
    // keeping its right edge when right-aligned. The design's bounds stand until then.
    void setAutoSize(bool on);
    bool autoSize() const { return mAutoSize; }
    void setWordWrap(bool on);
    bool wordWrap() const { return mWordWrap; }
    void setAlignment(Alignment alignment);
    Alignment alignment() const { return mAlignment; }
    void setTransparent(bool on);
    bool transparent() const { return mTransparent; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void adjustBounds();
    std::string mCaption;
    FontSpec mFont;
    bool mAutoSize = false;
    bool mWordWrap = false;
    Alignment mAlignment = Alignment::Left;
    bool mTransparent = true;
};

class KZT_PLATFORM_API Shape : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Rectangle, RoundRect };
    explicit Shape(QWidget* parent, const QString& name = {});

    void setKind(Kind kind);
    Kind kind() const { return mKind; }
    void setBrushColor(TColor color);
    TColor brushColor() const { return mBrush; }
    void setPen(TColor color, int width); // width 0: no outline
    TColor penColor() const { return mPen; }
    int penWidth() const { return mPenWidth; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Kind mKind = Kind::Rectangle;
    TColor mBrush = clWhite;
    TColor mPen = clBlack;
    int mPenWidth = 1;
};

// A lowered line or frame.
class KZT_PLATFORM_API Bevel : public QWidget {
    Q_OBJECT
public:
    explicit Bevel(QWidget* parent, const QString& name = {});

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kzt
