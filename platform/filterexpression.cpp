#include "platform/filterexpression.h"

#include "platform/text.h"
#include "platform/variant.h"

#include <string>
#include <utility>

namespace kzt {

struct FilterExpression::Node {
    enum class Kind { And, Or, Not, Equal, NotEqual, Like } kind = Kind::Equal;
    std::unique_ptr<Node> left, right;
    std::string field;
    std::string literal;
    bool numericLiteral = false;
};

namespace {

using Node = FilterExpression::Node;

class Parser {
public:
    explicit Parser(std::string_view text) : mText(text) {}

    std::unique_ptr<Node> parse()
    {
        auto node = parseOr();
        skipSpace();
        if (mPos != mText.size())
            error("unexpected text");
        return node;
    }

    struct Failure {
        std::string what;
        std::size_t position;
    };

private:
    [[noreturn]] void error(const std::string& what) const { throw Failure{what, mPos + 1}; }

    void skipSpace()
    {
        while (mPos < mText.size()
               && (mText[mPos] == ' ' || mText[mPos] == '\t' || mText[mPos] == '\r'
                   || mText[mPos] == '\n'))
            ++mPos;
    }

    static bool isWordChar(char c)
    {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
               || c == '_';
    }

    // Consumes a keyword (AND, OR, NOT, LIKE) when it stands next, as a whole word.
    bool keyword(std::string_view word)
    {
        skipSpace();
        if (mText.size() - mPos < word.size()
            || !equalsIgnoringAsciiCase(mText.substr(mPos, word.size()), word))
            return false;
        if (mPos + word.size() < mText.size() && isWordChar(mText[mPos + word.size()]))
            return false;
        mPos += word.size();
        return true;
    }

    std::unique_ptr<Node> join(Node::Kind kind, std::unique_ptr<Node> left,
                               std::unique_ptr<Node> right)
    {
        auto node = std::make_unique<Node>();
        node->kind = kind;
        node->left = std::move(left);
        node->right = std::move(right);
        return node;
    }

    std::unique_ptr<Node> parseOr()
    {
        auto node = parseAnd();
        while (keyword("OR"))
            node = join(Node::Kind::Or, std::move(node), parseAnd());
        return node;
    }

    std::unique_ptr<Node> parseAnd()
    {
        auto node = parseUnary();
        while (keyword("AND"))
            node = join(Node::Kind::And, std::move(node), parseUnary());
        return node;
    }

    std::unique_ptr<Node> parseUnary()
    {
        if (keyword("NOT"))
            return join(Node::Kind::Not, parseUnary(), nullptr);
        skipSpace();
        if (mPos < mText.size() && mText[mPos] == '(') {
            ++mPos;
            auto node = parseOr();
            skipSpace();
            if (mPos >= mText.size() || mText[mPos] != ')')
                error("')' expected");
            ++mPos;
            return node;
        }
        return parseComparison();
    }

    std::unique_ptr<Node> parseComparison()
    {
        auto node = std::make_unique<Node>();
        node->field = parseFieldName();
        skipSpace();
        if (mText.substr(mPos, 2) == "<>") {
            mPos += 2;
            node->kind = Node::Kind::NotEqual;
        } else if (mPos < mText.size() && mText[mPos] == '=') {
            ++mPos;
            node->kind = Node::Kind::Equal;
        } else if (keyword("LIKE")) {
            node->kind = Node::Kind::Like;
        } else {
            error("'=', '<>' or LIKE expected");
        }
        parseLiteral(*node);
        return node;
    }

    std::string parseFieldName()
    {
        skipSpace();
        if (mPos < mText.size() && mText[mPos] == '[') {
            const std::size_t close = mText.find(']', mPos);
            if (close == std::string_view::npos)
                error("']' expected");
            std::string name(mText.substr(mPos + 1, close - mPos - 1));
            mPos = close + 1;
            return name;
        }
        const std::size_t start = mPos;
        while (mPos < mText.size() && isWordChar(mText[mPos]))
            ++mPos;
        if (start == mPos)
            error("field name expected");
        return std::string(mText.substr(start, mPos - start));
    }

    void parseLiteral(Node& node)
    {
        skipSpace();
        if (mPos < mText.size() && mText[mPos] == '\'') {
            ++mPos;
            for (;;) {
                if (mPos >= mText.size())
                    error("unterminated text");
                if (mText[mPos] == '\'') {
                    if (mPos + 1 < mText.size() && mText[mPos + 1] == '\'') {
                        node.literal += '\''; // '' is a quote inside the text
                        mPos += 2;
                        continue;
                    }
                    ++mPos;
                    return;
                }
                node.literal += mText[mPos++];
            }
        }
        const std::size_t start = mPos;
        while (mPos < mText.size()
               && (isWordChar(mText[mPos]) || mText[mPos] == '.' || mText[mPos] == '-'
                   || mText[mPos] == '+'))
            ++mPos;
        node.literal = std::string(mText.substr(start, mPos - start));
        try {
            (void)Variant(node.literal).asFloat();
        } catch (const VariantError&) {
            mPos = start;
            error("a quoted text or a number expected");
        }
        node.numericLiteral = true;
    }

    std::string_view mText;
    std::size_t mPos = 0;
};

// SQL LIKE: '%' any run of characters, '_' exactly one.
bool likeMatch(std::string_view text, std::string_view pattern)
{
    std::size_t t = 0, p = 0;
    std::size_t starP = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '_' || pattern[p] == text[t])) {
            ++t;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '%') {
            starP = p++;
            starT = t;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '%')
        ++p;
    return p == pattern.size();
}

bool compare(const Node& node, const std::vector<CellValue>& row,
             const FilterExpression::ColumnLookup& columnOf, FilterOptions options)
{
    const std::optional<FilterExpression::Column> column = columnOf(node.field);
    if (!column)
        throw FilterError("Field '" + node.field + "' not found");
    const CellValue& cell = row[column->index];
    if (node.numericLiteral && node.kind != Node::Kind::Like
        && (column->type == FieldType::Integer || column->type == FieldType::Float)) {
        if (std::holds_alternative<std::monostate>(cell))
            return false;
        return Variant::fromCell(cell).asFloat() == Variant(node.literal).asFloat();
    }
    const bool ignoreCase = (options & foCaseInsensitive) != 0;
    const std::string text = ignoreCase ? upperAscii(cellText(cell)) : cellText(cell);
    const std::string literal = ignoreCase ? upperAscii(node.literal) : node.literal;
    if (node.kind == Node::Kind::Like)
        return likeMatch(text, literal);
    const bool partial = (options & foNoPartialCompare) == 0;
    if (partial && !literal.empty() && literal.back() == '*')
        return text.compare(0, literal.size() - 1, literal, 0, literal.size() - 1) == 0;
    return text == literal;
}

bool evaluate(const Node& node, const std::vector<CellValue>& row,
              const FilterExpression::ColumnLookup& columnOf, FilterOptions options)
{
    switch (node.kind) {
    case Node::Kind::And:
        return evaluate(*node.left, row, columnOf, options)
               && evaluate(*node.right, row, columnOf, options);
    case Node::Kind::Or:
        return evaluate(*node.left, row, columnOf, options)
               || evaluate(*node.right, row, columnOf, options);
    case Node::Kind::Not: return !evaluate(*node.left, row, columnOf, options);
    case Node::Kind::Equal: return compare(node, row, columnOf, options);
    case Node::Kind::NotEqual: return !compare(node, row, columnOf, options);
    case Node::Kind::Like: return compare(node, row, columnOf, options);
    }
    return false;
}

} // namespace

FilterExpression::FilterExpression() = default;
FilterExpression::~FilterExpression() = default;
FilterExpression::FilterExpression(FilterExpression&&) noexcept = default;
FilterExpression& FilterExpression::operator=(FilterExpression&&) noexcept = default;

FilterExpression::FilterExpression(std::string_view text)
{
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos)
        return;
    try {
        mRoot = Parser(text).parse();
    } catch (const Parser::Failure& failure) {
        throw FilterError("Invalid filter '" + std::string(text) + "': " + failure.what
                          + " at position " + std::to_string(failure.position));
    }
}

bool FilterExpression::matches(const std::vector<CellValue>& row, const ColumnLookup& columnOf,
                               FilterOptions options) const
{
    return !mRoot || evaluate(*mRoot, row, columnOf, options);
}

} // namespace kzt
