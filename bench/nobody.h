#pragma once

// Nobody at the till, for the benchmarks: messages are kept (one on a measured path means
// it went wrong), companion dialogs are cancelled and prices are read from the store.

#include "station/hostlib/presentation.h"

#include <optional>
#include <string>
#include <vector>

namespace kzt::bench {

class Nobody : public host::Presentation {
public:
    void message(const host::MessageBoxRequest& request) override
    {
        messages.push_back(request.text);
    }
    bool search(kzt::ClientDataSet&, const std::string&) override { return false; }
    std::string editText(const std::string&, const std::string& initial) override
    {
        return initial;
    }
    std::optional<std::string> keypad(const host::KeypadRequest&, const std::string&) override
    {
        return std::nullopt;
    }
    void fiscalMenu() override {}
    std::vector<std::string> messages;
};

} // namespace kzt::bench
