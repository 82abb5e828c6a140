// SQLite's reads, through SQLite's own interface on the session's handle.

#include "platform/db/backendreads.h"

#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>

#include <charconv>

namespace kzt::detail {

namespace {

using Category = DatabaseError::Category;

// The handle inside SOCI's own session. The backend does not export the class's type
// information, so the sanitizer's check of dynamic types is left out here: the backend's
// name has already said which class it is.
__attribute__((no_sanitize("vptr"))) sqlite_api::sqlite3* sqliteHandle(soci::session& session)
{
    return static_cast<soci::sqlite3_session_backend*>(session.get_backend())->conn_;
}

// The statement owns its handle through this, so that a constructor that throws half-way
// still gives its handle back: a statement left unfinalized keeps the
// SQLite connection from closing.
struct SqliteStatement {
    sqlite_api::sqlite3_stmt* handle = nullptr;
    SqliteStatement() = default;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    ~SqliteStatement() { sqlite_api::sqlite3_finalize(handle); }
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

} // namespace

std::unique_ptr<PreparedRead> prepareSqliteRead(soci::session& session, const std::string& sql,
                                                const std::vector<std::string>& names,
                                                std::size_t columns)
{
    return std::make_unique<SqliteRead>(session, sql, names, columns);
}

} // namespace kzt::detail
