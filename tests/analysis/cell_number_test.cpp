#include "analysis/tables/cell_number.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

namespace coffer {
namespace {

TEST(CellNumber, ReadsNumbersAsTheTablesWriteThem) {
    struct Case {
        const char* text;
        std::optional<std::int64_t> hundredths;
        std::optional<std::int64_t> whole;
    };
    const Case cases[] = {{"+00012.05", 1205, 12}, {"-00012.50", -1250, -12}, {"00000.50", 50, 0}, {"00001.50", 150, 2},
                          {"-000007", -700, -7},   {"12.5", 1250, 12},        {"0.125", 12, 0},    {"0.135", 14, 0},
                          {"0.4999", 50, 0},       {"-0.5", -50, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(ParseHundredths(c.text), c.hundredths) << c.text;
        EXPECT_EQ(ParseWhole(c.text), c.whole) << c.text;
        EXPECT_EQ(RoundedValue(c.text), c.whole.value_or(0)) << c.text;
    }
    for (const char* text : {"", "+", "1.", ".5", "1/", " 1", "1e3", "--1", "1.2.3", "99999999999999999999"}) {
        EXPECT_EQ(ParseHundredths(text), std::nullopt) << text;
        EXPECT_EQ(ParseWhole(text), std::nullopt) << text;
        EXPECT_EQ(RoundedValue(text), text[0] == '9' ? RoundedValue("9999999999999999999") * 10 + 9 : 0) << text;
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

TEST(CellNumber, ArithmeticIsExactInSilverAndWide) {
    struct Case {
        std::optional<std::string> (*op)(std::string_view, std::string_view);
        const char* a;
        const char* b;
        std::optional<std::string> result;
    };
    const Case cases[] = {
        {CellSum, "0", "00012.05", "12.05"},
        {CellSum, "12.05", "00012.05", "24.10"},
        {CellSum, "00000.50", "00000.50", "1"},
        {CellSum, "0", "-00000.50", "-0.50"},
        {CellSum, "32767", "1", "32768"},
        {CellSum, "", "1", std::nullopt},
        {CellSum, "1", "abc", std::nullopt},
        {CellSum, "92233720368547758", "1", std::nullopt},
        {CellDifference, "8", "00012.05", "-4.05"},
        {CellDifference, "0", "-3", "3"},
        {CellDifference, "-92233720368547758.07", "0.01", std::nullopt},
        {CellDifference, "-92233720368547758.07", "0", "-92233720368547758.07"},
        {CellProduct, "700", "00100", "70000"},
        {CellProduct, "20", "00001", "20"},
        {CellProduct, "3", "00050", "150"},
        {CellProduct, "1.5", "00001", "1.50"},
        {CellProduct, "0.5", "0.05", "0.02"}, // 0.025 rounds to the even silver
        {CellProduct, "0.15", "0.1", "0.02"}, // 0.015 too
        {CellProduct, "1", "", std::nullopt},
        {CellProduct, "1/", "00001", std::nullopt},
        {CellProduct, "9999999999", "9999999999", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.op(c.a, c.b), c.result) << c.a << " , " << c.b;
}

} // namespace
} // namespace coffer
