#pragma once

// A dataset's filter text, parsed once and tested against each row: comparisons joined by
// AND, OR and NOT with parentheses, each
//   FIELD = 'value' | FIELD <> 'value' | FIELD LIKE 'pat%tern'   (% any run, _ one char)
// A field name stands bare or in brackets ([DSOCORR]); a value is quoted text ('' is a
// quote inside it) or a number, which a number field compares as a number.

#include "platform/datapacket.h"
#include "platform/error.h"
#include "platform/platform_global.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace kzt {

enum FilterOption : unsigned {
    foCaseInsensitive = 1u << 0,
    foNoPartialCompare = 1u << 1,
};
using FilterOptions = unsigned;

// A filter text that does not parse, or a row without a field the filter names.
class KZT_PLATFORM_API FilterError : public Error {
public:
    using Error::Error;
};

class KZT_PLATFORM_API FilterExpression {
public:
    // Where a field the filter names stands in a row, and its type.
    struct Column {
        std::size_t index = 0;
        FieldType type = FieldType::String;
    };
    // The column of a field name (matched as the row's owner matches names), or nothing.
    using ColumnLookup = std::function<std::optional<Column>(std::string_view name)>;

    FilterExpression(); // empty: lets every row through
    // A text of blanks gives the empty expression; one that does not parse raises
    // FilterError "Invalid filter '<text>': <what> at position <n>" (from 1).
    explicit FilterExpression(std::string_view text);
    ~FilterExpression();
    FilterExpression(FilterExpression&&) noexcept;
    FilterExpression& operator=(FilterExpression&&) noexcept;

    bool empty() const { return !mRoot; }

    // Whether `row` passes. foCaseInsensitive compares ignoring ASCII case; without
    // foNoPartialCompare a trailing '*' in an = value matches any rest. Raises FilterError
    // "Field '<name>' not found" for a field the lookup does not know, when a comparison
    // on it is reached.
    bool matches(const std::vector<CellValue>& row, const ColumnLookup& columnOf,
                 FilterOptions options) const;

    struct Node; // the parsed text, defined beside the parser

private:
    std::unique_ptr<const Node> mRoot;
};

} // namespace kzt
