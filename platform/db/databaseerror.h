#pragma once

// The one error type of the database layer.

#include "platform/error.h"
#include "platform/platform_global.h"

#include <string>
#include <utility>
#include <vector>

namespace kzt {

// A database failure: the driver's bare text, the statement and the bound values it
// failed on when there was one, the contexts added on its way up (Error::addContext,
// which leaves the bare text alone) and what kind of failure it was.
class KZT_PLATFORM_API DatabaseError : public Error {
public:
    enum class Category {
        Unknown,
        ConnectionFailed, // the connection could not be opened
        ConnectionLost,   // an open connection broke (server restarted, session ended)
        Timeout,          // the server did not answer within the time limit
        StatementFailed,  // the server refused or could not run the statement
        NoPrivilege,
        ConstraintViolation,
        BadData, // a value that does not fit the column it was read into
    };

    explicit DatabaseError(const std::string& message, std::string statement = {},
                           std::string parameters = {}, Category category = Category::Unknown);
    DatabaseError(Category category, const std::string& message)
        : DatabaseError(message, {}, {}, category)
    {}

    // The driver's text as it was raised, without contexts.
    const std::string& driverMessage() const { return bareMessage(); }
    const std::string& statement() const { return mStatement; }
    const std::string& parameters() const { return mParameters; }
    Category category() const { return mCategory; }

private:
    std::string mStatement;
    std::string mParameters;
    Category mCategory;
};

// "connection lost", "timeout", ...: the category for messages and logs.
KZT_PLATFORM_API const char* categoryName(DatabaseError::Category category);

// Bound values as an error shows them: NAME='value', ... (values are UTF-8, shown in
// Windows-1252 like the rest of the message).
std::string describeParams(const std::vector<std::pair<std::string, std::string>>& params);

} // namespace kzt
