#include "platform/filterexpression.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using kzt::CellValue;
using kzt::FieldType;
using kzt::FilterExpression;

// The kitchen occurrences as a dataset holds them: no risk type, and the most a product
// takes where one is set.
const std::vector<std::string> kNames = {"CDOCORR", "DSOCORR", "IDCONTROLAOBS", "CDTIPRISCO",
                                         "QTMAX"};
const std::vector<FieldType> kTypes = {FieldType::String, FieldType::String, FieldType::String,
                                       FieldType::String, FieldType::Integer};
const std::vector<std::vector<CellValue>> kKitchen = {
    {std::string("01"), std::string("SEM CEBOLA"), std::string("N"), {}, std::int64_t{2}},
    {std::string("02"), std::string("Sem Cebola Roxa"), std::string("A"), {}, {}},
    {std::string("03"), std::string("BEM PASSADO"), std::string("R"), {}, std::int64_t{10}},
    {std::string("04"), std::string("MAL PASSADO"), std::string("N"), {}, {}},
    {std::string("05"), std::string("SEM SAL"), std::string("N"), {}, std::int64_t{2}},
};

// Names match ignoring case, as a dataset's do.
std::optional<FilterExpression::Column> columnOf(std::string_view name)
{
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (kzt::equalsIgnoringAsciiCase(kNames[i], name))
            return FilterExpression::Column{i, kTypes[i]};
    }
    return std::nullopt;
}

struct FilterCase {
    const char* filter;
    kzt::FilterOptions options;
    std::vector<std::string> codes;
};

class Filters : public testing::TestWithParam<FilterCase> {};

TEST_P(Filters, LetThroughTheRowsThatMatch)
{
    const FilterExpression filter(GetParam().filter);
    std::vector<std::string> codes;
    for (const auto& row : kKitchen) {
        if (filter.matches(row, columnOf, GetParam().options))
            codes.push_back(std::get<std::string>(row[0]));
    }
    EXPECT_EQ(codes, GetParam().codes);
}

constexpr kzt::FilterOptions kNoCase = kzt::foCaseInsensitive;
constexpr kzt::FilterOptions kWhole = kzt::foNoPartialCompare;

INSTANTIATE_TEST_SUITE_P(
    Table, Filters,
    testing::Values(
        FilterCase{"", 0, {"01", "02", "03", "04", "05"}},
        FilterCase{"   ", 0, {"01", "02", "03", "04", "05"}},
        FilterCase{"CDOCORR = '03'", 0, {"03"}}, FilterCase{"cdocorr='03'", 0, {"03"}},
        FilterCase{"[DSOCORR] = 'SEM SAL'", 0, {"05"}},
        FilterCase{"IDCONTROLAOBS <> 'N'", 0, {"02", "03"}},
        FilterCase{"DSOCORR LIKE '%CEBOLA%'", 0, {"01"}},
        FilterCase{"DSOCORR LIKE '%CEBOLA%'", kNoCase, {"01", "02"}},
        FilterCase{"DSOCORR like '_AL%'", 0, {"04"}},
        FilterCase{"DSOCORR = 'SEM*'", 0, {"01", "05"}}, FilterCase{"DSOCORR = 'SEM*'", kWhole, {}},
        FilterCase{"DSOCORR = 'sem*'", kNoCase, {"01", "02", "05"}},
        FilterCase{"DSOCORR = 'sem sal'", kNoCase | kWhole, {"05"}},
        FilterCase{"IDCONTROLAOBS = 'N' AND DSOCORR LIKE 'SEM%'", 0, {"01", "05"}},
        FilterCase{"CDOCORR = '01' OR CDOCORR = '04' AND IDCONTROLAOBS = 'A'", 0, {"01"}},
        FilterCase{"(CDOCORR = '01' OR CDOCORR = '04') AND IDCONTROLAOBS = 'N'", 0, {"01", "04"}},
        FilterCase{"NOT (IDCONTROLAOBS = 'N')", 0, {"02", "03"}},
        FilterCase{"CDTIPRISCO = ''", 0, {"01", "02", "03", "04", "05"}},
        FilterCase{"DSOCORR = 'D''AGUA'", 0, {}}, FilterCase{"CDOCORR = 'ZZ'", 0, {}},
        // A number compares as a number with a number field, and a null is no number.
        FilterCase{"QTMAX = 2.0", 0, {"01", "05"}},
        FilterCase{"QTMAX <> 10", 0, {"01", "02", "04", "05"}}, FilterCase{"CDOCORR = 3", 0, {}}),
    [](const auto& row) { return "Case" + std::to_string(row.index); });

struct BadFilterCase {
    const char* filter;
    std::string message;
};

class BadFilters : public testing::TestWithParam<BadFilterCase> {};

TEST_P(BadFilters, AreRefusedNamingTheFaultAndItsPosition)
{
    try {
        FilterExpression filter(GetParam().filter);
        ADD_FAILURE() << GetParam().filter << " parsed";
    } catch (const kzt::FilterError& e) {
        EXPECT_EQ(e.message(), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadFilters,
    testing::Values(
        BadFilterCase{"CDOCORR = '01",
                      "Invalid filter 'CDOCORR = '01': unterminated text at position 14"},
        BadFilterCase{"CDOCORR",
                      "Invalid filter 'CDOCORR': '=', '<>' or LIKE expected at position 8"},
        BadFilterCase{"(CDOCORR = '01'",
                      "Invalid filter '(CDOCORR = '01'': ')' expected at position 16"},
        BadFilterCase{"CDOCORR = '01' XOR",
                      "Invalid filter 'CDOCORR = '01' XOR': unexpected text at position 16"},
        BadFilterCase{"= '01'", "Invalid filter '= '01'': field name expected at position 1"},
        BadFilterCase{
            "CDOCORR = abc",
            "Invalid filter 'CDOCORR = abc': a quoted text or a number expected at position 11"}));

} // namespace
