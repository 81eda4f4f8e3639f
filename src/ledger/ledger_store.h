// SPDX-License-Identifier: MIT
#pragma once
// The storage of a guild ledger, whatever holds it: every entry of every paste, merged by identity
// (the most copies seen on one page, the smallest text), the record of each paste, and the guild.
// SqliteLedger keeps it in a file, PostgresLedger on a server; both add through AddEntries.

#include "analysis/scan/bank_log_entry.h"
#include "analysis/tables/entry_selection.h"
#include "ledger/alert_rule.h"
#include "ledger/entry_identity.h"
#include "ledger/entry_list.h"
#include "ledger/entry_sort.h"
#include "ledger/fired_alert.h"
#include "ledger/ledger_error.h"
#include "ledger/list_totals.h"
#include "ledger/paste.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace coffer {

// The most copies of one entry a ledger holds: a page that repeats an entry more often is not added, and
// a ledger that holds more is damaged. A million copies of each of 2^43 entries still sum within 63 bits.
constexpr std::uint64_t kMaxCopies = 1'000'000;
// Why a ledger is damaged whose entry holds a number of copies other than 1 to kMaxCopies.
inline constexpr const char* kBadCopiesReason = "an entry's copies are not a whole number from 1 to 1,000,000";
// An entry's copies as a ledger read them, checked cheaply as they are read: `copies`, stored as a whole
// number (`whole`), from 1 to kMaxCopies, or a LedgerError says that the ledger `name` is damaged. Another
// value, which a crafted ledger may hold, would count the entry no times, or more times than anything
// could hold.
std::uint64_t CheckedCopies(std::int64_t copies, bool whole, const std::string& name);
// Why a ledger is damaged whose running totals are not one row of whole numbers.
inline constexpr const char* kBadTotalsReason = "its totals are not one row of whole numbers";
// Why a ledger is damaged whose running totals count fewer copies than one read of its entries finds.
inline constexpr const char* kTotalsBelowEntriesReason = "its totals count fewer entries than it holds";

// Asked while an action waits for another program's lock, once the wait has lasted a second, before each
// further try: a program can say that it is waiting. False gives the wait up; the action then fails as
// it would after the busy time-out.
using LockWait = std::function<bool()>;

// Told how many of an add's entries are stored so far, of how many; returns false to stop the add.
using AddProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

// The steps of an add in the ledger, in their order; an add passes over those it has nothing to do in.
enum class AddStep {
    Scan,    // the paste's text is read into its entries (an add of a paste's text only)
    Read,    // the fields the entries list reads are made from each entry's text, and its key begins to be (but
             // for the entries the ledger holds as they are, found first and left out of the add)
    Load,    // the entries go to the ledger, which is locked for the add, and the guild rule is applied
    Compare, // which entries are new or changed, in a ledger that holds entries already
    Names,   // the names of members and items the ledger does not know yet
    Entries, // the entries themselves
    Hours,   // the totals and the copies per hour
    Pastes,  // the paste's record, the gaps it opened, and the alerts the ledger's rules fired
    Commit,  // the transaction ends: from here on the add is done, and nothing stops it
};

// Hears of an add and may stop it. A stop is honoured as each step begins, every few thousand entries
// as a paste or its entries are read, and in every statement of the add, which then throws AddCancelled,
// the ledger as it was. The last look at it comes before the step Commit is told: from there on the add
// is done.
struct AddWatch {
    std::function<void(AddStep)> steps; // told as each step begins
    // Told how far the step under way has come, in units of its own (the bytes of the paste's text read, the
    // entries gone through), every few thousand entries; false stops the add. Steps that take little time
    // are only told as they begin.
    AddProgress progress;
    // Asked as each step begins, now and then as entries are read, as each statement of the add begins and
    // now and then as it runs (on a server, while it waits for the server): true stops the add. Called on
    // the add's thread.
    std::function<bool()> stop;
};

// Hears of a ledger of an older version brought up to date as it is opened for writing: `starts` once,
// before the work, with the ledger's version and the newest; `progress` as the work goes (done of
// total, which only grows and ends at the total). False from `progress` stops the upgrade, which then
// throws AddCancelled and leaves the ledger as it was (or, stopped in the file's final compaction,
// brought up to date and whole).
struct UpgradeWatch {
    std::function<void(std::int64_t from, std::int64_t to)> starts;
    AddProgress progress;
};

// What the ledger keeps of each paste.
struct PasteRecord {
    std::int64_t addedAt = 0; // milliseconds since 1970 UTC
    std::uint64_t entries = 0;
    std::uint64_t copiesAdded = 0;
    std::optional<std::int64_t> firstTs, lastTs;
    std::optional<GuildIdentity> guild;
    std::string fileName; // empty for a text pasted in the window; a fetched page's address as shown
    std::uint64_t digest = 0;
};

// A stretch of time no paste covered (see ledger_gaps.h).
struct TimeGap {
    std::int64_t from = 0; // the older end, milliseconds since 1970 UTC
    std::int64_t to = 0;   // the newer end
    auto operator<=>(const TimeGap&) const = default;
};

// What one add brings: entries by identity, the guilds they name, the pastes to list.
struct LedgerAddition {
    std::vector<PasteEntry> entries; // one per identity
    std::vector<GuildIdentity> guilds;
    std::vector<PasteRecord> pastes;
    // Whether the pastes are listed with the copies this add brings (the add of one paste); a merge
    // lists another ledger's pastes as that ledger recorded them.
    bool countCopiesAdded = true;
    AddWatch watch; // empty: the add runs to its end
    EntryKeyFunction entryKey = EntryKey;
};

struct AddOutcome {
    std::uint64_t copiesAdded = 0;
    bool listed = false; // a paste is new to the ledger's list (not one it holds already)
    // The gaps this add opened, from the pastes it saw in its own transaction: never another add's.
    std::vector<TimeGap> openedGaps;
    // The alerts the ledger's rules fired on this add, in the order they fired: each once in the ledger's life.
    std::vector<FiredAlert> alerts;
};

// A rule the ledger keeps watch by: its number, never given to another, and the time zone (an IANA name)
// whose days and weeks it counts.
struct NumberedRule {
    std::int64_t number = 0;
    AlertRule rule;
    std::string zone;
    bool operator==(const NumberedRule&) const = default;
};

// The copies of the timed entries of one hour, for the ledger's time line: local days and hours are
// made from these.
struct HourCount {
    std::int64_t hour = 0; // whole hours since 1970 UTC: an entry's time divided by kMsPerHour
    std::uint64_t copies = 0;
    auto operator<=>(const HourCount&) const = default;
};
constexpr std::int64_t kMsPerHour = 3'600'000;

struct LedgerTotals {
    std::uint64_t entries = 0; // every copy
    std::uint64_t untimed = 0; // of which without a readable time
    std::optional<std::int64_t> firstTs, lastTs;
};

// A ledger's running totals as its table of them holds them: `rows` rows, the last of `copies` and
// `untimed`, `whole` when both are stored as whole numbers. Anything but one row of whole numbers with
// 0 <= untimed <= copies is damage, which a LedgerError says of the ledger `name`: the report, the list's
// count and --info read the totals by this one rule.
LedgerTotals CheckedTotals(std::int64_t rows, std::int64_t copies, std::int64_t untimed, bool whole,
                           const std::string& name);

// One stored entry as the analysis reads it.
struct LedgerEntry {
    std::string text;
    std::uint64_t copies = 0;
    EntryOrder order;
    std::optional<std::int64_t> ts;
    std::string key; // EntryKey of its identity and time, as the ledger keeps it
};

// One row of the entries list: an entry's element and its readable time. An entry of several copies is
// as many rows.
struct ListedRow {
    std::string text;
    std::optional<std::int64_t> ts;
    bool operator==(const ListedRow&) const = default;
};

// Rows of the entries list with the count of the whole list, both as one read saw them.
struct ListedPage {
    std::vector<ListedRow> rows;
    std::uint64_t total = 0;
    std::optional<ListTotals> totals = {}; // where asked for
    bool operator==(const ListedPage&) const = default;
};

// "NAME of REALM", as messages name a guild: names cleaned (see CleanText), since a ledger file may hold
// any bytes.
std::string GuildText(const GuildIdentity& guild);

// How a ledger is opened: ReadWrite creates a missing one and brings an older one up to date; ReadOnly
// never creates or writes one.
enum class LedgerAccess { ReadOnly, ReadWrite };

class LedgerSql;
struct ListNames;

// The sums of the list's totals a ledger keeps: per hour (`hours`), which answer the totals of a filter
// without a member, an item or a search without reading every entry; per name (`names`), with which a
// search alone reads the entries of the fewer members, those it matches or the others.
struct SumsKept {
    bool hours = false;
    bool names = false;
};

class LedgerStore {
  public:
    virtual ~LedgerStore() = default;

    // The ledger as messages name it: a file's path, a server ledger's URI without its password.
    [[nodiscard]] virtual const std::string& name() const = 0;

    // Runs `read` as one moment of the ledger: its statements, in one read transaction, see the ledger as
    // it was at one moment whatever another program commits meanwhile. A read inside another is part of
    // it. Each read below is one moment of its own.
    void readAtOnce(const std::function<void()>& read);

    // Adds in one transaction: all of it or, on an error, nothing. Throws LedgerError, also when the
    // guild rule refuses the addition or two different identities meet one key, and AddCancelled when
    // the addition's watch stops it.
    [[nodiscard]] virtual AddOutcome add(const LedgerAddition& addition) = 0;

    [[nodiscard]] virtual std::optional<GuildIdentity> guild() = 0;
    [[nodiscard]] virtual LedgerTotals totals() = 0;
    // In the order they were added.
    [[nodiscard]] virtual std::vector<PasteRecord> pastes() = 0;
    // The copies of the timed entries per hour, oldest first, hours without entries left out: from the
    // counts every add keeps, without reading the entries (counted from them in a ledger of an older
    // version read as it is).
    [[nodiscard]] virtual std::vector<HourCount> entriesPerHour() = 0;
    // The entries whose own time lies in the period, every one when there is none, in no set order,
    // handed to `visit` one by one, each valid during its call only: a store reads them without holding
    // them all at once.
    virtual void forEachEntry(const std::optional<TimeRange>& period,
                              const std::function<void(const LedgerEntry&)>& visit) = 0;
    // The same entries, all at once.
    [[nodiscard]] std::vector<LedgerEntry> entries(const std::optional<TimeRange>& period) {
        std::vector<LedgerEntry> entries;
        forEachEntry(period, [&](const LedgerEntry& entry) { entries.push_back(entry); });
        return entries;
    }

    // The entries list: in the ledger's order of its entries (ComesBefore: newest first, then in the order
    // of the pastes, then by key), one row per copy. Through the list's columns and indexes where the
    // ledger has them, else (a ledger of an older version opened for reading) from every entry's text,
    // which is slower: listIndexed() tells which.
    [[nodiscard]] virtual bool listIndexed() { return false; }
    // Every copy of the entries that pass the filter.
    [[nodiscard]] std::uint64_t countListed(const EntryListFilter& filter);
    // The rows from `first`, at most `count`, with the list's count: counted again in the same read, so
    // that rows are found from the nearer end of the list as it is, which another program may have changed
    // since the caller last counted it. `oldestFirst`: of the list the other way round. `withTotals`: with the
    // list's totals too (see listTotals) where they cost the read little: where the ledger keeps them per
    // hour, or the count reads the entries they sum; else they are left for a read of their own.
    [[nodiscard]] ListedPage listRows(const EntryListFilter& filter, std::uint64_t first, std::uint64_t count,
                                      bool oldestFirst = false, bool withTotals = false);
    // The sums of the Count and Gold cells of the rows of the list (one per copy), in one read: through the
    // entries' amounts and their index where the ledger has them (listSummed()), else from every entry's
    // text.
    [[nodiscard]] ListTotals listTotals(const EntryListFilter& filter);
    [[nodiscard]] virtual bool listSummed() { return false; }
    // Which sums of the totals the ledger keeps (see SumsKept).
    [[nodiscard]] virtual SumsKept sumsKept() { return {}; }
    // Every row of the list in its order (or the other way round), handed to `visit` one by one, each valid
    // during its call only.
    void forEachListed(const EntryListFilter& filter, const std::function<void(const ListedRow&)>& visit,
                       bool oldestFirst = false);
    // The list sorted by a column (see entry_sort.h), read once; none when it has more rows than `most`.
    [[nodiscard]] std::optional<SortedList> sortListed(const EntryListFilter& filter, EntrySort sort,
                                                       std::uint64_t most = kMostRowsSorted);
    // The rows of a sorted list of `filter` from `first`, at most `count`; an entry gone since the sort is
    // left out.
    [[nodiscard]] std::vector<ListedRow> sortedRows(const EntryListFilter& filter, const SortedList& list,
                                                    std::uint64_t first, std::uint64_t count);
    // The rules in force, by number. A ledger of a version before them, read as it is, has none.
    [[nodiscard]] std::vector<NumberedRule> rules();
    // Adds a rule whose days and weeks are those of `zone`; gives its number. Throws a LedgerError for a
    // zone the system does not know.
    std::int64_t addRule(const AlertRule& rule, const std::string& zone);
    // Takes the rule of this number out of force; its alerts stay. False where no rule in force has it.
    bool removeRule(std::int64_t number);
    // The alerts the rules fired in the period (by the time they fired), every one when there is none,
    // newest first; those of one add in the order it fired and told them.
    [[nodiscard]] std::vector<FiredAlert> alerts(const std::optional<TimeRange>& period);
    // What the rules in force would fire on the entries of the period (all: none) and the ledger's gaps,
    // storing nothing: by rule, then in the order of time; one moment of the ledger.
    [[nodiscard]] std::vector<FiredAlert> checkRules(const std::optional<TimeRange>& period);

    // Asked now and then as a read runs: true stops it, and it then throws a LedgerError. The entries list stops a
    // count of a search the user has typed past.
    virtual void stopReadsWhen(std::function<bool()> /*stop*/) {}
    // Throws a LedgerError (Damaged) unless the ledger's own structures read whole: a file's pages and
    // indexes, which the checks of its schema and rows cannot see. A merge checks another's file first.
    virtual void checkIntact() {}
    // Called as each statement of the store begins, from then on (none: no longer): a test's seam, which
    // commits another program's add between the statements of a read.
    virtual void beforeEachStatement(std::function<void()> hook) = 0;

  protected:
    // The read transaction of readAtOnce: begun; ended, `completed` or given up after a failure (which
    // throws nothing).
    virtual void beginRead() = 0;
    virtual void endRead(bool completed) = 0;

    // Runs `read` with the ledger's SQL and the names its list's statements keep, where listIndexed();
    // false, running nothing, where the list is read from the entries' texts.
    virtual bool withListSql(const std::function<void(LedgerSql& sql, ListNames& names)>& /*read*/) { return false; }
    // Runs `use` with the ledger's SQL, in a transaction that writes where `write` says; false, running
    // nothing, where the ledger has no tables of rules (one of an older version opened for reading).
    virtual bool withAlertSql(bool write, const std::function<void(LedgerSql& sql)>& use) = 0;

  private:
    // The list from the entries' texts, filtered and ordered here.
    [[nodiscard]] std::uint64_t countFromTexts(const EntryListFilter& filter);
    [[nodiscard]] ListTotals totalsFromTexts(const EntryListFilter& filter);
    [[nodiscard]] std::vector<ListedRow> rowsFromTexts(const EntryListFilter& filter, std::uint64_t first,
                                                       std::uint64_t count);

    bool reading_ = false; // inside readAtOnce
};

// The cells of every row of the list in the order `sort` gives (see MakeEntryCells), each valid during its
// call only, all of one moment of the ledger; false, handing nothing, when a sort by a column finds more
// rows than it takes.
bool ForEachEntryCells(LedgerStore& store, const EntryListFilter& filter, EntrySort sort,
                       const std::function<void(const EntryCells&)>& visit);

// Why the guild rule refuses an addition that names these guilds to a ledger of `ledgerGuild`, or
// empty: a ledger holds one guild, set by the first addition that names one; names are compared
// exactly as written.
std::string GuildRefusal(const std::optional<GuildIdentity>& ledgerGuild, const std::vector<GuildIdentity>& named);

} // namespace coffer
