#pragma once

// The on-screen text editor: the prompt, the text being written and a keyboard. The text
// wraps inside its frame and scrolls (by dragging or by the buttons beside it); the caret
// after the last character stays in view as the operator types. Confirm returns the
// text; cancel returns the text it was opened on.

#include "station/companion/touchstyle.h"

#include <string>

namespace host {
class TouchTextView;
}

namespace companion {

class KZT_HOST_API TextEditorDialog : public TouchDialog {
    Q_OBJECT
public:
    TextEditorDialog(const std::string& prompt, const std::string& initial,
                     QWidget* parent = nullptr);

    const std::string& text() const { return mText; } // as typed so far
    std::string result() const;                       // what the caller receives
    const std::string& prompt() const { return mPrompt; }
    host::TouchTextView* textView() const { return mTextView; }

private:
    void setText(std::string text);

    std::string mPrompt;
    std::string mInitial;
    std::string mText;
    bool mConfirmed = false;
    host::TouchTextView* mTextView = nullptr;
};

} // namespace companion
