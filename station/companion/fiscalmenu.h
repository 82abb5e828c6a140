#pragma once

// The fiscal reports menu: the reports a till offers, one big button each. This station
// has no fiscal printer, so choosing one only says it was requested.

#include "station/companion/touchstyle.h"

#include <string>
#include <vector>

namespace companion {

class KZT_HOST_API FiscalMenuDialog : public TouchDialog {
    Q_OBJECT
public:
    explicit FiscalMenuDialog(QWidget* parent = nullptr);

    static std::vector<std::string> reports(); // UTF-8, in menu order
    // The text the operator is told after choosing `report` (Windows-1252).
    static std::string requestedText(const std::string& reportUtf8);
    const std::string& chosen() const { return mChosen; } // UTF-8; empty when left

private:
    std::string mChosen;
};

} // namespace companion
