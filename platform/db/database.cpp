#include "platform/db/database.h"

#include "platform/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>
#include <utility>

namespace kzt {

namespace {

using Category = DatabaseError::Category;

std::string floatText(double value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string shown(const std::string& cp1252)
{
    return cp1252.size() <= 40 ? cp1252 : cp1252.substr(0, 40) + "...";
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool isControl(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7f;
}

// A driver's text turned into the value its column declares; raises BadData naming the
// query and the column when it does not fit.
class CellReader {
public:
    CellReader(const std::string& query, const ColumnDef& column) : mQuery(query), mColumn(column)
    {}

    CellValue operator()(const Connection::Cell& cell) const
    {
        if (!cell)
            return std::monostate{};
        switch (mColumn.type) {
        case FieldType::String: return text(*cell);
        case FieldType::Float: return number(*cell);
        case FieldType::Integer: return integer(*cell);
        case FieldType::Boolean: return boolean(*cell);
        }
        return std::monostate{};
    }

private:
    [[noreturn]] void refuse(const std::string& cp1252, const std::string& why) const
    {
        throw DatabaseError(Category::BadData, mQuery + ": '" + shown(cp1252) + "' in field '"
                                                   + mColumn.name + "' " + why);
    }

    std::string text(const std::string& utf8) const
    {
        const auto width = static_cast<std::size_t>(std::max(mColumn.width, 0));
        if (mColumn.code) {
            // Read as "?", a code could match another row's "?".
            std::optional<std::string> exact = utf8ToCp1252Exact(utf8);
            if (!exact)
                refuse(withoutTrailingBlanks(utf8ToCp1252(utf8)),
                       "holds a character with no Windows-1252 form.");
            std::string text = std::move(*exact);
            if (width > 0 && text.size() > width
                && text.find_first_not_of(' ', width) == std::string::npos)
                text.resize(width); // blanks past the width are no part of a code
            for (char c : text) {
                if (isControl(c))
                    refuse(text, "holds a control character.");
            }
            if (width > 0 && text.size() > width)
                refuse(text, "is longer than its " + std::to_string(width) + " characters.");
            return text;
        }
        std::string text = utf8ToCp1252(utf8);
        for (char& c : text) {
            if (isControl(c))
                c = ' ';
        }
        if (width > 0 && text.size() > width)
            text.resize(width);
        return text;
    }

    double number(const std::string& utf8) const
    {
        const std::string text = trimmed(utf8);
        double value = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size()
            || !std::isfinite(value))
            refuse(utf8ToCp1252(utf8), "is not a valid number.");
        return value;
    }

    std::int64_t integer(const std::string& utf8) const
    {
        const std::string text = trimmed(utf8);
        std::int64_t value = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (!text.empty() && result.ec == std::errc() && result.ptr == text.data() + text.size())
            return value;
        // A whole number some engine writes as "3.0".
        double real = 0;
        const auto asReal = std::from_chars(text.data(), text.data() + text.size(), real);
        if (text.empty() || asReal.ec != std::errc() || asReal.ptr != text.data() + text.size()
            || !std::isfinite(real) || std::trunc(real) != real || std::fabs(real) > 9.2e18)
            refuse(utf8ToCp1252(utf8), "is not a valid integer.");
        return static_cast<std::int64_t>(real);
    }

    bool boolean(const std::string& utf8) const
    {
        const std::string text = upperAscii(trimmed(utf8));
        if (text == "1" || text == "T" || text == "TRUE")
            return true;
        if (text == "0" || text == "F" || text == "FALSE")
            return false;
        refuse(utf8ToCp1252(utf8), "is not a valid boolean.");
    }

    const std::string& mQuery;
    const ColumnDef& mColumn;
};

} // namespace

// ---------------------------------------------------------------------------------------

Query::Query(std::string name, Connection& connection)
    : mName(std::move(name)), mConnection(&connection)
{}

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
    sqlsyntax::forEachParameter(sql, [&](std::string name, std::size_t, std::size_t) {
        if (std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(std::move(name));
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
                                describeParams(mParams), Category::StatementFailed);
        bound.emplace_back(name, *value);
    }

    try {
        const std::vector<Connection::Cell> cells = mConnection->read(sql, bound, mColumns.size());
        std::vector<CellReader> readers;
        readers.reserve(mColumns.size());
        for (const auto& column : mColumns)
            readers.emplace_back(mName, column);
        std::vector<std::vector<CellValue>> rows;
        const std::size_t width = mColumns.size();
        rows.reserve(width ? cells.size() / width : 0);
        for (std::size_t at = 0; width && at < cells.size(); at += width) {
            std::vector<CellValue> row;
            row.reserve(width);
            for (std::size_t c = 0; c < width; ++c)
                row.push_back(readers[c](cells[at + c]));
            rows.push_back(std::move(row));
        }
        mRows = std::move(rows);
    } catch (DatabaseError& e) {
        e.addContext("opening " + mName);
        throw;
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
            throw DatabaseError(mName + ": " + floatText(*real) + " in field '" + column
                                + "' is not a valid integer.");
        return static_cast<std::int64_t>(rounded);
    }
    if (const auto* text = std::get_if<std::string>(&cell)) {
        std::int64_t value = 0;
        const auto result = std::from_chars(text->data(), text->data() + text->size(), value);
        if (result.ec != std::errc() || result.ptr != text->data() + text->size())
            throw DatabaseError(mName + ": '" + *text + "' in field '" + column
                                + "' is not a valid integer.");
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
            throw DatabaseError(mName + ": '" + *text + "' in field '" + column
                                + "' is not a valid number.");
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
