// SPDX-License-Identifier: MIT
#include "ledger/ledger_store.h"

#include "analysis/text/web_text.h"
#include "ledger/entry_order.h"

#include <algorithm>
#include <map>

namespace coffer {

std::string GuildText(const GuildIdentity& guild) {
    return CleanText(guild.name) + " of " + CleanText(guild.realm);
}

std::uint64_t CheckedCopies(std::int64_t copies, bool whole, const std::string& name) {
    if (!whole || copies < 1 || copies > static_cast<std::int64_t>(kMaxCopies))
        throw LedgerError(LedgerErrorKind::Damaged, name + " is damaged: " + kBadCopiesReason);
    return static_cast<std::uint64_t>(copies);
}
LedgerTotals CheckedTotals(std::int64_t rows, std::int64_t copies, std::int64_t untimed, bool whole,
                           const std::string& name) {
    if (rows != 1 || !whole || untimed < 0 || untimed > copies)
        throw LedgerError(LedgerErrorKind::Damaged, name + " is damaged: " + kBadTotalsReason);
    return {.entries = static_cast<std::uint64_t>(copies),
            .untimed = static_cast<std::uint64_t>(untimed),
            .firstTs = std::nullopt,
            .lastTs = std::nullopt};
}

void LedgerStore::readAtOnce(const std::function<void()>& read) {
    if (reading_)
        return read();
    beginRead();
    reading_ = true;
    try {
        read();
    } catch (...) {
        reading_ = false;
        endRead(false);
        throw;
    }
    reading_ = false;
    endRead(true);
}

namespace {

// An entry's place in the list.
struct ListPlace {
    EntryOrder order;
    std::string key;
    std::uint64_t copies = 0;
};

bool ListsBefore(const ListPlace& a, const ListPlace& b) {
    return ComesBefore(a.order, a.key, b.order, b.key);
}

} // namespace

std::uint64_t LedgerStore::countFromTexts(const EntryListFilter& filter) {
    std::uint64_t copies = 0;
    forEachEntry(filter.period, [&](const LedgerEntry& entry) {
        if (PassesFilter(filter, ReadEntryFields(entry.text), entry.ts))
            copies += entry.copies;
    });
    return copies;
}

ListTotals LedgerStore::totalsFromTexts(const EntryListFilter& filter) {
    ListTotals totals;
    forEachEntry(filter.period, [&](const LedgerEntry& entry) {
        const EntryFields fields = ReadEntryFields(entry.text);
        if (!PassesFilter(filter, fields, entry.ts))
            return;
        if (!AddToTotals(totals, fields.type, fields.money, fields.itemCount, static_cast<std::int64_t>(entry.copies)))
            throw LedgerError(LedgerErrorKind::Other, name() + ": " + kTotalsTooLargeReason);
    });
    return totals;
}

std::vector<ListedRow> LedgerStore::rowsFromTexts(const EntryListFilter& filter, std::uint64_t first,
                                                  std::uint64_t count) {
    // Two passes: the places of every entry that passes, then the texts of those in the window.
    std::vector<ListPlace> places;
    forEachEntry(filter.period, [&](const LedgerEntry& entry) {
        if (PassesFilter(filter, ReadEntryFields(entry.text), entry.ts))
            places.push_back({entry.order, entry.key, entry.copies});
    });
    std::ranges::sort(places, ListsBefore);
    std::map<std::string, std::uint64_t> wanted; // key to the entry's first row
    std::uint64_t row = 0;
    for (const ListPlace& place : places) {
        if (row >= first + count)
            break;
        if (row + place.copies > first)
            wanted.emplace(place.key, row);
        row += place.copies;
    }
    std::vector<std::pair<std::uint64_t, ListedRow>> found;
    forEachEntry(filter.period, [&](const LedgerEntry& entry) {
        if (const auto at = wanted.find(entry.key); at != wanted.end())
            for (std::uint64_t copy = 0; copy < entry.copies; ++copy)
                if (at->second + copy >= first && at->second + copy < first + count)
                    found.push_back({at->second + copy, ListedRow{entry.text, entry.ts}});
    });
    std::ranges::sort(found, {}, &std::pair<std::uint64_t, ListedRow>::first);
    std::vector<ListedRow> rows;
    for (auto& [at, listed] : found)
        rows.push_back(std::move(listed));
    return rows;
}

std::string GuildRefusal(const std::optional<GuildIdentity>& ledgerGuild, const std::vector<GuildIdentity>& named) {
    if (named.size() > 1) {
        std::string names;
        for (const GuildIdentity& guild : named)
            names += (names.empty() ? "" : ", ") + GuildText(guild);
        return "The paste names more than one guild (" + names + "); a ledger holds one guild.";
    }
    if (ledgerGuild && named.size() == 1 &&
        (named[0].name != ledgerGuild->name || named[0].realm != ledgerGuild->realm))
        return "The paste is of the guild " + GuildText(named[0]) + ", but the ledger holds the guild " +
               GuildText(*ledgerGuild) + ".";
    return {};
}

bool ForEachEntryCells(LedgerStore& store, const EntryListFilter& filter, EntrySort sort,
                       const std::function<void(const EntryCells&)>& visit) {
    const auto cells = [&](const ListedRow& row) { visit(MakeEntryCells(row.text, row.ts)); };
    if (sort.column == EntrySortColumn::Time) {
        store.forEachListed(filter, cells, sort.reversed);
        return true;
    }
    bool sorted = false;
    store.readAtOnce([&] {
        const std::optional<SortedList> list = store.sortListed(filter, sort);
        if (!list)
            return;
        sorted = true;
        constexpr std::uint64_t kRowsAtOnce = 1000;
        for (std::uint64_t first = 0; first < list->rows; first += kRowsAtOnce)
            for (const ListedRow& row : store.sortedRows(filter, *list, first, kRowsAtOnce))
                cells(row);
    });
    return sorted;
}

} // namespace coffer
