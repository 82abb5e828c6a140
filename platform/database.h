#pragma once

// The database layer standing in for the ADO connection, queries and providers, over SOCI.
// Connection strings are SOCI's "backend://parameters": sqlite3://db=/path/store.db (the
// embedded default), odbc://DSN=... (SQL Server through ODBC), postgresql://dbname=...
// Statements are written once in the SQL Server dialect; a per-backend rewrite adapts
// what another engine spells differently. Parameters are always bound, never spliced.

#include "platform/datapacket.h"
#include "platform/error.h"
#include "platform/platform_global.h"
#include "platform/variant.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace soci {
class session;
}

namespace kzt {

// A database failure: the driver's text, with the statement and the bound values it
// failed on when there was one.
class KZT_PLATFORM_API DatabaseError : public Error {
public:
    explicit DatabaseError(const std::string& message, std::string statement = {},
                           std::string parameters = {});
    const std::string& driverMessage() const { return mDriverMessage; }
    const std::string& statement() const { return mStatement; }
    const std::string& parameters() const { return mParameters; }

private:
    std::string mDriverMessage;
    std::string mStatement;
    std::string mParameters;
};

// Rewrites a statement in the SQL Server dialect for the named SOCI backend
// ("sqlite3": ISNULL( -> IFNULL(; "postgresql": ISNULL( -> COALESCE(; others unchanged).
KZT_PLATFORM_API std::string rewriteForBackend(const std::string& backend, const std::string& sql);

class KZT_PLATFORM_API Connection {
public:
    explicit Connection(std::string name = {});
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const std::string& name() const { return mName; }
    void setConnectionString(const std::u16string& text);
    std::u16string connectionString() const { return mConnectionString; }
    void setLoginPrompt(bool on) { mLoginPrompt = on; }  // kept off: no credential dialog
    bool loginPrompt() const { return mLoginPrompt; }

    // true opens (running beforeConnect, opening, then afterConnect) unless already open,
    // when nothing happens; false closes. A failure to open raises DatabaseError carrying
    // the driver's text and leaves the connection closed.
    void setConnected(bool on);
    bool connected() const;

    std::function<void(Connection&)> beforeConnect;
    std::function<void(Connection&)> afterConnect;

    // The backend's name ("sqlite3", "odbc", "postgresql"); empty while closed.
    std::string backendName() const;
    soci::session& session();  // raises DatabaseError when closed

private:
    std::string mName;
    std::u16string mConnectionString;
    bool mLoginPrompt = false;
    std::unique_ptr<soci::session> mSession;
};

// A declared result column: packets and typed reads use these, not what a driver guesses.
struct ColumnDef {
    std::string name;
    FieldType type = FieldType::String;
    int width = 0;  // strings: text is cut to this many characters
};

// A read-only query. open() runs the statement with its bound parameters and keeps
// every row of the result; the cursor starts on the first row.
class KZT_PLATFORM_API Query {
public:
    Query(std::string name, Connection& connection);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    const std::string& name() const { return mName; }
    Connection& connection() const { return *mConnection; }

    // The statement line by line, as designed; lines are joined with a line break.
    void setSql(std::vector<std::string> lines);
    const std::vector<std::string>& sql() const { return mSql; }
    std::string statement() const;

    void addColumn(ColumnDef column);
    const std::vector<ColumnDef>& columns() const { return mColumns; }

    // String parameters by name ("P_CDFILIAL"), without the colon.
    void setParam(const std::string& name, const std::u16string& value);
    void setParam(const std::string& name, const std::string& cp1252Value);
    std::vector<std::string> paramNames() const;  // in order of first use in the statement

    void open();   // raises DatabaseError (with statement and values) on failure
    void close();
    bool active() const { return mActive; }
    bool isEmpty() const;
    int recordCount() const;
    void first();
    void next();
    bool eof() const;

    // Fields of the current row by declared column name; a null reads as "" / 0.
    std::string fieldAsText(const std::string& column) const;
    std::int64_t fieldAsInteger(const std::string& column) const;
    double fieldAsFloat(const std::string& column) const;
    bool fieldIsNull(const std::string& column) const;

    // Every row with the declared columns, as a packet.
    Packet toPacket() const;

private:
    friend class Provider;  // writes the rows straight into the packet, without a copy
    std::string mName;
    Connection* mConnection;
    std::vector<std::string> mSql;
    std::vector<ColumnDef> mColumns;
    std::vector<std::pair<std::string, std::string>> mParams;  // name, UTF-8 value
    std::vector<std::vector<CellValue>> mRows;
    int mCursor = 0;
    bool mActive = false;
};

// Turns an open query into a data packet variant built from its declared columns.
class KZT_PLATFORM_API Provider {
public:
    Provider(std::string name, Query& query) : mName(std::move(name)), mQuery(&query) {}
    const std::string& name() const { return mName; }
    Query& dataSet() const { return *mQuery; }
    Variant data() const;  // raises DatabaseError when the query is not open

private:
    std::string mName;
    Query* mQuery;
};

} // namespace kzt
