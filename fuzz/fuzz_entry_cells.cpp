// SPDX-License-Identifier: MIT
// The entries list's reading of an element, on any bytes (a ledger file from someone else holds any):
// every cell is text a list can show (valid UTF-8 without control characters but tabs and line breaks),
// and the cells, the fields the filters test and the names the addresses use agree.
#include "analysis/text/web_text.h"
#include "ledger/entry_list.h"

#include <cstdint>
#include <string_view>

namespace {

bool Showable(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const auto c = static_cast<unsigned char>(text[at]);
        const std::size_t length = coffer::Utf8SequenceLength(text, at);
        if (length == 0 || (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F)
            return false;
        at += length;
    }
    return true;
}

std::string Cleaned(std::string_view text) {
    std::string out;
    coffer::AppendCleanText(out, text, false);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace coffer;
    const std::string_view element(reinterpret_cast<const char*>(data), size);
    const EntryCells cells = MakeEntryCells(element, static_cast<std::int64_t>(size) * 1000);
    for (const std::string& cell : cells)
        if (!Showable(cell))
            __builtin_trap();
    const EntryFields fields = ReadEntryFields(element);
    const auto [member, item] = WrittenNames(element);
    if (cells[kMemberColumn] != Cleaned(fields.member) || DecodeCharacterReferences(member) != fields.member ||
        DecodeCharacterReferences(item) != fields.item)
        __builtin_trap();
    // The amounts and the tab that the totals sum and the alerts read are those the cells show.
    if (fields.tab != cells[kToTabColumn] ||
        (fields.money && GoldText(std::to_string(*fields.money)) != cells[kGoldColumn]) ||
        (fields.itemCount && (cells[kCountColumn].empty() || !AllDigits(cells[kCountColumn]))))
        __builtin_trap();
    if (fields.type && InActionGroup(ActionGroup::Items, fields.type) != (*fields.type == 1 || *fields.type == 2))
        __builtin_trap();
    return 0;
}
