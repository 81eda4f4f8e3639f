// SPDX-License-Identifier: MIT
#include "analysis/tables/transaction_totals.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

namespace coffer {
namespace {

BankLogEntry Item(const std::string& player, const std::string& type, const std::string& count,
                  const std::string& quality, const std::string& value = kNoValue) {
    BankLogEntry e;
    e.player = player;
    e.type = type;
    e.count = count;
    e.quality = quality;
    e.itemName = "Iron+Nails";
    e.value = value;
    return e;
}

BankLogEntry Gold(const std::string& player, const std::string& type, const std::string& money) {
    BankLogEntry e;
    e.player = player;
    e.type = type;
    e.money = money;
    e.value = GoldValueOf(e);
    return e;
}

std::vector<std::string> Row(const StatsTable& table, std::size_t row) {
    std::vector<std::string> cells;
    for (std::size_t c = 0; c < table.columnCount(); ++c)
        cells.emplace_back(table.cell(row, c));
    return cells;
}

struct Totals {
    StatsTable members = MakeMemberTable();
    StatsTable items = MakeItemTable();
    MemberTotals running;
    void add(const std::vector<BankLogEntry>& entries) {
        for (const BankLogEntry& e : entries)
            AddEntry(e, running, items);
        FinishMemberTable(std::move(running), members);
    }
};

TEST(TransactionTotals, MemberRowsEndInTheirFinalFormat) {
    struct Case {
        const char* what;
        std::vector<BankLogEntry> entries;
        std::string row; // the cells joined by spaces
        std::uint64_t leftOut = 0;
    };
    const Case cases[] = {
        {"item deposit, gold deposit and repair",
         {Item("Ann", "1", "20", "00001"), Gold("Ann", "4", "123456"), Gold("Ann", "6", "35000")},
         "Ann +000002 +000001 +000001 +000020 +000000 +000020 +00000.00 +00000.00 +00000.00 +00012.00 +00000.00 "
         "-00004.00 +00008.00"},
        {"half a gold twice makes a whole gold",
         {Gold("Cy", "4", "5000"), Gold("Cy", "4", "5000")},
         "Cy +000002 +000000 +000002 +000000 +000000 +000000 +00000.00 +00000.00 +00000.00 +00001.00 +00000.00 "
         "+00000.00 +00001.00"},
        {"item withdrawals keep their silver",
         {Item("Di", "2", "1", "00001", "00012.05"), Item("Di", "2", "1", "00001", "00012.05")},
         "Di +000000 +000002 -000002 +000000 +000002 -000002 +00000.00 +00024.10 -00024.10 +00000.00 +00000.00 "
         "+00000.00 -00024.10"},
        {"quality totals beyond 16 bits are kept",
         {Item("Ed", "2", "3", "00050"), Item("Ed", "2", "700", "00100")},
         "Ed +000000 +000002 -000002 +000000 +070150 -070150 +00000.00 +00000.00 +00000.00 +00000.00 +00000.00 "
         "+00000.00 +00000.00"},
        {"an item without a weight counts but adds no quality",
         {Item("Fi", "1", "4", ""), Item("Fi", "1", "2", "1/"), Item("Fi", "1", "5", "00010")},
         "Fi +000003 +000000 +000003 +000050 +000000 +000050 +00000.00 +00000.00 +00000.00 +00000.00 +00000.00 "
         "+00000.00 +00000.00"},
        {"gold withdrawals, repairs and other types",
         {Gold("Gil", "5", "500000"), Gold("Gil", "3", "90000"), Gold("Gil", "6", "5000"), Gold("Gil", "", "1")},
         "Gil +000000 +000002 -000002 +000000 +000000 +000000 +00000.00 +00000.00 +00000.00 +00000.00 -00050.00 "
         "-00000.50 -00050.50"},
        // The widest cells: sums of the widest amounts are kept whole; wider amounts are left out, and counted.
        {"a difference beyond 64 bits",
         {Item("Ka", "1", "1", "00001", "92233720368547758.07"), Item("Ka", "2", "1", "00001", "-00000.01")},
         "Ka +000001 +000001 +000000 +000001 +000001 +000000 +92233720368547758.07 -00000.01 +92233720368547758.08 "
         "+00000.00 +00000.00 +00000.00 +92233720368547758.08"},
        {"the widest quality product, and one more",
         {Item("Li", "1", "922337203685477.58", "100"), Item("Li", "1", "1", "00001")},
         "Li +000002 +000000 +000002 +92233720368547759 +000000 +92233720368547759 +00000.00 +00000.00 +00000.00 "
         "+00000.00 +00000.00 +00000.00 +00000.00"},
        {"the widest values add up; a wider value or product, and money beyond 10^12 copper, are left out",
         {Item("Pa", "1", "1", "00001", "92233720368547758.07"), Item("Pa", "1", "1", "00001", "92233720368547758.07"),
          Item("Pa", "1", "1", "00001", "92233720368547758.07"), Item("Pa", "1", "92233720368547758", "00100"),
          Item("Pa", "1", "1", "00001", "92233720368547758.08"), Gold("Pa", "4", "1000000000000"),
          Gold("Pa", "4", "1000000000001"), Gold("Pa", "6", "-99999999999999999999")},
         "Pa +000007 +000001 +000006 +000004 +000000 +000004 +276701161105643274.21 +00000.00 +276701161105643274.21 "
         "+100000000.00 +00000.00 +00000.00 +276701161205643274.21",
         4},
        // A first value is kept as the log wrote it until a sum replaces it.
        {"a first value as written",
         {Item("Mo", "1", "1", "00001", "12.5"), Gold("Mo", "6", "5000")},
         "Mo +000001 +000001 +000000 +000001 +000000 +000001 +00012.05 +00000.00 +00012.50 +00000.00 +00000.00 "
         "-00000.50 +00012.00"},
        {"gold to the nearest whole, or half of one below a gold; no gold from bad money or an item type",
         {Gold("Hu", "4", "45001"), Gold("Hu", "4", "9999990000"), Gold("Hu", "4", "9999"), Gold("Hu", "4", "12x"),
          Gold("Hu", "1", "50000")},
         "Hu +000005 +000000 +000005 +000000 +000000 +000000 +00000.00 +00000.00 +00000.00 +1000004.50 +00000.00 "
         "+00000.00 +1000004.50"},
        {"values that are not numbers add nothing",
         {Item("Ol", "1", "x", "00001", "abc"), Item("Ol", "1", "2", "00010", "+3"), Item("Ol", "2", "1", "", "1.2.3")},
         "Ol +000002 +000001 +000001 +000020 +000000 +000020 +00003.00 +00000.00 +00003.00 +00000.00 +00000.00 "
         "+00000.00 +00003.00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Totals totals;
        totals.add(c.entries);
        EXPECT_EQ(totals.running.leftOut(), c.leftOut);
        ASSERT_EQ(totals.members.rowCount(), 1u);
        std::string row;
        for (const std::string& cell : Row(totals.members, 0))
            row += (row.empty() ? "" : " ") + cell;
        EXPECT_EQ(row, c.row);
    }
}

TEST(TransactionTotals, RowsFollowTheLogAndOnlyItemTransactionsListItems) {
    Totals totals;
    BankLogEntry priced = Item("Ann", "1", "20", "00001", "00003.40");
    priced.itemId = "30011";
    // Names beyond 1 KiB are cut at a character boundary, after entries are told apart by the whole name.
    const std::string longName = std::string(1023, 'L') + "\xC3\xA9 and more";
    BankLogEntry longer = Item(longName + "!", "1", "1", "00001");
    longer.itemName = std::string(1100, 'I');
    totals.add({Gold("zed", "3", "1"), priced, Gold("ann", "4", "10000"), Item("Ann", "2", "2", "00010"),
                Gold("Ann", "7", "1"), Item("Bob", "3", "1", "00001"), Gold(longName, "4", "1"), longer});
    ASSERT_EQ(totals.members.rowCount(), 4u); // "Ann" and "ann" differ; types 3 and 7 create nobody
    for (const auto& [cell, name] : {std::pair(totals.members.cell(2, kCharacter), std::string(1023, 'L')),
                                     {totals.members.cell(3, kCharacter), std::string(1023, 'L')},
                                     {totals.items.cell(2, kItem), std::string(1024, 'I')},
                                     {totals.items.cell(2, kItemMember), std::string(1023, 'L')}})
        EXPECT_EQ(cell, name);
    EXPECT_EQ(totals.running.cutNames(), 4u);
    EXPECT_EQ(totals.members.distinctTexts(kCharacter).size(), 4u); // rows find their names, cut ones too
    EXPECT_EQ(totals.members.cell(0, kCharacter), "Ann");
    EXPECT_EQ(totals.members.cell(1, kCharacter), "ann");
    EXPECT_EQ(totals.members.cell(0, kTotalValue), "+00003.40");
    ASSERT_EQ(totals.items.rowCount(), 3u);
    EXPECT_EQ(Row(totals.items, 0),
              (std::vector<std::string>{"Iron Nails", "00001", "20", "00003.40", "Deposit", "Ann", "30011"}));
    EXPECT_EQ(Row(totals.items, 1),
              (std::vector<std::string>{"Iron Nails", "00010", "2", "00000.00", "Withdrawal", "Ann", ""}));
}

// The tables are copied (a run starts from a copy of the window's); a copy must stand on its own.
TEST(TransactionTotals, ACopiedTableOutlivesItsOriginal) {
    auto original = std::make_unique<StatsTable>(MakeItemTable());
    const std::array<std::string_view, kItemColumnCount> row = {"Iron Ore", "00001", "20", "", "Deposit", "Ann", ""};
    original->appendRow(row);
    StatsTable copy = *original;
    StatsTable assigned = MakeItemTable();
    assigned = *original;
    original.reset();
    for (StatsTable* table : {&copy, &assigned}) {
        table->appendRow(row);
        ASSERT_EQ(table->rowCount(), 2u);
        EXPECT_EQ(table->distinctTexts(0).size(), 1u); // the same name, found again
        EXPECT_EQ(Row(*table, 1), Row(*table, 0));
    }
}

} // namespace
} // namespace coffer
