#pragma once

// What an operator sees: the presentation seam answered by the real touch dialogs.

#include "station/hostlib/presentation.h"

namespace companion {

class KZT_HOST_API WidgetPresentation : public host::Presentation {
public:
    void message(const host::MessageBoxRequest& request) override;
    bool search(kzt::ClientDataSet& cds, const std::string& title) override;
    std::string editText(const std::string& prompt, const std::string& initial) override;
    std::optional<std::string> keypad(const host::KeypadRequest& request,
                                      const std::string& initial) override;
    void fiscalMenu() override;
};

} // namespace companion
