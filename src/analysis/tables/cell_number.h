// SPDX-License-Identifier: MIT
#pragma once
// Numbers as the statistics tables write them: an optional sign, digits, and optionally "." and more
// digits ("+00012.05", "-3", "20"). Member cells are summed exactly in hundredths of a gold (silver)
// in 64 bits; whole-number views round halves to the even neighbour.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace coffer {

struct NumberText {
    bool negative = false;
    std::string_view wholeDigits;    // at least one digit
    std::string_view fractionDigits; // empty when there is no "."
};

// Splits a cell text into its number parts; nullopt when the text is not a number.
std::optional<NumberText> ParseNumberText(std::string_view text);

// The number scaled by 10^fractionDigits (0 or 2) and rounded half-even; nullopt when the text is not
// a number or the result does not fit in 64 bits.
std::optional<std::int64_t> ParseScaled(std::string_view text, int fractionDigits);

inline std::optional<std::int64_t> ParseHundredths(std::string_view text) {
    return ParseScaled(text, 2);
}
inline std::optional<std::int64_t> ParseWhole(std::string_view text) {
    return ParseScaled(text, 0);
}

// Totals of many amounts. Every amount a total takes fits 64 bits and a log holds fewer than 2^32
// entries, so no sum of them, nor a sum or difference of such sums, leaves 128 bits.
__extension__ using WideAmount = __int128;

// Whole value used by the sorts, filters and balances: rounded half-even; a text that is not a number,
// or one beyond 128 bits, counts as 0.
WideAmount RoundedValue(std::string_view text);

// Plain decimal text of a whole number: "12", "-3".
std::string WideText(WideAmount value);
// Plain decimal text of an amount in hundredths: "12", "-3", "24.10", "-0.50".
std::string FormatHundredths(WideAmount hundredths);
// The amount where only 64 bits can be shown (a chart): beyond them it stands at the end of their
// range, which can still be negated.
std::int64_t Clamped64(WideAmount value);

// The product of two amounts in hundredths, rounded to hundredths, halves to even; nullopt when it
// leaves the range of a cell (a magnitude of at most 2^63 - 1 hundredths).
std::optional<std::int64_t> ProductHundredths(std::int64_t a, std::int64_t b);

} // namespace coffer
