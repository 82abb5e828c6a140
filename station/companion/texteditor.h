#pragma once

// The on-screen text editor: the prompt, the text being written and a keyboard. Confirm
// returns the text; cancel returns the text it was opened on.

#include "touchstyle.h"

#include <string>

namespace kzt {
class Label;
}

namespace companion {

class HOST_API TextEditorDialog : public TouchDialog {
    Q_OBJECT
public:
    TextEditorDialog(const std::string& prompt, const std::string& initial,
                     QWidget* parent = nullptr);

    const std::string& text() const { return mText; }      // as typed so far
    std::string result() const;                              // what the caller receives
    const std::string& prompt() const { return mPrompt; }

private:
    void setText(std::string text);

    std::string mPrompt;
    std::string mInitial;
    std::string mText;
    bool mConfirmed = false;
    kzt::Label* mTextLabel = nullptr;
};

} // namespace companion
