#pragma once

// The database layer standing in for the ADO connection, queries and providers, over SOCI:
// the connection (connection.h), its errors (databaseerror.h) and dialects (sqldialect.h),
// and here the read-only queries and the providers that turn them into data packets.
// Parameters are always bound, never spliced.

#include "platform/datapacket.h"
#include "platform/db/connection.h"
#include "platform/db/databaseerror.h"
#include "platform/db/sqldialect.h"
#include "platform/platform_global.h"
#include "platform/variant.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kzt {

// A declared result column: packets and typed reads use these, not what a driver guesses.
// What a value read does when it does not fit its declaration is decided here: a number
// column holding no number is an error naming the column; a code (or flag) longer than
// its width is an error, never cut into another valid code (blanks past the width do not
// count); any other text is cut to its width, with control characters shown as blanks.
struct ColumnDef {
    std::string name;
    FieldType type = FieldType::String;
    int width = 0;     // strings: the most characters the column holds
    bool code = false; // strings: a code or flag, whole or not at all
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
    std::vector<std::string> paramNames() const; // in order of first use in the statement

    void open(); // raises DatabaseError (with statement and values) on failure
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
    friend class Provider; // writes the rows straight into the packet, without a copy
    std::string mName;
    Connection* mConnection;
    std::vector<std::string> mSql;
    std::vector<ColumnDef> mColumns;
    std::vector<std::pair<std::string, std::string>> mParams; // name, UTF-8 value
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
    Variant data() const; // raises DatabaseError when the query is not open

private:
    std::string mName;
    Query* mQuery;
};

} // namespace kzt
