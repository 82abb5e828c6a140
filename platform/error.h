#pragma once

#include "platform/platform_global.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace kzt {

// Base of every error the platform raises. what() is Windows-1252 text, like every text
// the module shows, so a handler can pass it straight to an operator message.
class KZT_PLATFORM_API Error : public std::runtime_error {
public:
    explicit Error(const std::string& message)
        : std::runtime_error(message), mBare(message), mMessage(message)
    {}
    const char* what() const noexcept override { return mMessage.c_str(); }
    // The message with every context: "<bare> (while <first>) (while <second>)".
    const std::string& message() const { return mMessage; }
    // The message as raised, before any context was added.
    const std::string& bareMessage() const { return mBare; }
    // Where the error happened, innermost first, as added on its way up.
    const std::vector<std::string>& contexts() const { return mContexts; }
    void addContext(const std::string& context)
    {
        mContexts.push_back(context);
        mMessage += " (while " + context + ")";
    }

private:
    std::string mBare;
    std::string mMessage;
    std::vector<std::string> mContexts;
};

} // namespace kzt
