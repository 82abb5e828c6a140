// ODBC's reads, through the ODBC interface on the session's own connection handle.

#include "platform/db/backendreads.h"

#include <soci/odbc/soci-odbc.h>
#include <soci/soci.h>

#include <algorithm>

namespace kzt::detail {

namespace {

using Category = DatabaseError::Category;

// The handle inside SOCI's own session. The backend does not export the class's type
// information, so the sanitizer's check of dynamic types is left out here: the backend's
// name has already said which class it is.
__attribute__((no_sanitize("vptr"))) SQLHDBC odbcHandle(soci::session& session)
{
    return static_cast<soci::odbc_session_backend*>(session.get_backend())->hdbc_;
}

// The statement owns its handle through this, so that a constructor that throws half-way
// still gives its handle back: the module's ODBC session lives for the
// process.
struct OdbcStatement {
    SQLHSTMT handle = SQL_NULL_HSTMT;
    OdbcStatement() = default;
    OdbcStatement(const OdbcStatement&) = delete;
    OdbcStatement& operator=(const OdbcStatement&) = delete;
    ~OdbcStatement()
    {
        if (handle != SQL_NULL_HSTMT)
            SQLFreeHandle(SQL_HANDLE_STMT, handle);
    }
};

// ODBC: parameters become '?', and each value is fetched with SQLGetData until the
// driver has given all of it, never cut to what the column declares.
class OdbcRead final : public PreparedRead {
public:
    OdbcRead(soci::session& session, const std::string& sql, const std::vector<std::string>& names,
             std::size_t columns, int queryTimeout)
        : mColumns(columns)
    {
        SQLHDBC connection = odbcHandle(session);
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, connection, &mStatement.handle)))
            failOn(SQL_HANDLE_DBC, connection);
        // The connection stops waiting at its limit, but the statement would go on running
        // on its given-up thread for as long as the server keeps it waiting: the driver
        // ends it a second later. Ours reports first, so the message is always ours. A
        // driver without the setting is left to the connection's limit alone.
        SQLSetStmtAttr(mStatement.handle, SQL_ATTR_QUERY_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(queryTimeout + 1)), 0);
        std::string positional = withPlaceholders(sql, names);
        if (!SQL_SUCCEEDED(SQLPrepare(mStatement.handle,
                                      reinterpret_cast<SQLCHAR*>(positional.data()),
                                      static_cast<SQLINTEGER>(positional.size()))))
            fail();
        SQLSMALLINT count = 0;
        if (!SQL_SUCCEEDED(SQLNumResultCols(mStatement.handle, &count)))
            fail();
        if (static_cast<std::size_t>(count) != columns)
            throw DriverFailure{"the statement gives " + std::to_string(count) + " columns, "
                                    + std::to_string(columns) + " are declared",
                                Category::StatementFailed};
    }

    void run(const std::vector<std::string>& values, std::vector<Cell>& cells) override
    {
        SQLFreeStmt(mStatement.handle, SQL_CLOSE);
        // One value a use of a name, in the order of the statement's '?'.
        mValues.clear();
        for (std::size_t use : mUses)
            mValues.push_back(values[use]);
        mLengths.assign(mValues.size(), 0);
        for (std::size_t i = 0; i < mValues.size(); ++i) {
            mLengths[i] = static_cast<SQLLEN>(mValues[i].size());
            const SQLULEN size = std::max<SQLULEN>(1, mValues[i].size());
            if (!SQL_SUCCEEDED(SQLBindParameter(mStatement.handle, static_cast<SQLUSMALLINT>(i + 1),
                                                SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, size, 0,
                                                mValues[i].data(), mLengths[i], &mLengths[i])))
                fail();
        }
        const SQLRETURN executed = SQLExecute(mStatement.handle);
        if (!SQL_SUCCEEDED(executed) && executed != SQL_NO_DATA)
            fail();
        SQLRETURN rc;
        while ((rc = SQLFetch(mStatement.handle)) != SQL_NO_DATA) {
            if (!SQL_SUCCEEDED(rc))
                fail();
            for (std::size_t c = 1; c <= mColumns; ++c)
                cells.push_back(cell(static_cast<SQLUSMALLINT>(c)));
        }
        SQLFreeStmt(mStatement.handle, SQL_CLOSE);
    }

private:
    Cell cell(SQLUSMALLINT column)
    {
        std::string value;
        char buffer[512];
        for (;;) {
            SQLLEN length = 0;
            const SQLRETURN rc =
                SQLGetData(mStatement.handle, column, SQL_C_CHAR, buffer, sizeof buffer, &length);
            if (rc == SQL_NO_DATA)
                break;
            if (!SQL_SUCCEEDED(rc))
                fail();
            if (length == SQL_NULL_DATA)
                return std::nullopt;
            const bool more =
                length == SQL_NO_TOTAL || length >= static_cast<SQLLEN>(sizeof buffer);
            value.append(buffer, more ? sizeof buffer - 1 : static_cast<std::size_t>(length));
            if (rc == SQL_SUCCESS || !more)
                break;
        }
        return value;
    }

    // ":NAME" to '?' outside quotes, noting which of `names` each '?' takes.
    std::string withPlaceholders(const std::string& sql, const std::vector<std::string>& names)
    {
        std::string out;
        std::size_t copied = 0;
        sqlsyntax::forEachParameter(
            sql, [&](const std::string& name, std::size_t at, std::size_t end) {
                std::size_t index = 0;
                while (index < names.size() && names[index] != name)
                    ++index;
                if (index == names.size())
                    throw DriverFailure{"parameter " + name + " has no value",
                                        Category::StatementFailed};
                mUses.push_back(index);
                out.append(sql, copied, at - copied);
                out += '?';
                copied = end;
            });
        out.append(sql, copied, std::string::npos);
        return out;
    }

    [[noreturn]] void fail() const { failOn(SQL_HANDLE_STMT, mStatement.handle); }

    [[noreturn]] static void failOn(SQLSMALLINT type, SQLHANDLE handle)
    {
        SQLCHAR state[6] = {0};
        SQLCHAR text[1024] = {0};
        SQLINTEGER native = 0;
        SQLSMALLINT length = 0;
        std::string message = "ODBC call failed";
        std::string sqlState;
        if (SQL_SUCCEEDED(
                SQLGetDiagRec(type, handle, 1, state, &native, text, sizeof text, &length))) {
            message = reinterpret_cast<const char*>(text);
            sqlState = reinterpret_cast<const char*>(state);
        }
        Category category = Category::StatementFailed;
        if (sqlState.rfind("08", 0) == 0)
            category = Category::ConnectionLost;
        else if (sqlState == "HYT00" || sqlState == "HYT01")
            category = Category::Timeout;
        else if (sqlState.rfind("28", 0) == 0 || sqlState == "42501")
            category = Category::NoPrivilege;
        else if (sqlState.rfind("23", 0) == 0)
            category = Category::ConstraintViolation;
        throw DriverFailure{message + (sqlState.empty() ? "" : " (SQL state " + sqlState + ")"),
                            category};
    }

    OdbcStatement mStatement;
    std::size_t mColumns;
    std::vector<std::size_t> mUses;
    std::vector<std::string> mValues;
    std::vector<SQLLEN> mLengths;
};

} // namespace

std::unique_ptr<PreparedRead> prepareOdbcRead(soci::session& session, const std::string& sql,
                                              const std::vector<std::string>& names,
                                              std::size_t columns, int queryTimeout)
{
    return std::make_unique<OdbcRead>(session, sql, names, columns, queryTimeout);
}

void limitOdbcSession(soci::session& session, int seconds)
{
    // A driver without it says so and waits as before; the worker's deadline still holds.
    SQLSetConnectAttr(odbcHandle(session), SQL_ATTR_CONNECTION_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(seconds)), 0);
}

Engine odbcEngine(soci::session& session)
{
    SQLHDBC connection = odbcHandle(session);
    SQLCHAR name[256] = {0};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(connection, SQL_DBMS_NAME, name, sizeof name, &length)))
        return Engine::Other;
    return engineOfDbmsName(reinterpret_cast<const char*>(name));
}

} // namespace kzt::detail
