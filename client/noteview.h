#pragma once

// The composed text as the operator reads it: the label's caption, word-wrapped in the
// label's own bounds and font, followed by what is recorded but no longer in the text.
// A note longer than the label scrolls: after every change its last line is in view, a
// finger dragged over it moves it, and "Sobe"/"Desce" at its right page through it.

#include "host/blended.h"
#include "platform/ui/controls.h"
#include "platform/ui/dragscroll.h"

#include <QTextLayout>

#include <memory>
#include <string>

namespace Cli_kzt00318 {

class NoteView : public kzt::Label {
    Q_OBJECT
public:
    NoteView(QWidget* parent, const QString& name);
    ~NoteView() override;

    // Recorded choices the text no longer shows (Windows-1252); empty when there are none.
    void setOutside(const std::string& cp1252);
    const std::string& outside() const { return mOutside; }

    int lineCount() const;
    int visibleLines() const;
    int scrollOffset() const; // pixels of the note above the view
    int maxScrollOffset() const;
    void scrollPage(int pages);
    // The first and the last line shown (0-based).
    int firstShownLine() const;
    int lastShownLine() const;

    host::TBlendedBitBtn* sobe() const { return mSobe; }
    host::TBlendedBitBtn* desce() const { return mDesce; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Lays the note out again when caption or outside text changed since the last time, and
    // then brings its end into view.
    void sync() const;
    void layOut(int width) const;
    int lineHeight() const;
    void setOffset(int offset) const;
    void showButtons() const;

    std::string mOutside;
    mutable std::string mLaidOut; // caption and outside text of the current layout
    mutable std::unique_ptr<QTextLayout> mLayout;
    mutable int mOffset = 0;
    kzt::DragScroll mDrag;
    host::TBlendedBitBtn* mSobe;
    host::TBlendedBitBtn* mDesce;
};

} // namespace Cli_kzt00318
