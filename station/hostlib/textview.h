#pragma once

// A word-wrapped text that scrolls, for touch screens: a drag of the finger or the
// touch-sized buttons beside it move it, and an editor keeps the caret (always after the
// last character) in view as the text grows. Nothing is painted outside the view, and a
// word wider than the view breaks rather than running over its frame.

#include "host/blended.h"
#include "host/host_global.h"

#include "platform/ui/dragscroll.h"
#include "platform/ui/graphics.h"

#include <QTextLayout>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

namespace host {

class KZT_HOST_API TouchTextView : public QWidget {
    Q_OBJECT
public:
    explicit TouchTextView(QWidget* parent, const QString& name = {});
    ~TouchTextView() override;

    void setText(const std::string& cp1252);
    const std::string& text() const { return mText; }
    void setFont(const kzt::FontSpec& font);
    void setCentred(bool on);
    void setShowCaret(bool on); // a bar after the last character
    // After every change of the text, scroll so that its end is in view.
    void setFollowEnd(bool on);

    // The whole text laid out at the view's width, padding included.
    int contentHeight() const;
    int scrollOffset() const { return mOffset; } // pixels of the text above the view
    int maxScrollOffset() const;
    bool canScrollUp() const { return mOffset > 0; }
    bool canScrollDown() const { return mOffset < maxScrollOffset(); }
    // A page keeps one line of the last in view, so the operator does not lose the thread.
    void scrollPage(int pages);
    void scrollToEnd();

    // Where the text ends (the caret's place), in the view's coordinates.
    QRect endRect() const;

    // The scrolling possibilities may have changed.
    std::function<void()> onScroll;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void relayout();
    void setOffset(int offset);
    int lineHeight() const;
    int visibleLines() const;

    std::string mText;
    kzt::FontSpec mFont;
    bool mCentred = false;
    bool mShowCaret = false;
    bool mFollowEnd = false;
    std::unique_ptr<QTextLayout> mLayout;
    int mContentHeight = 0;
    int mLineCount = 0;
    int mOffset = 0;
    kzt::DragScroll mDrag;
};

// Makes `up` and `down` scroll `view` a page at a time, each enabled only while there is
// more text its way.
KZT_HOST_API void bindScrollButtons(TouchTextView* view, TBlendedBitBtn* up, TBlendedBitBtn* down);

} // namespace host
