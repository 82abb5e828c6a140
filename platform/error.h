#pragma once

#include "platform/platform_global.h"

#include <stdexcept>
#include <string>

namespace kzt {

// Base of every error the platform raises. what() is Windows-1252 text, like every text
// the module shows, so a handler can pass it straight to an operator message.
class KZT_PLATFORM_API Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message), mMessage(message) {}
    const char* what() const noexcept override { return mMessage.c_str(); }
    const std::string& message() const { return mMessage; }
    // Adds where the error happened as it travels up: "<message> (while <context>)".
    void addContext(const std::string& context) { mMessage += " (while " + context + ")"; }

private:
    std::string mMessage;
};

} // namespace kzt
