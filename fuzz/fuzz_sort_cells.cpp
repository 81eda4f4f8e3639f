// SPDX-License-Identifier: MIT
// The table sort against a plain stable sort, and the cell arithmetic against sums and products
// formed in 128 bits. The input is a list of cell texts, one per line.
#include "analysis/tables/cell_number.h"
#include "analysis/tables/stats_table.h"
#include "analysis/text/text_util.h"

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace coffer;
__extension__ using Wide = __int128;

void Require(bool condition) {
    if (!condition)
        __builtin_trap();
}

struct Number {
    bool negative = false;
    std::string whole, fraction; // without the zeros that do not change the value
};

std::optional<Number> ParseReference(std::string_view text) {
    Number n;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        n.negative = text[0] == '-';
        text.remove_prefix(1);
    }
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view fraction = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    auto digits = [](std::string_view s) {
        return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!digits(whole) || (dot != std::string_view::npos && !digits(fraction)))
        return std::nullopt;
    n.whole = std::string(whole.substr(std::min(whole.find_first_not_of('0'), whole.size())));
    n.fraction = std::string(fraction.substr(0, fraction.find_last_not_of('0') + 1));
    return n;
}

// The documented cell order: numbers by sign ("+" before "-", as the text order has it), then by
// magnitude; numbers before texts; texts by their characters, letter case ignored.
int CompareReference(const std::string& a, const std::string& b) {
    const auto x = ParseReference(a), y = ParseReference(b);
    if (!x || !y)
        return x ? -1 : y ? 1 : CompareNoCase(a, b);
    if (x->negative != y->negative)
        return x->negative ? 1 : -1;
    if (x->whole.size() != y->whole.size())
        return x->whole.size() < y->whole.size() ? -1 : 1;
    const int c = x->whole != y->whole ? x->whole.compare(y->whole) : x->fraction.compare(y->fraction);
    return (c > 0) - (c < 0);
}

// Hundredths rounded half-even, or none outside the 64-bit range.
std::optional<Wide> HundredthsReference(const std::string& text) {
    const auto n = ParseReference(text);
    if (!n || n->whole.size() > 20)
        return std::nullopt;
    const std::string fraction = n->fraction + "000";
    Wide value = 0;
    for (char c : n->whole + fraction.substr(0, 2))
        value = value * 10 + (c - '0');
    const bool laterNonZero = n->fraction.size() > 3;
    if (fraction[2] > '5' || (fraction[2] == '5' && (laterNonZero || value % 2 != 0)))
        ++value;
    if (value > INT64_MAX)
        return std::nullopt;
    return n->negative ? -value : value;
}

std::optional<std::string> FormatReference(Wide value) {
    if (value > INT64_MAX || value < -INT64_MAX)
        return std::nullopt;
    const Wide magnitude = value < 0 ? -value : value;
    std::string text = std::to_string(static_cast<std::uint64_t>(magnitude / 100));
    if (magnitude % 100 != 0) {
        const int silver = static_cast<int>(magnitude % 100);
        text += '.';
        text += static_cast<char>('0' + silver / 10);
        text += static_cast<char>('0' + silver % 10);
    }
    return value < 0 ? "-" + text : text;
}

Wide RoundedProduct(Wide x, Wide y) {
    const Wide product = x * y;
    const Wide magnitude = product < 0 ? -product : product;
    Wide kept = magnitude / 100;
    if (magnitude % 100 > 50 || (magnitude % 100 == 50 && kept % 2 != 0))
        ++kept;
    return product < 0 ? -kept : kept;
}

// The product the member totals take of count and weight, against the reference's exact product.
void CheckProduct(const std::string& a, const std::string& b) {
    const auto x = HundredthsReference(a), y = HundredthsReference(b);
    Require(ParseHundredths(a).has_value() == x.has_value() && ParseHundredths(b).has_value() == y.has_value());
    if (!x || !y)
        return;
    const auto product = ProductHundredths(*ParseHundredths(a), *ParseHundredths(b));
    const std::optional<std::string> expected = FormatReference(RoundedProduct(*x, *y));
    Require(product ? expected == FormatHundredths(*product) : !expected);
}

void CheckSort(StatsTable& table, const std::vector<std::string>& cells, int column, SortDirection direction) {
    std::vector<std::size_t> expected(cells.size() / 2);
    std::iota(expected.begin(), expected.end(), 0);
    std::stable_sort(expected.begin(), expected.end(), [&](std::size_t a, std::size_t b) {
        return CompareReference(cells[2 * a + column], cells[2 * b + column]) < 0;
    });
    if (direction == SortDirection::Descending)
        std::reverse(expected.begin(), expected.end());
    table.sortRows(column, direction);
    for (std::size_t row = 0; row < expected.size(); ++row)
        Require(table.rowIdAt(row) == expected[row]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string_view> lines;
    SplitAt(std::string_view(reinterpret_cast<const char*>(data), size), "\n", lines);
    std::vector<std::string> cells(lines.begin(), lines.end());
    if (cells.size() % 2 != 0)
        cells.emplace_back();
    for (std::size_t i = 0; i + 1 < cells.size(); i += 2)
        CheckProduct(cells[i], cells[i + 1]);

    // Two columns of cells; the sorts run one after another, so the flips of a sorted table run too.
    StatsTable table({"Name", "Value"});
    for (std::size_t i = 0; i < cells.size(); i += 2)
        table.appendRow({cells[i], cells[i + 1]});
    for (const auto& [column, direction] : {std::pair{1, SortDirection::Ascending},
                                            {1, SortDirection::Descending},
                                            {0, SortDirection::Descending},
                                            {1, SortDirection::Descending}})
        CheckSort(table, cells, column, direction);
    return 0;
}
