#include "platform/databaseerror.h"

#include <utility>

namespace kzt {

DatabaseError::DatabaseError(const std::string& message, std::string statement,
                             std::string parameters, Category category)
    : Error(message), mStatement(std::move(statement)), mParameters(std::move(parameters)),
      mCategory(category)
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

} // namespace kzt
