// SPDX-License-Identifier: MIT
#include "analysis/tables/cell_number.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>

namespace coffer {
namespace {

TEST(CellNumber, ReadsNumbersAsTheTablesWriteThem) {
    const std::tuple<const char*, std::optional<std::int64_t>, std::optional<std::int64_t>> cases[] = {
        {"+00012.05", 1205, 12}, {"-00012.50", -1250, -12}, {"00000.50", 50, 0}, {"00001.50", 150, 2},
        {"-000007", -700, -7},   {"12.5", 1250, 12},        {"0.125", 12, 0},    {"0.135", 14, 0},
        {"0.4999", 50, 0},       {"-0.5", -50, 0}};
    for (const auto& [text, hundredths, whole] : cases) {
        EXPECT_EQ(ParseHundredths(text), hundredths) << text;
        EXPECT_EQ(ParseWhole(text), whole) << text;
        EXPECT_EQ(RoundedValue(text), whole.value_or(0)) << text;
    }
    for (const char* text : {"", "+", "1.", ".5", "1/", " 1", "1e3", "--1", "1.2.3", "99999999999999999999"}) {
        EXPECT_EQ(ParseHundredths(text), std::nullopt) << text;
        EXPECT_EQ(ParseWhole(text), std::nullopt) << text;
        EXPECT_EQ(WideText(RoundedValue(text)), text[0] == '9' ? "99999999999999999999" : "0") << text;
    }
    // Beyond 64 bits the sorts, filters and balances still read the whole, up to 128 bits.
    EXPECT_EQ(WideText(RoundedValue("-99999999999999999999.5")), "-100000000000000000000");
    EXPECT_EQ(RoundedValue(std::string(39, '9')), 0);
    const WideAmount widest = -(WideAmount{1} << 126) - 50;
    EXPECT_EQ(FormatHundredths(widest), "-850705917302346158658436518579420529.14");
    EXPECT_EQ(WideText(-(WideAmount{1} << 126) * 2), "-170141183460469231731687303715884105728");
    EXPECT_EQ(FormatHundredths(-50), "-0.50");
    EXPECT_EQ(Clamped64(widest), -INT64_MAX); // a chart may negate it
    EXPECT_EQ(Clamped64(-widest), INT64_MAX);
    EXPECT_EQ(ParseHundredths("92233720368547759"), std::nullopt); // the whole fits 64 bits, the hundredths not
    EXPECT_EQ(ParseWhole("92233720368547759"), 92233720368547759);
}

// A quality's value is count times weight, both read from cells, rounded to the silver.
TEST(CellNumber, ProductIsRoundedToTheEvenSilver) {
    const std::tuple<const char*, const char*, std::optional<std::string>> cases[] = {
        {"700", "00100", "70000"},
        {"20", "00001", "20"},
        {"1.5", "00001", "1.50"},
        {"-3", "00050", "-150"},
        {"0.5", "0.05", "0.02"}, // 0.025 rounds to the even silver
        {"0.15", "0.1", "0.02"}, // 0.015 too
        {"0.25", "0.1", "0.02"}, // 0.025 again, and 0.035 below rounds up
        {"0.35", "0.1", "0.04"},
        {"9999999999", "9999999999", std::nullopt},
        {"92233720368547758.07", "1", "92233720368547758.07"},
        {"92233720368547758.07", "-1", "-92233720368547758.07"},
    };
    for (const auto& [a, b, product] : cases) {
        const auto result = ProductHundredths(*ParseHundredths(a), *ParseHundredths(b));
        EXPECT_EQ(result ? std::optional(FormatHundredths(*result)) : std::nullopt, product) << a << " * " << b;
    }
}

} // namespace
} // namespace coffer
