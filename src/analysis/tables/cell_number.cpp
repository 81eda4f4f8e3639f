// SPDX-License-Identifier: MIT
#include "analysis/tables/cell_number.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace coffer {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t CountDigits(std::string_view text, std::size_t from) {
    std::size_t n = from;
    while (n < text.size() && IsDigit(text[n]))
        ++n;
    return n - from;
}

// Sums and products are formed in 128 bits and checked against the 64-bit range.
__extension__ using Wide = __int128;

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

// Half-even rounding of a magnitude given the first dropped digit and whether any later dropped
// digit is non-zero.
template <typename Number>
std::optional<Number> RoundMagnitude(Number kept, char firstDropped, bool laterNonZero, Number max) {
    const bool up = firstDropped > '5' || (firstDropped == '5' && (laterNonZero || (kept % 2) != 0));
    if (!up)
        return kept;
    if (kept == max)
        return std::nullopt;
    return kept + 1;
}

std::optional<std::int64_t> InRange(Wide value) {
    if (value > kMax || value < -kMax)
        return std::nullopt;
    return static_cast<std::int64_t>(value);
}

constexpr Wide kWideMax = ~(static_cast<Wide>(1) << 127);

// The number scaled and rounded as ParseScaled does, of a magnitude of at most `max`: in the type of
// the result, since arithmetic in 128 bits costs more where 64 will do.
template <typename Number>
std::optional<Number> ParseScaledUpTo(std::string_view text, int fractionDigits, Number max) {
    const auto number = ParseNumberText(text);
    if (!number)
        return std::nullopt;
    Number magnitude = 0;
    auto push = [&magnitude, max](char digit) {
        const int d = digit - '0';
        if (magnitude > (max - d) / 10)
            return false;
        magnitude = magnitude * 10 + d;
        return true;
    };
    for (char c : number->wholeDigits)
        if (!push(c))
            return std::nullopt;
    const std::string_view fraction = number->fractionDigits;
    for (int i = 0; i < fractionDigits; ++i)
        if (!push(static_cast<std::size_t>(i) < fraction.size() ? fraction[static_cast<std::size_t>(i)] : '0'))
            return std::nullopt;
    const auto keptFraction = static_cast<std::size_t>(fractionDigits);
    if (fraction.size() > keptFraction) {
        const std::string_view rest = fraction.substr(keptFraction + 1);
        const bool laterNonZero = rest.find_first_not_of('0') != std::string_view::npos;
        const auto rounded = RoundMagnitude(magnitude, fraction[keptFraction], laterNonZero, max);
        if (!rounded)
            return std::nullopt;
        magnitude = *rounded;
    }
    return number->negative ? -magnitude : magnitude;
}

} // namespace

std::optional<NumberText> ParseNumberText(std::string_view text) {
    NumberText number;
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        number.negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t whole = CountDigits(text, pos);
    if (whole == 0)
        return std::nullopt;
    number.wholeDigits = text.substr(pos, whole);
    pos += whole;
    if (pos == text.size())
        return number;
    if (text[pos] != '.')
        return std::nullopt;
    ++pos;
    const std::size_t fraction = CountDigits(text, pos);
    if (fraction == 0 || pos + fraction != text.size())
        return std::nullopt;
    number.fractionDigits = text.substr(pos, fraction);
    return number;
}

std::optional<std::int64_t> ParseScaled(std::string_view text, int fractionDigits) {
    return ParseScaledUpTo(text, fractionDigits, kMax);
}

WideAmount RoundedValue(std::string_view text) {
    return ParseScaledUpTo(text, 0, kWideMax).value_or(0);
}

std::string WideText(WideAmount value) {
    // The magnitude in unsigned arithmetic: the most negative value has no positive twin.
    __extension__ using Unsigned = unsigned __int128;
    Unsigned magnitude = value < 0 ? 0 - static_cast<Unsigned>(value) : static_cast<Unsigned>(value);
    char text[48]; // 39 digits and a sign at most, written from the end
    char* at = std::end(text);
    do {
        *--at = static_cast<char>('0' + static_cast<int>(magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *--at = '-';
    return std::string(at, std::end(text));
}

std::string FormatHundredths(WideAmount hundredths) {
    const WideAmount whole = hundredths / 100; // toward zero: the sign of -0.50 is written by hand
    const int silver = static_cast<int>(hundredths < 0 ? -(hundredths % 100) : hundredths % 100);
    std::string text = hundredths < 0 && whole == 0 ? "-0" : WideText(whole);
    if (silver == 0)
        return text;
    text += '.';
    text += static_cast<char>('0' + silver / 10);
    text += static_cast<char>('0' + silver % 10);
    return text;
}

std::int64_t Clamped64(WideAmount value) {
    return static_cast<std::int64_t>(std::clamp<WideAmount>(value, -kMax, kMax));
}

std::optional<std::int64_t> ProductHundredths(std::int64_t a, std::int64_t b) {
    // Hundredths times hundredths carry four fraction digits: drop two, halves to even.
    const Wide wide = static_cast<Wide>(a) * b;
    const Wide magnitude = wide < 0 ? -wide : wide;
    Wide kept = magnitude / 100;
    const Wide dropped = magnitude % 100;
    if (dropped > 50 || (dropped == 50 && kept % 2 != 0))
        ++kept;
    return InRange(wide < 0 ? -kept : kept);
}

} // namespace coffer
