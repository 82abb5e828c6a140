#include "platform/database.h"

#include "platform/process.h"
#include "platform/text.h"

#include <soci/soci.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace kzt {

namespace {

bool isIdentifierChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
}

bool equalsNoCase(const std::string& text, std::size_t at, std::string_view word)
{
    if (text.size() - at < word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[at + i])) != word[i])
            return false;
    }
    return true;
}

// Calls `visit` for every position outside quoted literals, so that text inside
// 'a:b' or "ISNULL(" is never taken for a parameter or a function.
template <typename Visit>
void forEachCodeChar(const std::string& sql, Visit visit)
{
    char quote = 0;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            continue;
        }
        i = visit(i);
    }
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

// "backend://parameters" split in two; raises for anything else.
std::pair<std::string, std::string> splitConnectionString(const std::string& text)
{
    const auto separator = text.find("://");
    if (text.empty())
        throw DatabaseError("No connection string was given.");
    if (separator == std::string::npos || separator == 0)
        throw DatabaseError("Invalid connection string \"" + utf8ToCp1252(text) +
                            "\": expected backend://parameters.");
    return {text.substr(0, separator), text.substr(separator + 3)};
}

// The file a sqlite3 connection names: "db=" or "dbname=", or the whole text when it
// holds no key at all.
std::string sqliteDatabaseFile(const std::string& parameters)
{
    if (parameters.find('=') == std::string::npos)
        return parameters;
    std::size_t i = 0;
    while (i < parameters.size()) {
        while (i < parameters.size() && parameters[i] == ' ')
            ++i;
        const auto equals = parameters.find('=', i);
        if (equals == std::string::npos)
            break;
        const std::string key = parameters.substr(i, equals - i);
        std::string value;
        i = equals + 1;
        if (i < parameters.size() && (parameters[i] == '"' || parameters[i] == '\'')) {
            const char quote = parameters[i];
            const auto end = parameters.find(quote, i + 1);
            value = parameters.substr(i + 1, end == std::string::npos ? end : end - i - 1);
            i = end == std::string::npos ? parameters.size() : end + 1;
        } else {
            const auto end = parameters.find(' ', i);
            value = parameters.substr(i, end == std::string::npos ? end : end - i);
            i = end == std::string::npos ? parameters.size() : end;
        }
        if (key == "db" || key == "dbname")
            return value;
    }
    return {};
}

// The driver's own text, without the name of the backend function SOCI puts before it
// ("sqlite3_statement_backend::prepare: no such table: X").
std::string driverText(const soci::soci_error& e)
{
    std::string text = e.get_error_message();
    const auto scope = text.find("::");
    const auto colon = text.find(": ");
    if (scope != std::string::npos && colon != std::string::npos && scope < colon) {
        bool symbol = true;
        for (std::size_t i = 0; i < colon; ++i)
            symbol = symbol && (isIdentifierChar(text[i]) || text[i] == ':');
        if (symbol)
            text.erase(0, colon + 2);
    }
    return utf8ToCp1252(text);
}

std::string floatText(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace

// ---------------------------------------------------------------------------------------

DatabaseError::DatabaseError(const std::string& message, std::string statement,
                             std::string parameters)
    : Error(message),
      mDriverMessage(message),
      mStatement(std::move(statement)),
      mParameters(std::move(parameters))
{
}

std::string rewriteForBackend(const std::string& backend, const std::string& sql)
{
    std::string replacement;
    if (backend == "sqlite3")
        replacement = "IFNULL";
    else if (backend == "postgresql")
        replacement = "COALESCE";
    else
        return sql;

    std::string out;
    std::size_t copied = 0;
    forEachCodeChar(sql, [&](std::size_t i) {
        if (!equalsNoCase(sql, i, "ISNULL") || (i > 0 && isIdentifierChar(sql[i - 1])))
            return i;
        std::size_t next = i + 6;
        while (next < sql.size() && std::isspace(static_cast<unsigned char>(sql[next])))
            ++next;
        if (next >= sql.size() || sql[next] != '(')
            return i;
        out.append(sql, copied, i - copied);
        out += replacement;
        copied = i + 6;
        return i + 5;
    });
    out.append(sql, copied, std::string::npos);
    return out;
}

// ---------------------------------------------------------------------------------------

Connection::Connection(std::string name) : mName(std::move(name)) {}

Connection::~Connection() = default;

void Connection::setConnectionString(const std::u16string& text)
{
    mConnectionString = text;
}

void Connection::setConnected(bool on)
{
    if (!on) {
        mSession.reset();
        return;
    }
    if (mSession)
        return;
    if (beforeConnect)
        beforeConnect(*this);

    const auto [backend, parameters] = splitConnectionString(utf16ToUtf8(mConnectionString));
    // SQLite would quietly create an empty store in place of a missing one, and every
    // query would then fail on a missing table far from the real cause.
    if (backend == "sqlite3") {
        const std::string file = sqliteDatabaseFile(parameters);
        if (file != ":memory:" && file.rfind("file:", 0) != 0 && !fileExists(file))
            throw DatabaseError("Database file not found: " + utf8ToCp1252(file));
    }
    auto session = std::make_unique<soci::session>();
    try {
        session->open(backend, parameters);
    } catch (const soci::soci_error& e) {
        throw DatabaseError(driverText(e));
    }
    session->set_query_transformation(
        [name = backend](const std::string& sql) { return rewriteForBackend(name, sql); });
    mSession = std::move(session);

    if (afterConnect) {
        // A session that could not be prepared is not left open half-way: the next
        // open tries again from the start.
        try {
            afterConnect(*this);
        } catch (...) {
            mSession.reset();
            throw;
        }
    }
}

bool Connection::connected() const
{
    return mSession != nullptr;
}

std::string Connection::backendName() const
{
    return mSession ? mSession->get_backend_name() : std::string();
}

soci::session& Connection::session()
{
    if (!mSession)
        throw DatabaseError(mName + ": the connection is not open.");
    return *mSession;
}

// ---------------------------------------------------------------------------------------

namespace {

// Receives one column of a batch of rows in the type the column was declared with.
struct ColumnBuffer {
    FieldType type;
    int width;
    std::vector<std::string> texts;
    std::vector<double> floats;
    std::vector<long long> integers;
    std::vector<soci::indicator> indicators;

    void resize(std::size_t size)
    {
        indicators.resize(size);
        switch (type) {
        case FieldType::String: texts.resize(size); break;
        case FieldType::Float: floats.resize(size); break;
        case FieldType::Integer:
        case FieldType::Boolean: integers.resize(size); break;
        }
    }

    void exchangeInto(soci::statement& statement)
    {
        switch (type) {
        case FieldType::String: statement.exchange(soci::into(texts, indicators)); break;
        case FieldType::Float: statement.exchange(soci::into(floats, indicators)); break;
        case FieldType::Integer:
        case FieldType::Boolean: statement.exchange(soci::into(integers, indicators)); break;
        }
    }

    CellValue cell(std::size_t row) const
    {
        if (indicators[row] == soci::i_null)
            return std::monostate{};
        switch (type) {
        case FieldType::String: {
            std::string text = utf8ToCp1252(texts[row]);
            if (width > 0 && text.size() > static_cast<std::size_t>(width))
                text.resize(static_cast<std::size_t>(width));
            return text;
        }
        case FieldType::Float: return floats[row];
        case FieldType::Integer: return static_cast<std::int64_t>(integers[row]);
        case FieldType::Boolean: return integers[row] != 0;
        }
        return std::monostate{};
    }
};

// SOCI's sqlite3 backend allocates its row cache for the whole batch on every fetch:
// small batches keep single-row queries cheap and cost long lists little.
constexpr std::size_t kBatchRows = 16;

} // namespace

Query::Query(std::string name, Connection& connection)
    : mName(std::move(name)), mConnection(&connection)
{
}

Query::~Query() = default;

void Query::setSql(std::vector<std::string> lines)
{
    close();
    mSql = std::move(lines);
}

std::string Query::statement() const
{
    std::string text;
    for (std::size_t i = 0; i < mSql.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += mSql[i];
    }
    return text;
}

void Query::addColumn(ColumnDef column)
{
    mColumns.push_back(std::move(column));
}

void Query::setParam(const std::string& name, const std::u16string& value)
{
    const std::string utf8 = utf16ToUtf8(value);
    for (auto& param : mParams) {
        if (param.first == name) {
            param.second = utf8;
            return;
        }
    }
    mParams.emplace_back(name, utf8);
}

void Query::setParam(const std::string& name, const std::string& cp1252Value)
{
    setParam(name, cp1252ToUtf16(cp1252Value));
}

std::vector<std::string> Query::paramNames() const
{
    const std::string sql = statement();
    std::vector<std::string> names;
    forEachCodeChar(sql, [&](std::size_t i) {
        if (sql[i] != ':')
            return i;
        // "::" is a type cast on some engines, never a parameter.
        if (i + 1 < sql.size() && sql[i + 1] == ':')
            return i + 1;
        std::size_t end = i + 1;
        while (end < sql.size() && isIdentifierChar(sql[end]))
            ++end;
        if (end == i + 1)
            return i;
        std::string name = sql.substr(i + 1, end - i - 1);
        bool known = false;
        for (const auto& existing : names)
            known = known || existing == name;
        if (!known)
            names.push_back(std::move(name));
        return end - 1;
    });
    return names;
}

void Query::open()
{
    if (mActive)
        return;
    const std::string sql = statement();
    // Only the parameters the statement uses are bound, in the order it uses them.
    std::vector<std::pair<std::string, std::string>> bound;
    for (const auto& name : paramNames()) {
        const std::string* value = nullptr;
        for (const auto& param : mParams) {
            if (param.first == name)
                value = &param.second;
        }
        if (!value)
            throw DatabaseError(mName + ": parameter " + name + " has no value.", sql,
                                describeParams(mParams));
        bound.emplace_back(name, *value);
    }

    try {
        mConnection->setConnected(true);
        soci::session& session = mConnection->session();
        soci::statement st(session);
        for (auto& [name, value] : bound)
            st.exchange(soci::use(value, name));
        std::vector<ColumnBuffer> buffers;
        buffers.reserve(mColumns.size());
        for (const auto& column : mColumns) {
            buffers.push_back(ColumnBuffer{column.type, column.width, {}, {}, {}, {}});
            buffers.back().resize(kBatchRows);
            buffers.back().exchangeInto(st);
        }
        st.alloc();
        st.prepare(rewriteForBackend(mConnection->backendName(), sql));
        st.define_and_bind();

        std::vector<std::vector<CellValue>> rows;
        bool more = st.execute(true);
        while (more) {
            const std::size_t fetched = buffers.empty() ? 0 : buffers.front().indicators.size();
            for (std::size_t r = 0; r < fetched; ++r) {
                std::vector<CellValue> row;
                row.reserve(buffers.size());
                for (const auto& buffer : buffers)
                    row.push_back(buffer.cell(r));
                rows.push_back(std::move(row));
            }
            if (buffers.empty())
                break;
            for (auto& buffer : buffers)
                buffer.resize(kBatchRows);
            more = st.fetch();
        }
        mRows = std::move(rows);
    } catch (DatabaseError& e) {
        e.addContext("opening " + mName);
        throw;
    } catch (const soci::soci_error& e) {
        DatabaseError error(driverText(e), sql, describeParams(bound));
        error.addContext("opening " + mName);
        throw error;
    }
    mCursor = 0;
    mActive = true;
}

void Query::close()
{
    mActive = false;
    mRows.clear();
    mCursor = 0;
}

bool Query::isEmpty() const
{
    return mRows.empty();
}

int Query::recordCount() const
{
    return static_cast<int>(mRows.size());
}

void Query::first()
{
    mCursor = 0;
}

void Query::next()
{
    if (mCursor < recordCount())
        ++mCursor;
}

bool Query::eof() const
{
    return mCursor >= recordCount();
}

namespace {

const CellValue kNull;

const CellValue& currentCell(const std::string& queryName, bool active,
                                    const std::vector<ColumnDef>& columns,
                                    const std::vector<std::vector<CellValue>>& rows, int cursor,
                                    const std::string& column)
{
    if (!active)
        throw DatabaseError(queryName + ": the query is not open.");
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].name == column) {
            // No current row (an empty result) reads as null, as a field of an empty
            // dataset does.
            if (cursor < 0 || cursor >= static_cast<int>(rows.size()))
                return kNull;
            return rows[static_cast<std::size_t>(cursor)][i];
        }
    }
    throw DatabaseError(queryName + ": field '" + column + "' not found.");
}

} // namespace

std::string Query::fieldAsText(const std::string& column) const
{
    const CellValue& cell = currentCell(mName, mActive, mColumns, mRows, mCursor, column);
    if (const auto* text = std::get_if<std::string>(&cell))
        return *text;
    if (const auto* integer = std::get_if<std::int64_t>(&cell))
        return std::to_string(*integer);
    if (const auto* real = std::get_if<double>(&cell))
        return floatText(*real);
    if (const auto* flag = std::get_if<bool>(&cell))
        return *flag ? "True" : "False";
    return {};
}

std::int64_t Query::fieldAsInteger(const std::string& column) const
{
    const CellValue& cell = currentCell(mName, mActive, mColumns, mRows, mCursor, column);
    if (const auto* integer = std::get_if<std::int64_t>(&cell))
        return *integer;
    if (const auto* flag = std::get_if<bool>(&cell))
        return *flag ? 1 : 0;
    if (const auto* real = std::get_if<double>(&cell)) {
        const double rounded = std::round(*real);
        if (!std::isfinite(rounded) || rounded < -9.2e18 || rounded > 9.2e18)
            throw DatabaseError(mName + ": " + floatText(*real) + " in field '" + column +
                                "' is not a valid integer.");
        return static_cast<std::int64_t>(rounded);
    }
    if (const auto* text = std::get_if<std::string>(&cell)) {
        std::int64_t value = 0;
        const auto result = std::from_chars(text->data(), text->data() + text->size(), value);
        if (result.ec != std::errc() || result.ptr != text->data() + text->size())
            throw DatabaseError(mName + ": '" + *text + "' in field '" + column +
                                "' is not a valid integer.");
        return value;
    }
    return 0;
}

double Query::fieldAsFloat(const std::string& column) const
{
    const CellValue& cell = currentCell(mName, mActive, mColumns, mRows, mCursor, column);
    if (const auto* real = std::get_if<double>(&cell))
        return *real;
    if (const auto* integer = std::get_if<std::int64_t>(&cell))
        return static_cast<double>(*integer);
    if (const auto* flag = std::get_if<bool>(&cell))
        return *flag ? 1.0 : 0.0;
    if (const auto* text = std::get_if<std::string>(&cell)) {
        double value = 0;
        const auto result = std::from_chars(text->data(), text->data() + text->size(), value);
        if (result.ec != std::errc() || result.ptr != text->data() + text->size())
            throw DatabaseError(mName + ": '" + *text + "' in field '" + column +
                                "' is not a valid number.");
        return value;
    }
    return 0;
}

bool Query::fieldIsNull(const std::string& column) const
{
    return std::holds_alternative<std::monostate>(
        currentCell(mName, mActive, mColumns, mRows, mCursor, column));
}

Packet Query::toPacket() const
{
    Packet packet;
    packet.fields.reserve(mColumns.size());
    for (const auto& column : mColumns)
        packet.fields.push_back(PacketField{column.name, column.type, column.width});
    packet.rows = mRows;
    return packet;
}

// ---------------------------------------------------------------------------------------

Variant Provider::data() const
{
    if (!mQuery->active())
        throw DatabaseError(mName + ": the query " + mQuery->name() + " is not open.");
    std::vector<PacketField> fields;
    fields.reserve(mQuery->mColumns.size());
    for (const auto& column : mQuery->mColumns)
        fields.push_back(PacketField{column.name, column.type, column.width});
    return Variant::fromPacket(writePacket(fields, mQuery->mRows));
}

} // namespace kzt
