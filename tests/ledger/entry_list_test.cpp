// SPDX-License-Identifier: MIT
#include "ledger/entry_list.h"
#include "support/time_zone.h"

#include <gtest/gtest.h>

namespace coffer {
namespace {

// The cells of the entries list, every column, from elements as the log writes them.
TEST(EntryList, CellsShowEachColumnAsTheListDoes) {
    const testing::ScopedTimeZone zone(testing::kCentralEuropeanTime);
    const std::tuple<std::string, std::optional<std::int64_t>, EntryCells> cases[] = {
        {R"(<banklog dtab="0" money="0" otab="2" player="Liora" rank="5" ts="1228678626000" type="2">
 <item count="2" id="31001" name="Flask of Steady Hands" qi="1"/>)",
         1228678626000,
         {"2008-12-07 20:37:06", "Liora", "5", "Withdrawal", "Flask of Steady Hands", "2", "", "2", "0"}},
        {R"(<banklog money="7538" player="O&apos;Neil &amp; Sons" type="4"/>)",
         std::nullopt,
         {"", "O'Neil & Sons", "", "Gold deposit", "", "", "0g 75s 38c", "", ""}},
        {R"(<banklog money="500000" player='Tab&#9;Man' type="5"/>)",
         0,
         {"1970-01-01 01:00:00", "Tab\tMan", "", "Gold withdrawal", "", "", "50g 00s 00c", "", ""}},
        {R"(<banklog money="1000000000000" type="6"/>)",
         std::nullopt,
         {"", "", "", "Repair", "", "", "100000000g 00s 00c", "", ""}},
        {R"(<banklog money="1000000000001" type="1"><item name="&quot;Q&quot;"/></banklog>)",
         std::nullopt,
         {"", "", "", "Deposit", "\"Q\"", "1", "1000000000001", "", ""}},
        {"<banklog money=\"-5\" type=\"3\" player=\"a\x01\xff\"/>",
         std::nullopt,
         {"", "a\uFFFD\uFFFD", "", "Move", "", "", "-5", "", ""}},
        {R"(<banklog money="0075" type="17" dtab=""/>)",
         std::nullopt,
         {"", "", "", "17", "", "", "0g 00s 75c", "", ""}},
        {R"(<banklog money="12a" type="x"/>)", std::nullopt, {"", "", "", "x", "", "", "12a", "", ""}},
        {R"(<BANKLOG Player = "Up" TYPE="6" money="000"/>)",
         std::nullopt,
         {"", "Up", "", "Repair", "", "", "", "", ""}},
        {R"(<banklog player="NoType" title="a type=&quot;1&quot;"/>)",
         std::nullopt,
         {"", "NoType", "", "", "", "", "", "", ""}},
    };
    for (const auto& [element, ts, cells] : cases)
        EXPECT_EQ(MakeEntryCells(element, ts), cells) << element;
}

// What the filters test and the totals sum: the type, the names decoded, the amounts and the tab; the
// Action groups of every type.
TEST(EntryList, FieldsAndActionGroups) {
    const EntryFields fields = ReadEntryFields(
        R"(<banklog player="O&apos;Neil" type="2"><item name="Salt &amp; Pepper" count="3"/></banklog>)");
    EXPECT_EQ(fields.type, 2);
    EXPECT_EQ(fields.member, "O'Neil");
    EXPECT_EQ(fields.item, "Salt & Pepper");
    // The amounts the Gold and Count cells show as amounts, and the To tab cell.
    const std::tuple<std::string, std::optional<std::int64_t>, std::optional<std::int64_t>, std::string> amounts[] = {
        {R"(<banklog dtab="0" money="0" type="2"><item count="2" name="Flask"/>)", std::nullopt, 2, "0"},
        {R"(<banklog money="0075" dtab=""><item name="Q"/></banklog>)", 75, 1, ""},
        {R"(<banklog money="1000000000000" dtab="a&amp;b"><item count="0012"/>)", 1'000'000'000'000, 12, "a&amp;b"},
        {R"(<banklog money="1000000000001"><item count="1000000000001"/>)", std::nullopt, std::nullopt, ""},
        {R"(<banklog money="-5"><item count="x"/>)", std::nullopt, std::nullopt, ""},
        {R"(<banklog money="12a" otab="4"><item count="0"/>)", std::nullopt, 0, ""},
        {R"(<banklog money="000"/>)", std::nullopt, std::nullopt, ""},
        // A name written twice counts as first written, whatever its letter case.
        {R"(<banklog MONEY="5" money="7" dtab="1" Dtab="2"><item count="4" COUNT="9"/>)", 5, 4, "1"},
    };
    for (const auto& [element, money, count, tab] : amounts) {
        const EntryFields read = ReadEntryFields(element);
        EXPECT_EQ(read.money, money) << element;
        EXPECT_EQ(read.itemCount, count) << element;
        EXPECT_EQ(read.tab, tab) << element;
        EXPECT_EQ(read.tab, MakeEntryCells(element, std::nullopt)[kToTabColumn]) << element;
    }
    const std::pair<ActionGroup, std::string> groups[] = {
        {ActionGroup::All, "1234567-"}, {ActionGroup::Items, "12"},    {ActionGroup::Gold, "456"},
        {ActionGroup::Repairs, "6"},    {ActionGroup::Deposits, "14"}, {ActionGroup::Withdrawals, "25"}};
    for (const auto& [group, types] : groups)
        for (const char type : std::string("1234567-"))
            EXPECT_EQ(InActionGroup(group, type == '-' ? std::nullopt : std::optional<std::int64_t>(type - '0')),
                      types.find(type) != std::string::npos)
                << static_cast<int>(group) << " " << type;
}

} // namespace
} // namespace coffer
