// SPDX-License-Identifier: MIT
#include "ledger/ledger_sql.h"

#include "ledger/entry_order.h"

#include <algorithm>
#include <deque>
#include <tuple>

namespace coffer {
namespace {

// The filter as a condition on the entry table, with its parameters.
struct Condition {
    std::string sql;
    std::deque<std::string> texts; // kept here, where they never move: the parameters view them
    std::vector<SqlValue> params;

    bool empty() const { return sql.empty(); }
    std::string where() const { return empty() ? "true" : sql; }
    void add(const std::string& part) { sql += (sql.empty() ? "" : " AND ") + part; }
    // A parameter's name ($N) in the statement.
    std::string param(SqlValue value) {
        params.push_back(value);
        return "$" + std::to_string(params.size());
    }
    std::string bytes(std::string text) { return param(std::string_view(texts.emplace_back(std::move(text)))); }
};

// The ledger's names with their ids, read again when others were added since they were read. Names are
// never taken out, so their count tells whether there are new ones.
const std::vector<ListNames::Name>& KnownNames(LedgerSql& sql, ListNames& known) {
    std::int64_t count = 0;
    sql.run("SELECT CAST(count(*) AS bigint) FROM entry_name", {}, [&](const SqlRow& row) { count = row.integer(0); });
    if (static_cast<std::size_t>(count) != known.names.size()) {
        known.names.clear();
        sql.run("SELECT id, fold FROM entry_name", {}, [&](const SqlRow& row) {
            known.names.push_back({row.integer(0), std::string(row.bytes(1))});
        });
    }
    return known.names;
}

// Of so few names, a search finds the entries through the indexes of names; with more, by reading the
// names' ids of every entry in the list's index, which then mostly match anyway.
constexpr std::size_t kFewNamesShare = 10; // at most one name in ten
// The highest id a search's map of ids holds, per name.
constexpr std::uint64_t kMappedIdsPerName = 4;

// The ids of the names that hold `search`, letter case ignored.
std::vector<std::int64_t> MatchedNames(LedgerSql& sql, ListNames& known, const std::string& search) {
    const std::string folded = FoldedCase(search);
    std::vector<std::int64_t> found;
    for (const ListNames::Name& name : KnownNames(sql, known))
        if (name.folded.find(folded) != std::string::npos)
            found.push_back(name.id);
    return found;
}

// Whether the name id in each of `columns` is one of `found`, a name of the `names` the ledger holds, as a
// condition of the entries, one for each column. Of few, the columns are compared with a list of the
// ids, through their indexes where `indexed`; of more, with a byte for each id, 1 where the name is
// found: a look into it costs less than one into a list of the ids.
std::vector<std::string> FoundNames(LedgerSql& sql, const std::vector<std::int64_t>& found, std::size_t names,
                                    std::initializer_list<const char*> columns, bool indexed, Condition& condition) {
    std::vector<std::string> tests;
    if (found.empty()) {
        tests.assign(columns.size(), "false");
        return tests;
    }
    const auto [lowest, highest] = std::ranges::minmax(found);
    // The ledger gives ids from 1 up; another program may not have.
    if (found.size() * kFewNamesShare <= names || lowest < 0 ||
        static_cast<std::uint64_t>(highest) > kMappedIdsPerName * names) {
        std::string ids;
        for (const std::int64_t id : found)
            ids += (ids.empty() ? "" : ", ") + std::to_string(id);
        for (const char* column : columns)
            tests.push_back(std::string(indexed ? "" : "+") + column + " IN (" + ids + ")");
        return tests;
    }
    std::string marks(static_cast<std::size_t>(highest) + 1, '\0');
    for (const std::int64_t id : found)
        marks[static_cast<std::size_t>(id)] = '\1';
    const std::string map = condition.bytes(std::move(marks));
    for (const char* column : columns)
        tests.push_back(sql.dialect().marked(map, column));
    return tests;
}

// The entries whose member's or item's name holds `search`, letter case ignored, as a condition.
std::string SearchCondition(LedgerSql& sql, ListNames& known, const std::string& search, Condition& condition) {
    const std::vector<std::int64_t> found = MatchedNames(sql, known, search);
    if (found.empty())
        return "false";
    // An id of a member's name never stands for an item, nor the other way round: both columns are
    // compared with the one set. Of few names the indexes of names find the entries; of more, the
    // entries mostly match anyway, and their ids are read from the list's index.
    const std::size_t names = known.names.size();
    const std::vector<std::string> tests =
        FoundNames(sql, found, names, {"member_id", "item_id"}, found.size() * kFewNamesShare <= names, condition);
    return "(" + tests[0] + " OR " + tests[1] + ")";
}

Condition ConditionOf(LedgerSql& sql, ListNames& known, const EntryListFilter& filter) {
    Condition condition;
    if (filter.period) {
        // The first condition: its times are $1 and $2.
        condition.param(TimeParam(filter.period->first));
        condition.param(TimeParam(filter.period->last));
        condition.add(kInPeriod);
    }
    if (filter.member) {
        // CountsAsMember: the name, and those that go on after it with a space, which sort between the
        // name and a space after it and the name and "!" after it, the byte after the space.
        const std::string& name = *filter.member;
        condition.add("member_id IN (SELECT id FROM entry_name WHERE name = " + condition.bytes(name) +
                      " OR (name >= " + condition.bytes(name + ' ') + " AND name < " + condition.bytes(name + '!') +
                      "))");
    }
    if (filter.item)
        condition.add("item_id = (SELECT id FROM entry_name WHERE name = " + condition.bytes(*filter.item) + ")");
    if (!filter.search.empty())
        condition.add(SearchCondition(sql, known, filter.search, condition));
    if (filter.action != ActionGroup::All) {
        // The types of the group, by the one rule that the cells and the list from texts follow too.
        std::string types;
        for (std::int64_t type = 1; type <= 6; ++type)
            if (InActionGroup(filter.action, type))
                types += (types.empty() ? "" : ", ") + std::to_string(type);
        condition.add("type IN (" + types + ")");
    }
    return condition;
}

// The list's order, newest first, or (`reversed`) oldest first: the ledger's order of its entries. The
// list's index serves it up to the key, which the server's index holds too; the file's holds the row id
// in its place, so there the entries of one time and rank are put in order apart.
std::string ListOrder(bool reversed) {
    return reversed ? kReversedEntryOrderSql : kEntryOrderSql;
}

} // namespace

std::string IdOf(const LedgerSql& sql, const SqlRow& row, int column) {
    if (!sql.dialect().numberIds)
        return std::string(row.bytes(column));
    const auto number = static_cast<std::uint64_t>(row.integer(column));
    std::string id(8, '\0');
    for (std::size_t at = 0; at < 8; ++at)
        id[at] = static_cast<char>(number >> (8 * at));
    return id;
}

namespace {

// Up to 8 bytes, the lowest first, as a number.
std::uint64_t NumberOfBytes(std::string_view bytes) {
    std::uint64_t number = 0;
    for (std::size_t at = 0; at < bytes.size() && at < 8; ++at)
        number |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[at])) << (8 * at);
    return number;
}

std::int64_t NumberOfId(const std::string& id) {
    return static_cast<std::int64_t>(NumberOfBytes(id));
}

} // namespace

namespace {

// The count of the list, from the running sums or through the list's index.
std::uint64_t CountOfEntries(LedgerSql& sql, ListNames& names, const EntryListFilter& filter) {
    const Condition condition = ConditionOf(sql, names, filter);
    std::uint64_t copies = 0;
    if (condition.empty()) { // the running sum
        std::int64_t rows = 0, stored = 0, untimed = 0;
        bool whole = true;
        sql.run("SELECT copies, untimed FROM entry_totals", {}, [&](const SqlRow& row) {
            ++rows;
            whole = whole && row.isInteger(0) && row.isInteger(1);
            stored = row.integer(0);
            untimed = row.integer(1);
        });
        return CheckedTotals(rows, stored, untimed, whole, sql.name()).entries;
    }
    // The entries' copies are checked as their rows are read: checking them here too would slow every
    // keystroke of a search by a third.
    sql.runWith("SELECT CAST(coalesce(sum(copies), 0) AS bigint) FROM entry WHERE " + condition.where(),
                condition.params, [&](const SqlRow& row) { copies = static_cast<std::uint64_t>(row.integer(0)); });
    return copies;
}

} // namespace

std::vector<ListedRow> ListRows(LedgerSql& sql, ListNames& names, const EntryListFilter& filter, std::uint64_t first,
                                std::uint64_t count, std::uint64_t total) {
    if (count == 0 || first >= total)
        return {};
    count = std::min(count, total - first);
    // The running sum of copies, from whichever end is nearer, finds the entries of the rows: it walks
    // the list's index from that end to the window, and no further.
    const bool fromEnd = first > total - (first + count);
    Condition condition = ConditionOf(sql, names, filter);
    const std::string id = sql.dialect().entryId, order = ListOrder(fromEnd);
    const std::uint64_t skip = fromEnd ? total - (first + count) : first;
    const std::string skipParam = condition.param(static_cast<std::int64_t>(skip));
    // Every entry holds a copy at least: the rows wanted lie among the first skip + count entries, whose
    // running sum is all that is read. Of those, the ones past the skipped are taken in the order of
    // their sums: the order of a subquery is not kept by the query around it.
    const std::string rowsParam = condition.param(static_cast<std::int64_t>(skip + count));
    const std::string limitParam = condition.param(static_cast<std::int64_t>(count));
    const std::string query = "SELECT e.text, e.ts, w.copies, w.upto FROM (SELECT " + id +
                              ", copies, upto FROM (SELECT " + id + ", copies, CAST(sum(copies) OVER (ORDER BY " +
                              order + " ROWS UNBOUNDED PRECEDING) AS bigint) AS upto FROM entry WHERE " +
                              condition.where() + " ORDER BY " + order + " LIMIT " + rowsParam + ") s WHERE upto > " +
                              skipParam + " ORDER BY upto LIMIT " + limitParam + ") w JOIN entry e ON e." + id +
                              " = w." + id;
    std::vector<std::pair<std::uint64_t, ListedRow>> found;
    sql.runWith(query, condition.params, [&](const SqlRow& row) {
        const std::uint64_t copies = CheckedCopies(row.integer(2), row.isInteger(2), sql.name()),
                            upto = static_cast<std::uint64_t>(row.integer(3));
        // The count of the same read: more copies up to a row than it counts is damage (running totals
        // below the entries' copies).
        if (upto > total)
            throw LedgerError(LedgerErrorKind::Damaged, sql.name() + " is damaged: " + kTotalsBelowEntriesReason);
        const std::uint64_t start = fromEnd ? total - upto : upto - copies;
        for (std::uint64_t at = std::max(start, first); at < std::min(start + copies, first + count); ++at)
            found.push_back({at, ListedRow{std::string(row.bytes(0)), row.optionalInteger(1)}});
    });
    std::ranges::sort(found, {}, &std::pair<std::uint64_t, ListedRow>::first);
    std::vector<ListedRow> rows;
    rows.reserve(found.size());
    for (auto& [at, listed] : found)
        rows.push_back(std::move(listed));
    return rows;
}

namespace {

// The totals of the entries that pass the condition, read through the list's index: in the same pass, where
// given, as the column `first` of the same entries, which `readFirst` is handed.
ListTotals SumOfEntries(LedgerSql& sql, const Condition& condition, const std::string& first = {},
                        const std::function<void(const SqlRow&)>& readFirst = {}) {
    const std::string before = first.empty() ? "SELECT " : "SELECT " + first + ", ";
    const int at = first.empty() ? 0 : 1; // the column of the first sum
    ListTotals totals;
    if (const char* oneAggregate = sql.dialect().listSums) {
        sql.runWith(
            before + oneAggregate + " FROM entry WHERE " + condition.where(), condition.params, [&](const SqlRow& row) {
                if (readFirst)
                    readFirst(row);
                const std::string_view sums = row.bytes(at);
                if (sums.size() != 8 * std::size(kListSums))
                    throw LedgerError(LedgerErrorKind::Other, sql.name() + ": the list's totals were not read");
                for (std::size_t sum = 0; sum < std::size(kListSums); ++sum)
                    totals.*kListSums[sum].sum = static_cast<std::int64_t>(NumberOfBytes(sums.substr(8 * sum, 8)));
            });
        return totals;
    }
    // Each sum of the list's index as it is read, without grouping: a group by type would sort every row.
    std::string sums;
    for (const ListSum& summed : kListSums)
        sums += std::string(sums.empty() ? "" : ", ") + "CAST(sum(" + (summed.money ? "money" : "item_count") +
                " * copies) FILTER (WHERE type = " + std::to_string(summed.type) + ") AS bigint)";
    sql.runWith(before + sums + " FROM entry WHERE " + condition.where(), condition.params, [&](const SqlRow& row) {
        if (readFirst)
            readFirst(row);
        for (int sum = 0; sum < static_cast<int>(std::size(kListSums)); ++sum)
            totals.*kListSums[sum].sum = row.optionalInteger(at + sum).value_or(0);
    });
    return totals;
}

ListTotals SumOfEntries(LedgerSql& sql, ListNames& names, const EntryListFilter& filter) {
    return SumOfEntries(sql, ConditionOf(sql, names, filter));
}

// Why a ledger is damaged whose kept sums of the totals are not whole numbers from 0 up.
constexpr const char* kBadSumsReason = "its sums of the list's totals are not whole numbers from 0 up";

// The sums that the add keeps, of the rows of `table` that pass `where`: of the hours of entry_hours, or
// (entry_totals, which holds one row) of the untimed entries. Each is checked as it is read: a sum that
// is not a whole number from 0 up is damage.
ListTotals KeptSums(LedgerSql& sql, const std::string& table, const std::string& where,
                    std::span<const SqlValue> params) {
    std::string sums, good;
    for (const ListSum& summed : kListSums) {
        sums += std::string("CAST(coalesce(sum(") + summed.column + "), 0) AS bigint), ";
        good += std::string(good.empty() ? "" : " AND ") + summed.column + " >= 0 AND " + summed.column + " = CAST(" +
                summed.column + " AS bigint)";
    }
    ListTotals totals;
    sql.runWith("SELECT " + sums + "count(*), count(*) FILTER (WHERE (" + good + ") IS NOT TRUE) FROM " + table +
                    (where.empty() ? "" : " WHERE " + where),
                params, [&](const SqlRow& row) {
                    const int columns = static_cast<int>(std::size(kListSums));
                    if (row.integer(columns + 1) != 0 || (table == "entry_totals" && row.integer(columns) != 1))
                        throw LedgerError(LedgerErrorKind::Damaged, sql.name() + " is damaged: " + kBadSumsReason);
                    for (int column = 0; column < columns; ++column)
                        totals.*kListSums[column].sum = row.integer(column);
                });
    return totals;
}

// The totals of a filter without a member, an item or a search, from the sums the add keeps: those of the
// untimed entries and of every hour, or those of the period's whole hours with the entries of the part
// hours at its ends (a period may start and end anywhere in an hour); of the sums the Action choice counts.
ListTotals SumByHours(LedgerSql& sql, ListNames& names, const EntryListFilter& filter) {
    ListTotals totals;
    const auto add = [&](ListTotals part, bool kept) {
        for (const ListSum& summed : kListSums)
            if (kept && !InActionGroup(filter.action, summed.type))
                part.*summed.sum = 0;
        if (!AddTotals(totals, part))
            throw LedgerError(LedgerErrorKind::Other, sql.name() + ": " + kTotalsTooLargeReason);
    };
    if (!filter.period) {
        add(KeptSums(sql, "entry_totals", {}, {}), true);
        add(KeptSums(sql, "entry_hours", {}, {}), true);
        return totals;
    }
    // No entry lies past the latest time: the hours' ends are reckoned within 64 bits. An hour holds the
    // entries from its start to its end, but for hour 0, which also holds those just before 1970, and so
    // is never whole.
    const auto hourMs = static_cast<std::uint64_t>(kMsPerHour);
    const std::uint64_t first = filter.period->first, last = static_cast<std::uint64_t>(TimeParam(filter.period->last));
    const std::uint64_t from = std::max<std::uint64_t>(1, first / hourMs + (first % hourMs != 0)),
                        end = last / hourMs + (last % hourMs == hourMs - 1);
    if (first > last || from >= end)
        return SumOfEntries(sql, names, filter);
    const auto entriesOf = [&](std::uint64_t partFirst, std::uint64_t partLast) {
        EntryListFilter part = filter;
        part.period = TimeRange{partFirst, partLast};
        add(SumOfEntries(sql, names, part), false);
    };
    if (first < from * hourMs)
        entriesOf(first, from * hourMs - 1);
    const SqlValue hours[] = {static_cast<std::int64_t>(from), static_cast<std::int64_t>(end)};
    add(KeptSums(sql, "entry_hours", "hour >= $1 AND hour < $2", hours), true);
    if (end * hourMs <= last)
        entriesOf(end * hourMs, last);
    return totals;
}

// Whether the sums per hour answer the totals of the filter.
bool SummedByHours(const EntryListFilter& filter, SumsKept kept) {
    return kept.hours && !filter.member && !filter.item && filter.search.empty();
}

// The count and the totals of the entries that pass `condition`, through the list's index.
CountedTotals CountAndSumOfEntries(LedgerSql& sql, const Condition& condition) {
    CountedTotals counted;
    counted.sums = SumOfEntries(sql, condition, "CAST(coalesce(sum(copies), 0) AS bigint)", [&](const SqlRow& row) {
        counted.copies = static_cast<std::uint64_t>(row.integer(0));
    });
    return counted;
}

// `into` gains (or, where `less`, loses) `more`; a result past 64 bits or below 0 is damage.
void AddCounted(CountedTotals& into, const CountedTotals& more, bool less, const LedgerSql& sql) {
    bool fits = less ? !__builtin_sub_overflow(into.copies, more.copies, &into.copies)
                     : !__builtin_add_overflow(into.copies, more.copies, &into.copies);
    for (const ListSum& summed : kListSums) {
        std::int64_t& sum = into.sums.*summed.sum;
        fits = fits &&
               (less ? !__builtin_sub_overflow(sum, more.sums.*summed.sum, &sum)
                     : !__builtin_add_overflow(sum, more.sums.*summed.sum, &sum)) &&
               sum >= 0;
    }
    if (!fits)
        throw LedgerError(LedgerErrorKind::Damaged, sql.name() + " is damaged: " + kBadSumsReason);
}

// The count and totals of a search alone, from the sums the names keep: the entries of the names it
// matches as items (of any member), and those of the members it matches whose item it does not match;
// or, where those members' entries are the more, everything but the entries of the other members (and of
// no member) whose item it does not match. Either way the entries read are those of the fewer members,
// through the index of members, which holds their items. None for another filter, or a search of so few
// names that the indexes of names find their entries at once.
std::optional<CountedTotals> SumOfSearch(LedgerSql& sql, ListNames& known, const EntryListFilter& filter,
                                         SumsKept kept) {
    if (!kept.names || !kept.hours || filter.search.empty() || filter.period || filter.member || filter.item ||
        filter.action != ActionGroup::All)
        return std::nullopt;
    const std::vector<std::int64_t> found = MatchedNames(sql, known, filter.search);
    if (found.size() * kFewNamesShare <= known.names.size())
        return std::nullopt;
    std::vector<std::int64_t> sorted = found;
    std::ranges::sort(sorted);
    CountedTotals matchedItems, matchedMembers;
    std::string members, otherMembers, columns;
    for (const char* role : kNameRoles)
        for (const std::string& column : NameSumColumns(role))
            columns += ", " + column;
    const int perRole = static_cast<int>(kCountedValues);
    sql.run("SELECT id" + columns + " FROM entry_name", {}, [&](const SqlRow& row) {
        const auto sumsOf = [&](int first) {
            CountedTotals sums;
            for (int column = first; column < first + perRole; ++column)
                if (!row.isInteger(column) || row.integer(column) < 0)
                    throw LedgerError(LedgerErrorKind::Damaged, sql.name() + " is damaged: " + kBadSumsReason);
            sums.copies = static_cast<std::uint64_t>(row.integer(first));
            for (int sum = 0; sum < perRole - 1; ++sum)
                sums.sums.*kListSums[sum].sum = row.integer(first + 1 + sum);
            return sums;
        };
        const std::int64_t id = row.integer(0);
        const bool matched = std::ranges::binary_search(sorted, id);
        const CountedTotals asMember = sumsOf(1), asItem = sumsOf(1 + perRole);
        if (matched) {
            AddCounted(matchedMembers, asMember, false, sql);
            AddCounted(matchedItems, asItem, false, sql);
        }
        if (asMember.copies > 0) {
            std::string& list = matched ? members : otherMembers;
            list += (list.empty() ? "" : ", ") + std::to_string(id);
        }
    });
    // The entries whose member passes `member` and whose item is not found.
    const auto unmatchedItems = [&](const std::string& member) {
        Condition condition;
        condition.add(member);
        condition.add("(" + FoundNames(sql, found, known.names.size(), {"item_id"}, false, condition)[0] +
                      ") IS NOT TRUE");
        return CountAndSumOfEntries(sql, condition);
    };
    const auto among = [](const std::string& ids) { return ids.empty() ? "false" : "member_id IN (" + ids + ")"; };
    const std::uint64_t entries = CountOfEntries(sql, known, {});
    if (matchedMembers.copies <= entries - std::min(entries, matchedMembers.copies)) {
        AddCounted(matchedItems, unmatchedItems(among(members)), false, sql);
        return matchedItems;
    }
    CountedTotals everything{entries, SumByHours(sql, known, {})};
    AddCounted(everything, unmatchedItems(among(otherMembers)), true, sql);
    AddCounted(everything, unmatchedItems("member_id IS NULL"), true, sql);
    return everything;
}

} // namespace

std::uint64_t CountListed(LedgerSql& sql, ListNames& names, const EntryListFilter& filter, SumsKept kept) {
    const std::optional<CountedTotals> search = SumOfSearch(sql, names, filter, kept);
    return search ? search->copies : CountOfEntries(sql, names, filter);
}

ListTotals SumListed(LedgerSql& sql, ListNames& names, const EntryListFilter& filter, SumsKept kept) {
    if (const std::optional<CountedTotals> search = SumOfSearch(sql, names, filter, kept))
        return search->sums;
    return SummedByHours(filter, kept) ? SumByHours(sql, names, filter) : SumOfEntries(sql, names, filter);
}

std::pair<std::uint64_t, std::optional<ListTotals>> CountAndSumListed(LedgerSql& sql, ListNames& names,
                                                                      const EntryListFilter& filter, SumsKept kept) {
    if (const std::optional<CountedTotals> search = SumOfSearch(sql, names, filter, kept))
        return {search->copies, search->sums};
    if (SummedByHours(filter, kept))
        return {CountOfEntries(sql, names, filter), SumByHours(sql, names, filter)};
    const Condition condition = ConditionOf(sql, names, filter);
    if (condition.empty()) // counted from the running totals: the sums would read every entry
        return {CountOfEntries(sql, names, filter), std::nullopt};
    // The count reads the entries anyway: the sums of the same entries cost little more.
    const CountedTotals counted = CountAndSumOfEntries(sql, condition);
    return {counted.copies, counted.sums};
}

void ForEachListedEntry(LedgerSql& sql, ListNames& names, const EntryListFilter& filter, bool oldestFirst,
                        const std::function<void(const ListedEntry&)>& visit) {
    const Condition condition = ConditionOf(sql, names, filter);
    const std::string id = sql.dialect().entryId;
    ListedEntry entry;
    sql.runEach("SELECT text, ts, copies, " + id + " FROM entry WHERE " + condition.where() + " ORDER BY " +
                    ListOrder(oldestFirst),
                condition.params, [&](const SqlRow& row) {
                    entry.row.text.assign(row.bytes(0));
                    entry.row.ts = row.optionalInteger(1);
                    entry.copies = CheckedCopies(row.integer(2), row.isInteger(2), sql.name());
                    entry.id = IdOf(sql, row, 3);
                    visit(entry);
                });
}

void ForEachListed(LedgerSql& sql, ListNames& names, const EntryListFilter& filter, bool oldestFirst,
                   const std::function<void(const ListedRow&)>& visit) {
    ForEachListedEntry(sql, names, filter, oldestFirst, [&](const ListedEntry& entry) {
        for (std::uint64_t copy = entry.copies; copy > 0; --copy)
            visit(entry.row);
    });
}

void ForEachWithId(LedgerSql& sql, const std::vector<std::string>& ids,
                   const std::function<void(const std::string& id, const ListedRow&)>& visit) {
    if (ids.empty())
        return;
    Condition condition;
    std::string list;
    for (const std::string& id : ids)
        list += (list.empty() ? "" : ", ") +
                (sql.dialect().numberIds ? condition.param(NumberOfId(id)) : condition.param(std::string_view(id)));
    const std::string column = sql.dialect().entryId;
    sql.runWith("SELECT " + column + ", text, ts FROM entry WHERE " + column + " IN (" + list + ")", condition.params,
                [&](const SqlRow& row) {
                    visit(IdOf(sql, row, 0), ListedRow{std::string(row.bytes(1)), row.optionalInteger(2)});
                });
}

// The list through the ledger's SQL where it has the list's columns and indexes, else from the texts;
// each read one moment of the ledger.
std::uint64_t LedgerStore::countListed(const EntryListFilter& filter) {
    std::uint64_t copies = 0;
    readAtOnce([&] {
        if (!withListSql(
                [&](LedgerSql& sql, ListNames& names) { copies = CountListed(sql, names, filter, sumsKept()); }))
            copies = countFromTexts(filter);
    });
    return copies;
}

ListedPage LedgerStore::listRows(const EntryListFilter& filter, std::uint64_t first, std::uint64_t count,
                                 bool oldestFirst, bool withTotals) {
    ListedPage page;
    readAtOnce([&] {
        if (!withTotals || !listSummed() || !withListSql([&](LedgerSql& sql, ListNames& names) {
                std::tie(page.total, page.totals) = CountAndSumListed(sql, names, filter, sumsKept());
            }))
            page.total = countListed(filter);
        // Oldest first, the rows are those of the list's own order counted from its end, the other way round.
        if (oldestFirst) {
            const std::uint64_t end = first >= page.total ? 0 : page.total - first;
            count = std::min(count, end);
            first = end - count;
        }
        if (!withListSql([&](LedgerSql& sql, ListNames& names) {
                page.rows = ListRows(sql, names, filter, first, count, page.total);
            }))
            page.rows = rowsFromTexts(filter, first, count);
    });
    if (oldestFirst)
        std::ranges::reverse(page.rows);
    return page;
}

ListTotals LedgerStore::listTotals(const EntryListFilter& filter) {
    ListTotals totals;
    readAtOnce([&] {
        if (!listSummed() ||
            !withListSql([&](LedgerSql& sql, ListNames& names) { totals = SumListed(sql, names, filter, sumsKept()); }))
            totals = totalsFromTexts(filter);
    });
    return totals;
}

void LedgerStore::forEachListed(const EntryListFilter& filter, const std::function<void(const ListedRow&)>& visit,
                                bool oldestFirst) {
    readAtOnce([&] {
        if (withListSql(
                [&](LedgerSql& sql, ListNames& names) { ForEachListed(sql, names, filter, oldestFirst, visit); }))
            return;
        // One read of the places and one of the texts: the count would be a read of its own.
        std::vector<ListedRow> rows = rowsFromTexts(filter, 0, UINT64_MAX);
        if (oldestFirst)
            std::ranges::reverse(rows);
        for (const ListedRow& row : rows)
            visit(row);
    });
}

} // namespace coffer
