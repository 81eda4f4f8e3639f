// SPDX-License-Identifier: MIT
#pragma once
// What the add, written once for both stores, asks of a store's connection: statements whose text is
// the same for both, in PostgreSQL's spelling ($N parameters), with the few fragments where the
// dialects differ; the bulk load of an addition's entries; the store's name for messages.

#include "ledger/ledger_store.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace coffer {

// The version whose step gave every entry its key (EntryKey) in a column, in both stores.
constexpr std::int64_t kKeyedVersion = 3;
// The version whose step gave the ledger its counts of entries per hour, in both stores.
constexpr std::int64_t kHourCountsVersion = 4;
// The version whose step gave the entries the list's columns (type, member, item and their folds) and
// indexes, in both stores.
constexpr std::int64_t kListColumnsVersion = 5;
// The version whose step put the names in a table of their own, the entries holding their ids: the list
// reads a ledger through its columns from this version on.
constexpr std::int64_t kListNamesVersion = 6;
// The version whose step gave the entries the amounts of their Count and Gold cells and their To tab
// (item_count, money, tab), and the list's index that holds the amounts, in both stores.
constexpr std::int64_t kListSumsVersion = 7;
// The version whose step gave the ledger its tables of alert rules and fired alerts, and the index of members
// that holds what the rules sum, in both stores.
constexpr std::int64_t kAlertsVersion = 8;
// The version whose step gave the ledger the sums of the list's totals per hour, and of the untimed entries
// beside their running count, in both stores.
constexpr std::int64_t kHourSumsVersion = 8;
// The version whose step gave each name the copies and sums of the list's totals of the entries it is the
// member of and of those it is the item of, and the index of members the entries' items, in both stores.
constexpr std::int64_t kNameSumsVersion = 9;

// The keys of an add's entries, by the entries' places, in parts of kKeysPerPart keys, each part's keys one
// after another in one block of memory rather than each in its own. The parts are laid out for every key
// at the start and a part never moves: the parts made so far may be read while the next are made (see
// KeysMaker), as long as nothing reads size() meanwhile.
class EntryKeys {
  public:
    static constexpr std::size_t kKeysPerPart = 4'096;
    explicit EntryKeys(std::size_t count) : parts_((count + kKeysPerPart - 1) / kKeysPerPart) {}
    void push_back(std::string_view key) {
        Part& part = parts_[size_ / kKeysPerPart];
        if (part.ends.empty()) {
            part.bytes.reserve(kKeysPerPart * key.size());
            part.ends.reserve(kKeysPerPart);
        }
        part.bytes.append(key);
        part.ends.push_back(part.bytes.size());
        ++size_;
    }
    std::size_t size() const { return size_; }
    std::string_view operator[](std::size_t place) const {
        const Part& part = parts_[place / kKeysPerPart];
        const std::size_t at = place % kKeysPerPart, begin = at == 0 ? 0 : part.ends[at - 1];
        return std::string_view(part.bytes).substr(begin, part.ends[at] - begin);
    }

  private:
    struct Part {
        std::string bytes;
        std::vector<std::size_t> ends;
    };
    std::vector<Part> parts_;
    std::size_t size_ = 0;
};

// The list's fields of an add's entries (see EntryFields), each name held once: an entry holds the places
// of its names.
struct IncomingFields {
    struct Row {
        std::optional<std::int64_t> type, money, itemCount;
        std::uint32_t member = 0, item = 0, tab = 0; // in names, names and tabs
    };
    std::vector<Row> rows;          // by the entries' places
    std::vector<std::string> names; // of members and items
    std::vector<std::string> tabs;
    EntryFieldsView view(std::size_t place) const {
        const Row& row = rows[place];
        return {.type = row.type,
                .member = names[row.member],
                .item = names[row.item],
                .money = row.money,
                .itemCount = row.itemCount,
                .tab = tabs[row.tab]};
    }
};

// The ids of an entry's member's and item's names.
using NameIds = std::array<std::int64_t, 2>;

// A name of an add's entries with its folded form and what it gains in each role of kNameRoles.
struct IncomingName {
    std::string_view name;
    std::string fold;
    std::array<CountedTotals, std::size(kNameRoles)> gains;
};

// A parameter: null, a whole number, text (SQLite keeps it as text) or bytes.
struct SqlText {
    std::string_view text;
};
using SqlValue = std::variant<std::nullopt_t, std::int64_t, SqlText, std::string_view>;

// One row of a statement's result, valid during the call it is handed to. Integer columns are bigint.
class SqlRow {
  public:
    virtual bool isNull(int column) const = 0;
    virtual std::int64_t integer(int column) const = 0;
    // Whether the value is stored as an integer: a file's column may hold any type.
    virtual bool isInteger(int column) const = 0;
    virtual std::string_view bytes(int column) const = 0;
    std::optional<std::int64_t> optionalInteger(int column) const {
        return isNull(column) ? std::nullopt : std::optional(integer(column));
    }
    std::optional<std::string_view> optionalBytes(int column) const {
        return isNull(column) ? std::nullopt : std::optional(bytes(column));
    }

  protected:
    ~SqlRow() = default;
};

// Where the dialects differ.
struct SqlDialect {
    const char* greatest; // of two values: GREATEST, max
    const char* least;    // LEAST, min
    const char* lockRow;  // after a SELECT, to hold its rows to the transaction's end: FOR UPDATE, nothing
    const char* entryId;  // what tells one entry from another most cheaply: the row id, the key
    // Whether the byte of the id in `column` is 1 in the bytes `map`; ids outside it are not.
    std::string (*marked)(std::string_view map, std::string_view column);
    // Whether the table incoming shows the ids of its entries' names that the add hands over
    // (LedgerSql::useNameIds), or the add's insert finds them by the names.
    bool incomingNameIds;
    bool numberIds; // whether entryId is a whole number (else bytes)
    // An aggregate of (type, money, item_count, copies) that gives the list's five sums in one pass, in
    // the order of kListSums, as 8-byte little-endian numbers; none: a sum of each with its filter.
    const char* listSums;
    // Whether loadIncoming copies the entries with their keys at once, or the table incoming reads them where
    // they are as each statement runs.
    bool copiesIncoming;
};

class LedgerSql {
  public:
    virtual const std::string& name() const = 0;
    virtual const SqlDialect& dialect() const = 0;
    // Runs one statement, handing each row of its result to `row`.
    void run(const std::string& sql, std::initializer_list<SqlValue> params = {},
             const std::function<void(const SqlRow&)>& row = {}) {
        runWith(sql, std::span(params.begin(), params.size()), row);
    }
    virtual void runWith(const std::string& sql, std::span<const SqlValue> params,
                         const std::function<void(const SqlRow&)>& row) = 0;
    // The same for a query whose result may be large: its rows are handed over as they are read, never
    // all held at once.
    virtual void runEach(const std::string& sql, std::span<const SqlValue> params,
                         const std::function<void(const SqlRow&)>& row) = 0;
    // Makes the entries with their keys and list fields the table incoming (seq, key, text, copies, ts,
    // order_time, order_rank, type, member, item, member_fold, item_fold, money, item_count, tab) of this
    // transaction, in their order (a paste's is newest first, so a period's entries go in side by side), seq
    // being an entry's place. Tells `progress` on the way; throws AddCancelled when it says stop. Where the
    // table reads the entries where they are (SqlDialect::copiesIncoming), keys may still be in the making:
    // a statement on a part of the entries runs once theirs are made.
    virtual void loadIncoming(std::span<const PasteEntry> entries, const EntryKeys& keys, const IncomingFields& fields,
                              const AddProgress& progress) = 0;
    // Makes the names the table incoming_name (seq, name, fold, then the sums' columns of NameSumColumns of
    // each role) of this transaction, seq being a name's place.
    virtual void loadIncomingNames(std::span<const IncomingName> names) = 0;
    // Has the table incoming show these ids of each entry's member's and item's names, by the entries'
    // places, where the dialect says it does.
    virtual void useNameIds(std::span<const NameIds> ids) = 0;
    // Runs `insert`, into an empty entry table, where the store can with the indexes that its rows would
    // fill out of order made after it, each from its sorted rows at once.
    virtual void withIndexesAfter(const std::function<void()>& insert) = 0;
    // Has every statement ask `stop` as it begins and now and then as it runs: true fails it with a
    // LedgerError. Gives back what was asked before.
    virtual std::function<bool()> stopStatementsWhen(std::function<bool()> stop) = 0;

  protected:
    ~LedgerSql() = default;
};

// A time of a period as a parameter: one past the latest time a ledger holds is that latest time.
inline std::int64_t TimeParam(std::uint64_t ms) {
    return static_cast<std::int64_t>(std::min<std::uint64_t>(ms, std::numeric_limits<std::int64_t>::max()));
}

// The timed entries of a period, as a condition on the entry table with the period's first and last
// times as the parameters $1 and $2: a timed entry's order_time is its time, so that the list's index
// finds them, and in a ledger older than it, the index of times.
constexpr const char* kInPeriod = "ts BETWEEN $1 AND $2 AND order_time BETWEEN $1 AND $2";

// The first and the last time of the timed entries, as two columns of a SELECT: each one look into
// the list's index, or in a ledger older than it (`listIndexed` false), into the index of times.
inline const char* FirstAndLastTimes(bool listIndexed) {
    // Untimed entries before any timed one of their page lie at -1.
    return listIndexed ? "(SELECT ts FROM entry WHERE ts IS NOT NULL AND order_time >= 0 ORDER BY order_time LIMIT 1), "
                         "(SELECT ts FROM entry WHERE ts IS NOT NULL ORDER BY order_time DESC LIMIT 1)"
                       : "(SELECT min(ts) FROM entry), (SELECT max(ts) FROM entry)";
}

// The add of both stores, inside the transaction the store holds (see LedgerStore::add): every statement
// asks the addition's stop. The store commits after it, unstopped.
[[nodiscard]] AddOutcome AddEntries(LedgerSql& sql, const LedgerAddition& addition);

// The ledger's pastes in the order they were added, read the same way from both stores; a name that is
// a web address as ShownPasteName shows it, wherever the pastes go (lists, --info, a merge's copies).
[[nodiscard]] std::vector<PasteRecord> ReadPastes(LedgerSql& sql);

// The entries whose own time lies in the period, every one when there is none (see
// LedgerStore::forEachEntry), read the same way from both stores, each entry's copies checked. A ledger
// older than the entries' keys (`storedKeys` false) gives each entry the key its upgrade would store.
void ForEachEntry(LedgerSql& sql, bool storedKeys, const std::optional<TimeRange>& period,
                  const std::function<void(const LedgerEntry&)>& visit);

// The names of a ledger's members and items with their ids, read at its first search and kept for the
// next ones of the same connection while no add, of this program or another, has named others.
struct ListNames {
    struct Name {
        std::int64_t id;
        std::string folded; // A to Z folded, as the search compares them
    };
    std::vector<Name> names;
};

// The list's count and rows (see LedgerStore::countListed and listRows) through the columns and
// indexes of the list, the same way from both stores. ListRows takes the count of the read it is part of,
// `total`, and throws a LedgerError (Damaged) where the entries' copies come to more.
[[nodiscard]] std::uint64_t CountListed(LedgerSql& sql, ListNames& names, const EntryListFilter& filter, SumsKept kept);
[[nodiscard]] std::vector<ListedRow> ListRows(LedgerSql& sql, ListNames& names, const EntryListFilter& filter,
                                              std::uint64_t first, std::uint64_t count, std::uint64_t total);
void ForEachListed(LedgerSql& sql, ListNames& names, const EntryListFilter& filter, bool oldestFirst,
                   const std::function<void(const ListedRow&)>& visit);
// The list's totals (see LedgerStore::listTotals) through the entries' amounts, from kListSumsVersion on;
// where the ledger keeps its sums per hour (from kHourSumsVersion on), a filter of a period or an Action
// choice alone from those; where it keeps them per name (from kNameSumsVersion on), a search alone from
// those and the entries of the fewer members. The count too (CountListed).
[[nodiscard]] ListTotals SumListed(LedgerSql& sql, ListNames& names, const EntryListFilter& filter, SumsKept kept);
// The list's count with its totals where they come cheaply: from the sums per hour, or those of a member,
// an item or a search from the count's own pass; none where the count reads no entry and the sums would
// read every one.
[[nodiscard]] std::pair<std::uint64_t, std::optional<ListTotals>>
CountAndSumListed(LedgerSql& sql, ListNames& names, const EntryListFilter& filter, SumsKept kept);
// Every listed entry once, in the list's order, with its copies and its id (see SortedList).
struct ListedEntry {
    ListedRow row;
    std::uint64_t copies = 0;
    std::string id;
};
void ForEachListedEntry(LedgerSql& sql, ListNames& names, const EntryListFilter& filter, bool oldestFirst,
                        const std::function<void(const ListedEntry&)>& visit);
// An entry's id (SqlDialect::entryId) in a row's column, as a sorted list holds it: a row number as its 8
// bytes, a key as it is.
std::string IdOf(const LedgerSql& sql, const SqlRow& row, int column);
// The entries of these ids, in no set order.
void ForEachWithId(LedgerSql& sql, const std::vector<std::string>& ids,
                   const std::function<void(const std::string& id, const ListedRow&)>& visit);

} // namespace coffer
