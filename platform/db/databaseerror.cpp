#include "platform/db/databaseerror.h"

#include "platform/db/connectionstring.h"
#include "platform/text.h"

#include <utility>

namespace kzt {

DatabaseError::DatabaseError(const std::string& message, std::string statement,
                             std::string parameters, Category category)
    // A driver may quote the connection string it was given; no secret of it goes further.
    : Error(maskedSecrets(message)), mStatement(std::move(statement)),
      mParameters(std::move(parameters)), mCategory(category)
{}

const char* categoryName(DatabaseError::Category category)
{
    using C = DatabaseError::Category;
    switch (category) {
    case C::ConnectionFailed: return "connection failed";
    case C::ConnectionLost: return "connection lost";
    case C::Timeout: return "timeout";
    case C::StatementFailed: return "statement failed";
    case C::NoPrivilege: return "no privilege";
    case C::ConstraintViolation: return "constraint violation";
    case C::BadData: return "bad data";
    case C::Unknown: break;
    }
    return "unknown";
}

std::string describeParams(const std::vector<std::pair<std::string, std::string>>& params)
{
    std::string text;
    for (const auto& [name, value] : params) {
        if (!text.empty())
            text += ", ";
        text += name + "='" + utf8ToCp1252(value) + "'";
    }
    return text;
}

} // namespace kzt
