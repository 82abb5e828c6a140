#pragma once

// The on-screen numeric keypad: digits up to a maximum count, backspace, clear, confirm
// and cancel, with the prompt and the unit shown. Confirming with no number shows the
// warning through the message box and keeps the keypad open.

#include "station/companion/touchstyle.h"

#include "station/hostlib/presentation.h"

#include <optional>
#include <string>

namespace kzt {
class Label;
}

namespace companion {

class KZT_HOST_API NumericKeypadDialog : public TouchDialog {
    Q_OBJECT
public:
    explicit NumericKeypadDialog(const host::KeypadRequest& request, QWidget* parent = nullptr);

    const std::string& digits() const { return mDigits; }
    // The number confirmed, or nullopt while open or after cancel.
    const std::optional<std::string>& result() const { return mResult; }

private:
    void setDigits(std::string digits);
    void confirm();
    int digitLimit() const;

    host::KeypadRequest mRequest;
    std::string mDigits;
    std::optional<std::string> mResult;
    kzt::Label* mValueLabel = nullptr;
};

} // namespace companion
