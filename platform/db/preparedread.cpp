#include "platform/db/preparedread.h"

#include <soci/odbc/soci-odbc.h>
#include <soci/postgresql/soci-postgresql.h>
#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

namespace kzt::detail {

namespace {

using Category = DatabaseError::Category;

// The handles inside SOCI's own sessions. Their backends do not export the classes' type
// information, so the sanitizer's check of dynamic types is left out here: the backend's
// name has already said which class it is.
__attribute__((no_sanitize("vptr"))) sqlite_api::sqlite3* sqliteHandle(soci::session& session)
{
    return static_cast<soci::sqlite3_session_backend*>(session.get_backend())->conn_;
}

__attribute__((no_sanitize("vptr"))) PGconn* postgresqlHandle(soci::session& session)
{
    return static_cast<soci::postgresql_session_backend*>(session.get_backend())->conn_;
}

__attribute__((no_sanitize("vptr"))) SQLHDBC odbcHandle(soci::session& session)
{
    return static_cast<soci::odbc_session_backend*>(session.get_backend())->hdbc_;
}

// The statements below own their handles through these, so that a constructor that
// throws half-way still gives its handle back: a statement left unfinalized keeps the
// SQLite connection from closing, and the module's ODBC session lives for the process.
struct SqliteStatement {
    sqlite_api::sqlite3_stmt* handle = nullptr;
    SqliteStatement() = default;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    ~SqliteStatement() { sqlite_api::sqlite3_finalize(handle); }
};

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

// SQLite keeps ":NAME" parameters itself; the session's own handle is used.
class SqliteRead final : public PreparedRead {
public:
    SqliteRead(soci::session& session, const std::string& sql,
               const std::vector<std::string>& names, std::size_t columns)
        : mDb(sqliteHandle(session)), mColumns(columns)
    {
        const int rc =
            sqlite_api::sqlite3_prepare_v3(mDb, sql.c_str(), static_cast<int>(sql.size()),
                                           SQLITE_PREPARE_PERSISTENT, &mStatement.handle, nullptr);
        if (rc != SQLITE_OK)
            fail(rc);
        if (static_cast<std::size_t>(sqlite_api::sqlite3_column_count(mStatement.handle))
            != columns)
            throw DriverFailure{
                "the statement gives "
                    + std::to_string(sqlite_api::sqlite3_column_count(mStatement.handle))
                    + " columns, " + std::to_string(columns) + " are declared",
                Category::StatementFailed};
        for (const auto& name : names)
            mIndexes.push_back(
                sqlite_api::sqlite3_bind_parameter_index(mStatement.handle, (":" + name).c_str()));
    }

    void run(const std::vector<std::string>& values, std::vector<Cell>& cells) override
    {
        sqlite_api::sqlite3_reset(mStatement.handle);
        for (std::size_t i = 0; i < mIndexes.size(); ++i) {
            if (mIndexes[i] > 0)
                sqlite_api::sqlite3_bind_text(
                    mStatement.handle, mIndexes[i], values[i].data(),
                    static_cast<int>(values[i].size()),
                    reinterpret_cast<sqlite_api::sqlite3_destructor_type>(-1));
        }
        int rc;
        while ((rc = sqlite_api::sqlite3_step(mStatement.handle)) == SQLITE_ROW) {
            for (int c = 0; c < static_cast<int>(mColumns); ++c)
                cells.push_back(cell(c));
        }
        // Reset at once: a statement left mid-way would hold the store's read lock.
        sqlite_api::sqlite3_reset(mStatement.handle);
        if (rc != SQLITE_DONE)
            fail(rc);
    }

private:
    Cell cell(int c) const
    {
        switch (sqlite_api::sqlite3_column_type(mStatement.handle, c)) {
        case SQLITE_NULL: return std::nullopt;
        case SQLITE_FLOAT: {
            // The shortest text that reads back as the same number.
            char buffer[32];
            const auto end = std::to_chars(buffer, buffer + sizeof buffer,
                                           sqlite_api::sqlite3_column_double(mStatement.handle, c));
            return std::string(buffer, end.ptr);
        }
        default: {
            // Text as stored, whatever the column's declared type, NULs included.
            const auto* text = sqlite_api::sqlite3_column_text(mStatement.handle, c);
            const int bytes = sqlite_api::sqlite3_column_bytes(mStatement.handle, c);
            return std::string(reinterpret_cast<const char*>(text),
                               static_cast<std::size_t>(bytes));
        }
        }
    }

    [[noreturn]] void fail(int rc) const
    {
        Category category = Category::StatementFailed;
        switch (rc & 0xff) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED: category = Category::Timeout; break;
        case SQLITE_PERM:
        case SQLITE_AUTH:
        case SQLITE_READONLY: category = Category::NoPrivilege; break;
        case SQLITE_CONSTRAINT: category = Category::ConstraintViolation; break;
        default: break;
        }
        throw DriverFailure{sqlite_api::sqlite3_errmsg(mDb), category};
    }

    sqlite_api::sqlite3* mDb;
    SqliteStatement mStatement;
    std::size_t mColumns;
    std::vector<int> mIndexes;
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

// Any other backend through SOCI, every column into text.
class SociRead final : public PreparedRead {
public:
    // Servers hand the whole result over at once: the batch only sets how much is
    // copied at a time.
    static constexpr std::size_t kBatchRows = 64;

    SociRead(soci::session& session, const std::string& sql, const std::vector<std::string>& names,
             std::size_t columns)
        : mStatement(session), mValues(names.size()), mTexts(columns), mIndicators(columns)
    {
        try {
            for (std::size_t i = 0; i < names.size(); ++i)
                mStatement.exchange(soci::use(mValues[i], names[i]));
            for (std::size_t c = 0; c < columns; ++c) {
                mTexts[c].resize(kBatchRows);
                mIndicators[c].resize(kBatchRows);
                mStatement.exchange(soci::into(mTexts[c], mIndicators[c]));
            }
            mStatement.alloc();
            mStatement.prepare(sql);
            mStatement.define_and_bind();
        } catch (const soci::soci_error& e) {
            throw failureOf(e);
        }
    }

    void run(const std::vector<std::string>& values, std::vector<Cell>& cells) override
    {
        try {
            for (std::size_t i = 0; i < mValues.size(); ++i)
                mValues[i] = values[i];
            resize();
            bool more = mStatement.execute(true);
            while (more && !mTexts.empty()) {
                const std::size_t rows = mIndicators.front().size();
                for (std::size_t r = 0; r < rows; ++r) {
                    for (std::size_t c = 0; c < mTexts.size(); ++c) {
                        if (mIndicators[c][r] == soci::i_null)
                            cells.emplace_back();
                        else
                            cells.emplace_back(std::move(mTexts[c][r]));
                    }
                }
                resize();
                more = mStatement.fetch();
            }
        } catch (const soci::soci_error& e) {
            throw failureOf(e);
        }
    }

private:
    void resize()
    {
        for (std::size_t c = 0; c < mTexts.size(); ++c) {
            mTexts[c].resize(kBatchRows);
            mIndicators[c].resize(kBatchRows);
        }
    }

    soci::statement mStatement;
    std::vector<std::string> mValues;
    std::vector<std::vector<std::string>> mTexts;
    std::vector<std::vector<soci::indicator>> mIndicators;
};

} // namespace

std::unique_ptr<PreparedRead> prepareRead(soci::session& session, const std::string& sql,
                                          const std::vector<std::string>& names,
                                          std::size_t columns, int queryTimeout)
{
    const std::string backend = session.get_backend_name();
    if (backend == "sqlite3")
        return std::make_unique<SqliteRead>(session, sql, names, columns);
    if (backend == "odbc")
        return std::make_unique<OdbcRead>(session, sql, names, columns, queryTimeout);
    return std::make_unique<SociRead>(session, sql, names, columns);
}

Regime regimeFor(const std::string& backend)
{
    if (backend == "sqlite3")
        return Regime::CallerThread;
    if (backend == "postgresql")
        return Regime::Watched; // its socket is known: a watchdog can end any wait
    return Regime::Worker;
}

void limitSession(soci::session& session, int queryTimeout)
{
    if (session.get_backend_name() != "odbc")
        return;
    // A driver without it says so and waits as before; the worker's deadline still holds.
    SQLSetConnectAttr(odbcHandle(session), SQL_ATTR_CONNECTION_TIMEOUT,
                      reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(queryTimeout)), 0);
}

Engine engineOf(soci::session& session)
{
    const std::string backend = session.get_backend_name();
    if (backend == "sqlite3")
        return Engine::Sqlite;
    if (backend == "postgresql")
        return Engine::PostgreSql;
    if (backend != "odbc")
        return Engine::Other;
    // Through ODBC the driver says which database it reaches.
    SQLHDBC connection = odbcHandle(session);
    SQLCHAR name[256] = {0};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(connection, SQL_DBMS_NAME, name, sizeof name, &length)))
        return Engine::Other;
    return engineOfDbmsName(reinterpret_cast<const char*>(name));
}

DriverFailure failureOf(const std::exception& error)
{
    const auto* e = dynamic_cast<const soci::soci_error*>(&error);
    if (!e)
        return DriverFailure{error.what(), Category::StatementFailed};
    Category category = Category::StatementFailed;
    switch (e->get_error_category()) {
    case soci::soci_error::connection_error: category = Category::ConnectionLost; break;
    case soci::soci_error::no_privilege: category = Category::NoPrivilege; break;
    case soci::soci_error::constraint_violation: category = Category::ConstraintViolation; break;
    default: break;
    }
    return DriverFailure{driverText(e->get_error_message()), category};
}

int postgresqlSocket(soci::session& session)
{
    return PQsocket(postgresqlHandle(session));
}

std::string driverText(const std::string& sociMessage)
{
    std::string text = sociMessage;
    const auto scope = text.find("::");
    const auto colon = text.find(": ");
    if (scope != std::string::npos && colon != std::string::npos && scope < colon) {
        bool symbol = true;
        for (std::size_t i = 0; i < colon; ++i)
            symbol = symbol && (sqlsyntax::isIdentifierChar(text[i]) || text[i] == ':');
        if (symbol)
            text.erase(0, colon + 2);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    return text;
}

} // namespace kzt::detail
