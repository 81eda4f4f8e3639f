// SPDX-License-Identifier: MIT
// The behaviour of a ledger store, one suite run on each store: a ledger file in ledger_test, a server
// ledger on the throwaway server in postgres_ledger_test.
#include "analysis/analysis_run.h"
#include "analysis/scan/bank_log_scanner.h"
#include "genlog/banklog_generator.h"
#include "ledger/entry_identity.h"
#include "ledger/ledger_actions.h"
#include "ledger/ledger_file.h"
#include "ledger/ledger_open.h"
#include "ledger/postgres_ledger.h"
#include "ledger/sqlite_ledger.h"
#include "old_ledger_file.h"
#include "report/table_export.h"
#include "store_sql.h"
#include "support/temp_folder.h"
#ifdef COFFER_PG_STATE
#include "support/pg_test_server.h"
#endif

#include <gtest/gtest.h>
#include <tuple>

#include <algorithm>
#include <map>
#include <numeric>
#include <random>
#include <thread>

namespace coffer {
namespace {

struct Store {
    const char* name;
    std::vector<std::int64_t> olderVersions;
    std::int64_t readsFrom; // the oldest version read as it is; an older one wants an add first
    std::function<std::string()> fresh;
    // A ledger of an older version holding what `source` holds, as the program of that version wrote it.
    std::function<void(const std::string& ledger, std::int64_t version, const std::string& sourceName,
                       LedgerStore& source)>
        writeOld;
    // Runs statements on a ledger as another program may: `file` for a ledger file, `server` for one on
    // the server.
    std::function<void(const std::string& ledger, const std::string& file, const std::string& server)> tamper;
    // Everything the ledger holds: the file's bytes, or the server's tables row for row.
    std::function<std::string(const std::string& ledger)> snapshot;
};

void PrintTo(const Store& store, std::ostream* out) {
    *out << store.name;
}

class LedgerStoreTest : public ::testing::TestWithParam<Store> {
  protected:
    std::unique_ptr<LedgerStore> open(const std::string& name) { return OpenLedger(name, LedgerAccess::ReadWrite); }
    const Store& store() const { return GetParam(); }
};

const std::string kAnn = "<banklog money=\"5\" player=\"Ann\" ts=\"1000\" type=\"4\"/>\n",
                  kBob = "<banklog money=\"6\" player=\"Bob\" ts=\"2000\" type=\"4\"/>\n",
                  kUntimed = "<banklog money=\"6\" player=\"Cy\" type=\"4\"/>\n";

// Ann's key for any entry: every identity meets hers.
std::string AnnsKey(std::string_view, const std::optional<std::int64_t>&) {
    const std::string paste = "<?xml?>\n" + kAnn;
    const PasteEntry ann = ReadPaste(paste).entries.at(0);
    return EntryKey(EntryIdentity(ann.text), ann.ts);
}
std::string OneKey(std::string_view, const std::optional<std::int64_t>&) {
    return "one key";
}

std::string Page(const std::vector<std::string>& elements, std::size_t from, std::size_t to) {
    std::string page = "<?xml version=\"1.0\"?>\n<page>\n<guildKey name=\"Iron Lanterns\" realm=\"Silver Hand\"/>\n";
    for (std::size_t i = from; i < to; ++i)
        page += elements[i] + "\n";
    return page + "</page>\n";
}

// The ts attribute's value in an element's text.
std::string_view TsOf(std::string_view element) {
    const std::size_t start = element.find(" ts=\"") + 5;
    return element.substr(start, element.find('"', start) - start);
}

// Both tables of the analysis, one under the other.
std::string Analyse(std::string_view log, const std::optional<TimeRange>& period) {
    GuildStats stats;
    AnalysisHooks hooks;
    hooks.selection.period = period;
    EXPECT_EQ(RunAnalysisInPlace(log, stats, hooks).outcome, AnalysisOutcome::Complete);
    return TableText(stats.members, TableFormat::TabSeparated) + TableText(stats.items, TableFormat::TabSeparated);
}

// A generated log cut into overlapping pastes, some of two overlapping pages, some with every rank changed,
// some ending inside an entry, added in
// random orders and some twice, or merged from another ledger: the ledger's analysis is that of the
// log, for everything and for a period.
TEST_P(LedgerStoreTest, OverlappingPastesInAnyOrderGiveTheLogsTables) {
    std::vector<std::string> elements;
    GuildIdentity guild;
    ScanBankLogElements(
        bench::GenerateBankLog({.entry_count = 2000, .member_count = 40, .item_count = 60, .spread_days = 20}), guild,
        {{}, [&](const BankLogEntry&, std::string_view text, bool) { elements.emplace_back(text); }});
    // Runs of entries of one time (that stay apart: an item's count is not part of the identity), and
    // one entry twice on its page: two transactions.
    for (std::size_t i = 1; i < elements.size(); ++i) {
        std::string same = elements[i];
        const std::string_view ts = TsOf(same);
        same.replace(static_cast<std::size_t>(ts.data() - same.data()), ts.size(), TsOf(elements[i - 1]));
        if (i % 5 != 0 && EntryIdentity(same) != EntryIdentity(elements[i - 1]))
            elements[i] = same;
    }
    constexpr std::size_t kTwice = 300;
    elements.insert(elements.begin() + kTwice, elements[kTwice]);
    const std::string log = Page(elements, 0, elements.size());

    std::mt19937 random(7);
    auto between = [&](std::size_t low, std::size_t high) {
        return std::uniform_int_distribution<std::size_t>(low, high)(random);
    };
    // Pastes overlap by a run's length or more: every run of one time is whole in one of them.
    std::vector<std::string> pastes;
    for (std::size_t from = 0, to = 0; to < elements.size(); from = to - between(5, 30)) {
        to = std::min(elements.size(), from + between(20, 200));
        std::size_t split = between(0, 1) == 1 ? (from + to) / 2 : to;
        split += split == kTwice + 1; // the copies of one page stay on one page
        // A second page may repeat the end of the first, as pages pasted twice do.
        const std::size_t repeat = std::min(split - from, between(0, 3));
        std::string paste = Page(elements, from, split) + (split < to ? Page(elements, split - repeat, to) : "");
        for (std::size_t rank = paste.find("rank=\""); pastes.size() % 3 == 1 && rank != std::string::npos;
             rank = paste.find("rank=\"", rank + 1))
            paste[rank + 6] = '9';
        if (pastes.size() % 4 == 2 && to < elements.size())
            paste.resize(paste.size() - 30); // ends inside its last entry, which the next paste holds
        if (pastes.size() % 5 == 3)          // lines broken as another system breaks them: the same entries
            for (std::size_t end = paste.find('\n'); end != std::string::npos; end = paste.find('\n', end + 2))
                paste.insert(end, 1, '\r');
        pastes.push_back(std::move(paste));
    }
    const std::uint64_t first = std::stoull(std::string(TsOf(elements[1200]))),
                        last = std::stoull(std::string(TsOf(elements[700])));
    std::vector<std::unique_ptr<LedgerStore>> ledgers;
    auto openNew = [&]() -> LedgerStore& { return *ledgers.emplace_back(open(store().fresh())); };
    for (int twice = 0; twice < 2; ++twice) {
        LedgerStore& ledger = openNew();
        std::ranges::shuffle(pastes, random);
        for (const std::string& paste : pastes)
            std::ignore = AddToLedger(ledger, paste, {}, 0);
        std::ignore = AddToLedger(ledger, pastes[0], {}, 0);
        EXPECT_EQ(ledger.pastes().size(), pastes.size()) << "a paste added again is listed once";
    }
    // Another officer's ledger of some of the pastes, with the first ledger merged into it.
    LedgerStore& merged = openNew();
    for (std::size_t i = 0; i < pastes.size(); i += 3)
        std::ignore = AddToLedger(merged, pastes[i], {}, 0);
    std::ignore = MergeLedger(merged, *ledgers[0], "the first ledger");
    EXPECT_EQ(merged.pastes().size(), pastes.size());
    // The copies per hour that the adds and the merge kept are those of the log's entries.
    std::map<std::int64_t, std::uint64_t> hours;
    for (const std::string& element : elements)
        ++hours[std::stoll(std::string(TsOf(element))) / kMsPerHour];
    std::vector<HourCount> expectedHours;
    for (const auto& [hour, copies] : hours)
        expectedHours.push_back({.hour = hour, .copies = copies});
    for (const auto& ledger : ledgers)
        EXPECT_EQ(ledger->entriesPerHour(), expectedHours) << "ledger " << &ledger - ledgers.data();
    for (const std::optional<TimeRange>& period : {std::optional<TimeRange>(), std::optional(TimeRange{first, last})}) {
        const std::string expected = Analyse(log, period);
        for (const auto& ledger : ledgers) {
            EXPECT_EQ(ledger->totals().entries, elements.size());
            double read = 0; // the share of the ledger read, told as the reading goes
            EXPECT_EQ(
                Analyse(ReadLedgerLog(*ledger, period, {[&read](double share) { read = share; }, {}}).text, period),
                expected)
                << "ledger " << &ledger - ledgers.data() << (period ? " for a period" : "");
            EXPECT_EQ(read, 1.0);
            std::stop_source stop; // a stopped reading gives nothing to analyse
            stop.request_stop();
            EXPECT_EQ(std::string_view(ReadLedgerLog(*ledger, period, {{}, stop.get_token()}).text), "");
        }
    }
}

// A paste of another guild, or naming two, or repeating an entry too often, or whose entries meet a
// stored one's key or each other's, is refused, and the ledger stays as it was.
TEST_P(LedgerStoreTest, RefusesAnotherGuildTooManyCopiesAndTwoIdentitiesOfOneKey) {
    const std::unique_ptr<LedgerStore> ledger = open(store().fresh());
    auto page = [&](const std::string& guild) {
        return "<?xml?>\n<guildKey name=\"" + guild + "\" realm=\"Silver Hand\"/>\n" + kAnn;
    };
    EXPECT_EQ(AddToLedger(*ledger, "<?xml?>\n" + kAnn, {}, 0).namesGuild, false);
    std::ignore = AddToLedger(*ledger, page("Iron Lanterns"), {}, 0);
    const AddProgress stop = [](std::uint64_t, std::uint64_t) { return false; };
    std::string tooMany = "<?xml?>\n";
    for (int copy = 0; copy <= 1'000'000; ++copy)
        tooMany += "<banklog type=\"4\"/>\n";
    const auto add = [&](const std::string& paste, const AddProgress& progress = {}) {
        std::ignore = AddToLedger(*ledger, paste + kBob, {}, 0, {.steps = {}, .progress = progress, .stop = {}});
    };
    const auto addKeyed = [&](const std::string& paste, EntryKeyFunction key) {
        Paste read = ReadPaste(paste);
        ledger->add({std::move(read.entries), {}, {PasteRecord{}}, true, {}, key});
    };
    const std::tuple<const char*, std::function<void()>> refused[] = {
        {"is of the guild Iron lanterns of Silver Hand, but the ledger holds the guild Iron Lanterns of Silver Hand",
         [&] { add(page("Iron lanterns")); }},
        {"names more than one guild (Iron Lanterns of Silver Hand, Copper Kettles of Silver Hand)",
         [&] { add(page("Iron Lanterns") + page("Copper Kettles")); }},
        {"The add was cancelled; the ledger is as it was.", [&] { add(page("Iron Lanterns"), stop); }},
        {"The paste repeats an entry more than 1,000,000 times on one page", [&] { add(tooMany); }},
        {": two different entries have the same key; nothing was added.",
         [&] { addKeyed("<?xml?>\n" + kBob, AnnsKey); }},
        {": two different entries have the same key; nothing was added.",
         [&] { addKeyed("<?xml?>\n" + kBob + kUntimed, OneKey); }}};
    for (const auto& [message, act] : refused) {
        try {
            act();
            ADD_FAILURE() << "added: " << message;
        } catch (const LedgerError& error) {
            EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
        }
        EXPECT_EQ(ledger->totals().entries, 1u);
        EXPECT_EQ(ledger->pastes().size(), 1u) << "the same entries with a guild key are the same paste";
    }
}

// A stop is honoured as the paste is read and in every step of an add, by its statements as they begin
// and as they run: from the stop on the add tells no more progress and begins no later step, it ends
// within 0.5 s and the ledger is as it was. Once the commit is under way the add is done, a stop
// notwithstanding.
TEST_P(LedgerStoreTest, AStopEndsAnAddInAnyStepBeforeItsCommit) {
    const std::string name = store().fresh();
    std::ignore = AddToLedger(*open(name), Page({kAnn, kBob}, 0, 2), {}, 0);
    // A page whose add takes some tenths of a second, of many hours.
    const std::string page = bench::GenerateBankLog({.entry_count = 30'000, .spread_days = 60});
    const struct {
        AddStep step;
        // The stop is asked for at this look at it since the step began: 0 as it begins, 1 the step's own
        // look, 2 the next one (as the first statement begins, in a step that begins with one).
        int atLook;
        bool added;
    } cases[] = {
        {AddStep::Scan, 2, false},  {AddStep::Read, 2, false},    // as the paste is read, as the keys are made
        {AddStep::Load, 2, false},  {AddStep::Entries, 3, false}, // while the insert of the entries runs
        {AddStep::Hours, 2, false}, {AddStep::Commit, 0, true},   // after the last look: too late
    };
    for (const auto& c : cases) {
        const std::string before = store().snapshot(name);
        std::vector<AddStep> steps;
        const auto step = [&] { return steps.empty() ? std::nullopt : std::optional(steps.back()); };
        std::optional<std::chrono::steady_clock::time_point> stopped;
        int looks = 0;
        const auto look = [&] {
            if (!stopped && step() == c.step && looks++ == c.atLook)
                stopped = std::chrono::steady_clock::now();
            return stopped.has_value();
        };
        const AddWatch watch{.steps =
                                 [&](AddStep step) {
                                     steps.push_back(step);
                                     looks = 0;
                                     std::ignore = look();
                                 },
                             .progress =
                                 [&](std::uint64_t done, std::uint64_t) {
                                     EXPECT_FALSE(stopped) << "progress told after the stop, at " << done;
                                     return true;
                                 },
                             .stop = look};
        try {
            const AddReport report = AddToLedger(*open(name), page, {}, 0, watch);
            EXPECT_TRUE(c.added) << &c - cases;
            // Gone through a part at a time, every entry counted once and stored once.
            std::uint64_t stored = 0;
            open(name)->forEachEntry(std::nullopt, [&](const LedgerEntry& entry) { stored += entry.copies; });
            EXPECT_EQ(stored, 2 + report.outcome.copiesAdded);
            EXPECT_EQ(open(name)->totals().entries, stored);
        } catch (const AddCancelled&) {
            ASSERT_TRUE(stopped) << &c - cases;
            EXPECT_LT(std::chrono::steady_clock::now() - *stopped, std::chrono::milliseconds(500)) << &c - cases;
            EXPECT_FALSE(c.added) << &c - cases;
            EXPECT_EQ(store().snapshot(name), before) << &c - cases;
        }
        EXPECT_EQ(step(), c.step) << &c - cases << ": no later step begins";
    }
}

// A cell as a plain number, as an officer would add it up: none for any other text.
std::optional<std::int64_t> NumberOfCell(const std::string& cell) {
    if (cell.empty() || cell.size() > 15 || !std::ranges::all_of(cell, [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoll(cell);
}

// A Gold cell ("12g 34s 05c") in copper; none for any other text.
std::optional<std::int64_t> CopperOfCell(const std::string& cell) {
    const std::size_t g = cell.find("g "), s = cell.find("s ", g == std::string::npos ? 0 : g);
    if (g == std::string::npos || s != g + 4 || cell.size() != s + 5 || cell.back() != 'c')
        return std::nullopt;
    const auto gold = NumberOfCell(cell.substr(0, g)), silver = NumberOfCell(cell.substr(g + 2, 2)),
               copper = NumberOfCell(cell.substr(s + 2, 2));
    if (!gold || !silver || !copper)
        return std::nullopt;
    return *gold * 10000 + *silver * 100 + *copper;
}

// The sums of the rows' Count and Gold cells by their Action cells.
ListTotals TotalsOfCells(const std::vector<ListedRow>& rows) {
    ListTotals totals;
    const std::pair<const char*, std::int64_t ListTotals::*> counted[] = {{"Deposit", &ListTotals::itemsDeposited},
                                                                          {"Withdrawal", &ListTotals::itemsWithdrawn}},
                                                             gold[] = {{"Gold deposit", &ListTotals::goldDeposited},
                                                                       {"Gold withdrawal", &ListTotals::goldWithdrawn},
                                                                       {"Repair", &ListTotals::repairs}};
    for (const ListedRow& row : rows) {
        const EntryCells cells = MakeEntryCells(row.text, row.ts);
        for (const auto& [action, sum] : counted)
            if (cells[kActionColumn] == action)
                totals.*sum += NumberOfCell(cells[kCountColumn]).value_or(0);
        for (const auto& [action, sum] : gold)
            if (cells[kActionColumn] == action)
                totals.*sum += CopperOfCell(cells[kGoldColumn]).value_or(0);
    }
    return totals;
}

// Reads the ledger through the statements both stores share.
void ReadSql(const std::string& ledger, const std::function<void(LedgerSql& sql, ListNames& names)>& read) {
    if (IsServerLedger(ledger))
        EXPECT_TRUE(testing::StoreSql<PostgresLedger>(ledger, LedgerAccess::ReadOnly).withListSql(read));
    else
        EXPECT_TRUE(testing::StoreSql<SqliteLedger>(ledger, SqliteDatabase::Access::ReadOnly).withListSql(read));
}

// Each stored entry's amounts and tab are those its Count, Gold and To tab cells show (null for none).
void ExpectAmountsAsCells(const std::string& ledger, const std::string& context) {
    std::size_t entries = 0;
    const auto read = [&](LedgerSql& sql, ListNames&) {
        sql.run("SELECT text, money, item_count, tab FROM entry", {}, [&](const SqlRow& row) {
            const EntryCells cells = MakeEntryCells(row.bytes(0), std::nullopt);
            EXPECT_EQ(row.optionalInteger(1), CopperOfCell(cells[kGoldColumn])) << context << ": " << row.bytes(0);
            EXPECT_EQ(row.optionalInteger(2), NumberOfCell(cells[kCountColumn])) << context << ": " << row.bytes(0);
            EXPECT_EQ(row.isNull(3) ? "" : std::string(row.bytes(3)), cells[kToTabColumn]) << context;
            EXPECT_EQ(row.isNull(3), cells[kToTabColumn].empty()) << context;
            ++entries;
        });
    };
    ReadSql(ledger, read);
    EXPECT_GT(entries, 0u) << context;
}

// A ledger written by each older version is read as it is (or, on the server, refused until an add
// brings it up to date) and brought up to date in place by an add: it finds the entries it holds under
// their new keys, and keeps its totals and its copies per hour. A fetched page's address kept with its
// secrets is shown, and merged, without them.
TEST_P(LedgerStoreTest, OlderLedgerIsBroughtUpToDate) {
    const std::string first = "<?xml?>\n<guildKey name=\"Iron Lanterns\" realm=\"Silver Hand\"/>\n" + kAnn + kAnn +
                              kUntimed + kUntimed +
                              "<banklog dtab=\"3\" player=\"Ann\" ts=\"1500\" type=\"2\"><item count=\"4\" "
                              "name=\"Salt\"/></banklog>\n",
                      second = "<?xml?>\n" + kUntimed + kUntimed + kUntimed + kBob;
    const std::string sourceName = store().fresh();
    const std::unique_ptr<LedgerStore> source = open(sourceName);
    // A fetched page's paste named as programs before the address rule kept it, and as it is shown.
    const std::string address = "https://officer:pw@armory.example/log.xml?r=Silver+Hand&sid=s3cr3t",
                      shownAddress = "https://armory.example/log.xml?r=Silver+Hand&sid=***";
    std::ignore = AddToLedger(*source, first, address, 5);
    std::ignore = AddToLedger(*source, second, {}, 0);
    const std::string merged = store().fresh();
    std::ignore = MergeLedger(*open(merged), *source, sourceName);
    EXPECT_EQ(store().snapshot(merged).find("s3cr3t"), std::string::npos) << "a merge copies the address as shown";
    EXPECT_EQ(source->listTotals({}), (ListTotals{.itemsWithdrawn = 4, .goldDeposited = 34}));
    const auto sameList = [&](LedgerStore& ledger, std::int64_t version) {
        for (const EntryListFilter& filter : {EntryListFilter{}, EntryListFilter{.search = "AN"}}) {
            EXPECT_EQ(ledger.listRows(filter, 1, 9), source->listRows(filter, 1, 9)) << version;
            EXPECT_EQ(ledger.listTotals(filter), source->listTotals(filter)) << version;
        }
    };
    for (const std::int64_t version : store().olderVersions) {
        const std::string name = store().fresh();
        store().writeOld(name, version, sourceName, *source);
        if (version >= store().readsFrom) {
            const std::unique_ptr<LedgerStore> old = OpenLedger(name, LedgerAccess::ReadOnly);
            EXPECT_EQ(std::string(ReadLedgerLog(*old, std::nullopt).text),
                      std::string(ReadLedgerLog(*source, std::nullopt).text))
                << "read as it is, version " << version;
            EXPECT_EQ(old->entriesPerHour(), source->entriesPerHour()) << version;
            EXPECT_EQ(old->listIndexed(), version >= kListNamesVersion) << "listed from the texts, version " << version;
            EXPECT_EQ(old->listSummed(), version >= kListSumsVersion) << "summed from the texts, version " << version;
            EXPECT_TRUE(old->rules().empty() && old->alerts(std::nullopt).empty())
                << "no rules yet, version " << version;
            EXPECT_EQ(old->sumsKept().hours, version >= kHourSumsVersion) << "summed by hours, version " << version;
            EXPECT_FALSE(old->sumsKept().names) << "summed from the entries, version " << version;
            EXPECT_EQ(old->pastes().at(0).fileName, shownAddress) << version;
            sameList(*old, version);
        }
        const std::unique_ptr<LedgerStore> ledger = open(name);
        EXPECT_TRUE(ledger->listIndexed());
        EXPECT_TRUE(ledger->listSummed());
        sameList(*ledger, version);
        ExpectAmountsAsCells(name, "upgraded from version " + std::to_string(version));
        const AddReport again = AddToLedger(*ledger, second, {}, 0);
        EXPECT_EQ(again.outcome.copiesAdded, 0u) << version;
        EXPECT_FALSE(again.outcome.listed) << version;
        const AddReport more =
            AddToLedger(*ledger, "<?xml?>\n" + kUntimed + kUntimed + kUntimed + kUntimed + kBob + kBob, {}, 0);
        EXPECT_EQ(more.outcome.copiesAdded, 2u) << version;
        EXPECT_EQ(ledger->listTotals({}), (ListTotals{.itemsWithdrawn = 4, .goldDeposited = 46})) << version;
        const LedgerTotals totals = ledger->totals();
        EXPECT_EQ(totals.entries, 9u) << version;
        EXPECT_EQ(totals.untimed, 4u) << version;
        EXPECT_EQ(ledger->pastes().size(), 3u) << version;
        EXPECT_EQ(ledger->entriesPerHour(), (std::vector<HourCount>{{.hour = 0, .copies = 5}})) << version;
    }
}

// An upgrade tells whence it starts, then its progress, which only grows and reaches its total. Stopped
// at its start, in its middle or at its last report before the end, it leaves the ledger as it was; a
// later open upgrades it.
TEST_P(LedgerStoreTest, UpgradeShowsItsProgressAndStopsWithTheLedgerAsItWas) {
    const std::string sourceName = store().fresh();
    const std::unique_ptr<LedgerStore> source = open(sourceName);
    std::ignore = AddToLedger(*source, bench::GenerateBankLog({.entry_count = 3000, .spread_days = 9}), {}, 0);
    for (const std::int64_t version : store().olderVersions) {
        std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
        std::vector<std::int64_t> versions;
        std::size_t stopAfter = SIZE_MAX;
        UpgradeWatch watch;
        watch.starts = [&](std::int64_t from, std::int64_t to) { versions = {from, to}; };
        watch.progress = [&](std::uint64_t done, std::uint64_t total) {
            reports.emplace_back(done, total);
            return reports.size() <= stopAfter;
        };
        const std::string whole = store().fresh(), name = store().fresh();
        store().writeOld(whole, version, sourceName, *source);
        EXPECT_TRUE(OpenLedger(whole, LedgerAccess::ReadWrite, {}, watch)->listIndexed()) << version;
        EXPECT_EQ(versions, (std::vector<std::int64_t>{version, LedgerFormatVersion()}));
        ASSERT_GE(reports.size(), 3u) << version;
        EXPECT_TRUE(std::ranges::is_sorted(reports)) << version;
        EXPECT_EQ(reports.back(), std::pair(reports.front().second, reports.front().second)) << version;
        store().writeOld(name, version, sourceName, *source);
        const std::string before = store().snapshot(name);
        for (const std::size_t stop : {std::size_t{0}, reports.size() / 2, reports.size() - 2}) {
            stopAfter = stop;
            reports.clear();
            EXPECT_THROW(std::ignore = OpenLedger(name, LedgerAccess::ReadWrite, {}, watch), AddCancelled) << version;
            // Stopped in the compaction that follows it, a file's upgrade is done and whole.
            const bool compacting = !IsServerLedger(name) && stop > 0;
            EXPECT_TRUE(store().snapshot(name) == before ||
                        (compacting && OpenLedger(name, LedgerAccess::ReadOnly)->listIndexed()))
                << version << " stopped after " << stop;
        }
        EXPECT_EQ(open(name)->countListed({}), source->countListed({})) << version;
    }
}

// Test entries of the list, written from what they stand for: names as the log writes them and as the list
// shows them.
struct ListedEntry {
    std::string member, item; // decoded
    int type = 0;             // 0: none
    std::optional<std::int64_t> ts;
    std::string text;
};

std::vector<ListedEntry> ListEntries() {
    const std::pair<std::string, std::string> members[] = {{"Ann", "Ann"},
                                                           {"O&apos;Neil &amp; Sons", "O'Neil & Sons"},
                                                           {"Tab&#9;Man", "Tab\tMan"},
                                                           {"annabel", "annabel"},
                                                           {"Ann Lee", "Ann Lee"}, // "Ann" in the member table
                                                           {"&quot;Q&quot;", "\"Q\""},
                                                           {"Zo&#xEB;", "Zo\xC3\xAB"}};
    const std::pair<std::string, std::string> items[] = {{"", ""},
                                                         {"Salt &amp; Pepper", "Salt & Pepper"},
                                                         {"Flask of Steady Hands", "Flask of Steady Hands"},
                                                         {"ANN&apos;s Stew", "ANN's Stew"}};
    std::vector<ListedEntry> entries;
    for (int i = 0; i < 600; ++i) {
        // Twenty more members, so that a search may match few of the names.
        const auto [memberText, member] =
            i % 9 < 7 ? members[i % 7] : std::pair{"Extra" + std::to_string(i % 20), "Extra" + std::to_string(i % 20)};
        const auto& [itemText, item] = items[i % 4 == 3 ? 0 : (i / 7) % 4];
        ListedEntry& entry = entries.emplace_back();
        entry.member = member;
        entry.item = item;
        entry.type = (i * 5) % 8; // every type, none and one unknown
        if (i % 50 != 49)
            entry.ts = 1'200'000'000'000 + (600 - i) / 3 * 60'000; // runs of three of one time
        // Amounts the list shows, and some it shows as written; an item without a count counts one.
        const std::string money = i % 11 == 10 ? "5g" : std::to_string(i * 37 * (i % 7 == 3 ? 10'000 : 1)),
                          count = i % 13 == 12   ? ""
                                  : i % 17 == 16 ? " count=\"x\""
                                                 : " count=\"0" + std::to_string(i % 9 + 1) + "\"";
        entry.text = "<banklog" + (i % 3 == 0 ? " dtab=\"" + std::to_string(i % 4) + "\"" : "") + " money=\"" + money +
                     "\" player=\"" + memberText + "\" rank=\"1\"" +
                     (entry.ts ? " ts=\"" + std::to_string(*entry.ts) + "\"" : "") +
                     (entry.type != 0 ? " type=\"" + std::to_string(entry.type) + "\"" : "") +
                     (item.empty() ? "/>"
                                   : ">\n <item" + count + " id=\"" + std::to_string(i) + "\" name=\"" + itemText +
                                         "\"/>\n</banklog>");
    }
    entries.insert(entries.begin() + 100, entries[100]); // the same element twice on a page: two rows
    return entries;
}

std::string Lower(std::string text) {
    std::ranges::transform(text, text.begin(), [](char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; });
    return text;
}

// The list's filters, alone and together, against counts made from the entries themselves; its rows, and
// windows of them from either end; its totals against sums of its rows' cells.
TEST_P(LedgerStoreTest, EntriesListFiltersCountsAndWindows) {
    const std::vector<ListedEntry> entries = ListEntries();
    std::vector<std::string> texts;
    for (const ListedEntry& entry : entries)
        texts.push_back(entry.text);
    const std::string ledgerName = store().fresh();
    const std::unique_ptr<LedgerStore> ledger = open(ledgerName);
    std::ignore = AddToLedger(*ledger, Page(texts, 300, texts.size()), {}, 0);
    std::ignore = AddToLedger(*ledger, Page(texts, 0, 320), {}, 0);
    ASSERT_TRUE(ledger->listIndexed());
    const TimeRange period{1'200'000'000'000 + 50 * 60'000, 1'200'000'000'000 + 120 * 60'000};
    const auto in = [](std::initializer_list<int> listed) {
        return
            [types = std::vector<int>(listed)](const ListedEntry& e) { return std::ranges::count(types, e.type) > 0; };
    };
    const auto holds = [](std::string fragment) {
        return [fragment](const ListedEntry& e) {
            return Lower(e.member).find(Lower(fragment)) != std::string::npos ||
                   Lower(e.item).find(Lower(fragment)) != std::string::npos;
        };
    };
    const std::tuple<const char*, EntryListFilter, std::function<bool(const ListedEntry&)>> cases[] = {
        {"everything", {}, [](const ListedEntry&) { return true; }},
        {"period", {.period = period}, [&](const ListedEntry& e) { return e.ts && period.contains(*e.ts); }},
        {"search ann", {.search = "ann"}, holds("ann")},
        {"search of many names, members' and items'", {.search = "E"}, holds("e")},
        {"search in an item, decoded", {.search = "T & p"}, holds("t & p")},
        {"search with a quote", {.search = "'s sTEW"}, holds("'s stew")},
        {"search of few names", {.search = "ZO\xC3\xAB"}, holds("Zo\xC3\xAB")},
        {"search of few names, gold",
         {.search = "o'n", .action = ActionGroup::Gold},
         [&](const ListedEntry& e) {
             return holds("o'n")(e) && in({4, 5, 6})(e);
         }},
        {"member", {.member = "O'Neil & Sons"}, [](const ListedEntry& e) { return e.member == "O'Neil & Sons"; }},
        {"member with a tab", {.member = "Tab\tMan"}, [](const ListedEntry& e) { return e.member == "Tab\tMan"; }},
        {"member, as the member table counts it",
         {.member = "Ann"},
         [](const ListedEntry& e) { return e.member == "Ann" || e.member == "Ann Lee"; }},
        {"member with a space", {.member = "Ann Lee"}, [](const ListedEntry& e) { return e.member == "Ann Lee"; }},
        {"item", {.item = "Salt & Pepper"}, [](const ListedEntry& e) { return e.item == "Salt & Pepper"; }},
        {"items", {.action = ActionGroup::Items}, in({1, 2})},
        {"gold", {.action = ActionGroup::Gold}, in({4, 5, 6})},
        {"repairs", {.action = ActionGroup::Repairs}, in({6})},
        {"deposits", {.action = ActionGroup::Deposits}, in({1, 4})},
        {"withdrawals", {.action = ActionGroup::Withdrawals}, in({2, 5})},
        {"all together",
         {.period = period, .search = "ann", .item = "Flask of Steady Hands", .action = ActionGroup::Deposits},
         [&](const ListedEntry& e) {
             return e.ts && period.contains(*e.ts) && holds("ann")(e) && e.item == "Flask of Steady Hands" &&
                    in({1, 4})(e);
         }},
        {"member and action",
         {.member = "Ann", .action = ActionGroup::Repairs},
         [](const ListedEntry& e) { return (e.member == "Ann" || e.member == "Ann Lee") && e.type == 6; }},
        {"nothing", {.member = "Ann", .item = "Salt"}, [](const ListedEntry&) { return false; }}};
    for (const auto& [name, filter, keeps] : cases) {
        std::vector<std::string> expected;
        for (const ListedEntry& entry : entries)
            if (keeps(entry)) // the ledger keeps an element without its end tag
                expected.push_back(entry.text.substr(0, entry.text.find("\n</banklog>")));
        const std::uint64_t count = ledger->countListed(filter);
        EXPECT_EQ(count, expected.size()) << name;
        const ListedPage all = ledger->listRows(filter, 0, count + 5);
        EXPECT_EQ(all.total, count) << name;
        const std::vector<ListedRow>& rows = all.rows;
        ASSERT_EQ(rows.size(), expected.size()) << name;
        std::vector<ListedRow> streamed;
        ledger->forEachListed(filter, [&](const ListedRow& row) { streamed.push_back(row); });
        EXPECT_EQ(streamed, rows) << name;
        const ListTotals totals = TotalsOfCells(rows);
        EXPECT_EQ(ledger->listTotals(filter), totals) << name;
        // The first screen's read with the totals: of the hours, or of the count's own pass.
        EXPECT_EQ(ledger->listRows(filter, 0, 3, false, true),
                  (ListedPage{.rows = {rows.begin(), rows.begin() + std::min<std::ptrdiff_t>(3, std::ssize(rows))},
                              .total = count,
                              .totals = totals}))
            << name;
        if (filter == EntryListFilter{}) {
            for (const ListSum& summed : kListSums)
                EXPECT_GT(totals.*summed.sum, 0) << "every sum, of type " << summed.type;
        }
        std::vector<std::string> listed;
        for (const ListedRow& row : rows)
            listed.push_back(row.text);
        std::ranges::sort(listed);
        std::ranges::sort(expected);
        EXPECT_EQ(listed, expected) << name;
        for (std::size_t i = 1; i < rows.size(); ++i)
            EXPECT_GE(rows[i - 1].ts.value_or(INT64_MAX), rows[i].ts.value_or(0)) << name << ": newest first";
        // Windows from the start, the end and the middle, one starting inside an entry of two copies.
        const auto twice =
            std::ranges::find(rows, entries[100].text.substr(0, entries[100].text.find("\n</")), &ListedRow::text);
        if (twice != rows.end()) {
            EXPECT_EQ(twice[1], *twice) << name << ": one row per copy";
        }
        const std::uint64_t inside = static_cast<std::uint64_t>(twice - rows.begin()) + 1;
        for (const auto& [first, size] : {std::pair<std::uint64_t, std::uint64_t>{0, 7},
                                          {count / 2, 3},
                                          {count > 5 ? count - 5 : 0, 10},
                                          {inside, 2},
                                          {count - inside, 1}}) {
            if (first >= count)
                continue;
            const std::vector<ListedRow> window = ledger->listRows(filter, first, size).rows;
            EXPECT_EQ(window,
                      std::vector<ListedRow>(rows.begin() + static_cast<std::ptrdiff_t>(first),
                                             rows.begin() + static_cast<std::ptrdiff_t>(std::min(count, first + size))))
                << name << " from " << first;
        }
    }
    ExpectAmountsAsCells(ledgerName, "added");
    // A name that another program's add brought is found by a search on this connection too.
    std::ignore =
        AddToLedger(*open(ledgerName), "<?xml?>\n<banklog money=\"5\" player=\"Newcomer\" type=\"4\"/>", {}, 0);
    EXPECT_EQ(ledger->countListed({.search = "newcomer"}), 1u);
    // An add of more new names than one statement takes finds each of them, the last in byte order too, and
    // gives each its sums once.
    std::vector<std::string> crowd;
    for (int i = 0; i < 6000; ++i)
        crowd.push_back("<banklog money=\"5\" player=\"M" + std::to_string(i) + "\" type=\"4\"/>");
    std::ignore = AddToLedger(*ledger, Page(crowd, 0, crowd.size()), {}, 0);
    for (const char* member : {"M0", "M999"})
        EXPECT_EQ(ledger->countListed({.member = member}), 1u) << member;
    const std::uint64_t copies = ledger->totals().entries;
    ReadSql(ledgerName, [&](LedgerSql& sql, ListNames&) {
        sql.run("SELECT CAST(sum(member_copies) AS bigint), CAST(sum(item_copies) AS bigint) FROM entry_name", {},
                [&](const SqlRow& row) {
                    EXPECT_EQ(static_cast<std::uint64_t>(row.integer(0)), copies);
                    EXPECT_EQ(static_cast<std::uint64_t>(row.integer(1)), copies);
                });
    });
    // An id that no name has, as another program may write it, matches no search.
    const std::uint64_t many = ledger->countListed({.search = "E"});
    store().tamper(
        ledgerName,
        "UPDATE entry SET member_id = -2 WHERE member_id = (SELECT id FROM entry_name WHERE name = CAST('Ann' AS "
        "BLOB))",
        "UPDATE entry SET member_id = -2 WHERE member_id = (SELECT id FROM entry_name WHERE name = 'Ann'::bytea)");
    EXPECT_EQ(ledger->countListed({.search = "E"}), many);
}

// The count and totals of a period, an Action choice or a search, from the sums each add keeps per hour and
// per name and the entries of the hours the period cuts or of the members the search reads, are those of
// the listed rows: for periods that start and end anywhere in an hour; for searches of most members, of
// few, of items alone, of a member and items at once, and of nothing; with untimed entries, entries of two
// copies, and entries whose smaller text of another count or another item's name comes before or after
// them; whichever order the pastes come in.
TEST_P(LedgerStoreTest, TotalsOfPeriodsActionsAndSearchesFromTheKeptSums) {
    constexpr std::uint64_t kHour = 3'600'000, kMinute = 60'000, kBase = 1'200'000'000'000 / kHour * kHour;
    std::vector<std::string> page, smaller;
    for (std::uint64_t i = 0; i < 140; ++i) {
        const std::string ts = i % 23 == 22 ? "" : " ts=\"" + std::to_string(kBase + i * 17 * kMinute + i % 7) + "\"";
        const std::string player = i % 5 == 4 ? "Thingol" : "P" + std::to_string(i % 5);
        const auto element = [&](std::uint64_t count, const std::string& item) {
            return "<banklog money=\"" + std::to_string(i * 101 + 1) + "\" player=\"" + player + "\"" + ts +
                   " type=\"" + std::to_string(i % 7) + "\"><item count=\"" + std::to_string(count) + "\" id=\"" +
                   std::to_string(i) + "\" name=\"" + item + "\"/></banklog>";
        };
        page.push_back(element(i % 9 + 2, "Thing"));
        if (i % 3 == 0)
            page.push_back(page.back());
        if (i % 4 == 0) // the same entry, whose count "1" is the smaller text
            smaller.push_back(element(1, "Thing"));
        else if (i % 4 == 1) // the same entry, whose item's other name is the smaller text
            smaller.push_back(element(i % 9 + 2, "Another thing"));
    }
    const std::string first = store().fresh(), second = store().fresh();
    for (const auto& [name, pastes] : {std::pair{first, std::vector{page, smaller}}, {second, {smaller, page}}})
        for (const std::vector<std::string>& elements : pastes)
            std::ignore = AddToLedger(*open(name), Page(elements, 0, elements.size()), {}, 0);
    const TimeRange periods[] = {{kBase + kHour, kBase + 5 * kHour - 1},
                                 {kBase + kHour / 2 + 1234, kBase + 9 * kHour + 17 * kMinute},
                                 {kBase + 30 * kMinute, kBase + 24 * kHour + 30 * kMinute - 1},
                                 {kBase + 2 * kHour + 5 * kMinute, kBase + 2 * kHour + 50 * kMinute},
                                 {kBase + 2 * kHour + 30 * kMinute, kBase + 3 * kHour + 30 * kMinute},
                                 {kBase + kHour, kBase + 3 * kHour},
                                 {kBase + 3 * kHour, UINT64_MAX},
                                 {0, kBase + 10 * kHour}};
    std::vector<EntryListFilter> filters;
    for (const ActionGroup action : {ActionGroup::All, ActionGroup::Items, ActionGroup::Gold, ActionGroup::Repairs,
                                     ActionGroup::Deposits, ActionGroup::Withdrawals}) {
        filters.push_back({.action = action});
        for (const TimeRange& period : periods)
            filters.push_back({.period = period, .action = action});
    }
    for (const char* search : {"p", "P3", "thing", "ANOTHER", "o", "nothing"})
        filters.push_back({.search = search});
    for (const std::string& name : {first, second}) {
        const std::unique_ptr<LedgerStore> ledger = OpenLedger(name, LedgerAccess::ReadOnly);
        ASSERT_TRUE(ledger->sumsKept().hours && ledger->sumsKept().names);
        for (const EntryListFilter& filter : filters) {
            const std::string context = (filter.period ? std::to_string(filter.period->first - kBase) + " to " +
                                                             std::to_string(filter.period->last - kBase)
                                                       : "everything") +
                                        ", action " + std::to_string(static_cast<int>(filter.action)) + ", search \"" +
                                        filter.search + "\"";
            const std::vector<ListedRow> rows = ledger->listRows(filter, 0, UINT32_MAX).rows;
            EXPECT_EQ(ledger->listTotals(filter), TotalsOfCells(rows)) << context;
            EXPECT_EQ(ledger->countListed(filter), rows.size()) << context;
        }
    }
}

// A statement of the SQL both stores share goes to the store as written: a $ inside a literal is no
// parameter.
TEST_P(LedgerStoreTest, SharedStatementsKeepADollarInsideALiteral) {
    const std::string name = store().fresh();
    std::int64_t number = 0;
    std::string literal;
    const auto read = [&](LedgerSql& sql, ListNames&) {
        sql.run("SELECT $1, 'costs $2'", {std::int64_t{7}}, [&](const SqlRow& row) {
            number = row.integer(0);
            literal = row.bytes(1);
        });
    };
    if (IsServerLedger(name))
        EXPECT_TRUE(testing::StoreSql<PostgresLedger>(name, LedgerAccess::ReadWrite).withListSql(read));
    else
        EXPECT_TRUE(testing::StoreSql<SqliteLedger>(name, SqliteDatabase::Access::ReadWrite).withListSql(read));
    EXPECT_EQ(number, 7);
    EXPECT_EQ(literal, "costs $2");
}

// A read is one moment of the ledger: another program's add that commits as any of its statements
// begins shows in all of the read or in none of it, never in a part: the report's log and the totals it
// counts against, the last row of the list and its count, the summary --info shows.
TEST_P(LedgerStoreTest, AReadIsOneMomentWhateverCommitsBetweenItsStatements) {
    const std::string name = store().fresh();
    const std::unique_ptr<LedgerStore> writer = open(name);
    std::ignore = AddToLedger(*writer, Page({kAnn, kBob}, 0, 2), {}, 0);
    std::uint64_t lastRow = 0;
    const auto text = [](const std::vector<ListedRow>& rows) {
        std::string listed;
        for (const ListedRow& row : rows)
            listed += row.text + "\n";
        return listed;
    };
    const std::pair<const char*, std::function<std::string(LedgerStore&)>> reads[] = {
        {"the report's log",
         [](LedgerStore& ledger) {
             const LedgerLog log = ReadLedgerLog(ledger, TimeRange{0, 5000});
             return std::string(std::string_view(log.text)) + std::to_string(log.leftOut);
         }},
        {"the list's last row before the add",
         [&](LedgerStore& ledger) {
             const ListedPage page = ledger.listRows({}, lastRow, 1);
             return text(page.rows) + std::to_string(page.total);
         }},
        {"the summary", [&](LedgerStore& ledger) {
             LedgerSummary summary = ReadLedgerSummary(ledger, name);
             summary.fileSize.reset(); // not of the moment: the files' size as they are
             std::string lines =
                 std::to_string(summary.pastes.size()) + " pastes, " + std::to_string(summary.gaps.size()) + " gaps\n";
             for (const std::string& line : LedgerTotalsLines(summary))
                 lines += line + "\n";
             return lines;
         }}};
    int added = 0;
    for (const auto& [read, result] : reads)
        for (int at = 0;; ++at) {
            lastRow = writer->totals().entries - 1;
            const std::string before = result(*OpenLedger(name, LedgerAccess::ReadOnly));
            // The next add brings the oldest entry: it moves the list's last row, and the period holds it.
            const std::string older = "<banklog money=\"5\" player=\"P" + std::to_string(added) + "\" ts=\"" +
                                      std::to_string(900 - added) + "\" type=\"4\"/>";
            const std::unique_ptr<LedgerStore> reader = OpenLedger(name, LedgerAccess::ReadOnly);
            int statements = 0;
            reader->beforeEachStatement([&] {
                if (statements++ == at)
                    std::ignore = AddToLedger(*writer, Page({older}, 0, 1), {}, 0);
            });
            std::string seen;
            try {
                seen = result(*reader);
            } catch (const LedgerError& error) { // what a read of two moments may take for damage
                seen = error.what();
            }
            if (statements <= at)
                break; // past the read's last statement
            ++added;
            const std::string after = result(*OpenLedger(name, LedgerAccess::ReadOnly));
            EXPECT_NE(before, after) << read;
            EXPECT_TRUE(seen == before || seen == after) << read << ", added as statement " << at << " began:\n"
                                                         << seen << "before:\n"
                                                         << before << "after:\n"
                                                         << after;
        }
    EXPECT_GT(added, 9);
}

// Entries of one time, and of one time and rank, that no paste puts in order among themselves: the list
// (every window, from either end, and streamed, also oldest first) and the log the analysis reads hold them
// in the ledger's one order (ComesBefore), and a sort by a column keeps that order among its ties, in a
// ledger of this version and in one of each older version read as it is.
TEST_P(LedgerStoreTest, EntriesOfOneTimeInTheOneOrderEverywhere) {
    const std::string name = store().fresh();
    const std::unique_ptr<LedgerStore> ledger = open(name);
    // Each paste: two entries of one time (ranks 0 and 1 in every paste) and an untimed one that follows
    // them, then one of an earlier time; on every third an untimed one above every time; one entry twice.
    for (int paste = 0; paste < 8; ++paste) {
        const auto entry = [paste](int money, const char* ts) {
            return "<banklog money=\"" + std::to_string(money) + "\" player=\"P" + std::to_string(paste) + "\"" +
                   (*ts != '\0' ? " ts=\"" + std::string(ts) + "\"" : "") + " type=\"4\"/>";
        };
        std::vector<std::string> page = {entry(1, "5000"), entry(2, "5000"), entry(3, ""), entry(4, "4000")};
        if (paste % 3 == 0)
            page.insert(page.begin(), entry(0, ""));
        if (paste == 5)
            page.push_back(page.back());
        std::ignore = AddToLedger(*ledger, Page(page, 0, page.size()), {}, 0);
    }
    const auto inOneOrder = [](LedgerStore& read, const std::string& what) {
        std::vector<LedgerEntry> entries = read.entries(std::nullopt);
        std::ranges::sort(entries, [](const LedgerEntry& a, const LedgerEntry& b) {
            return ComesBefore(a.order, a.key, b.order, b.key);
        });
        std::vector<ListedRow> expected;
        std::string log, firstTies; // the log's entry lines; the players of time 5000 and rank 0
        for (const LedgerEntry& e : entries) {
            EXPECT_EQ(e.key, EntryKey(EntryIdentity(e.text), e.ts)) << what;
            expected.insert(expected.end(), e.copies, ListedRow{e.text, e.ts});
            for (std::uint64_t copy = 0; copy < e.copies; ++copy)
                log += e.text + "\n";
            if (e.order == EntryOrder{5000, 0})
                firstTies += e.text.substr(e.text.find("P"), 2);
        }
        // Else the test could not tell the keys' order from the adds' (the file's row ids) or the texts'.
        EXPECT_NE(firstTies, "P0P1P2P3P4P5P6P7") << what;
        const std::uint64_t total = read.countListed({});
        ASSERT_EQ(total, expected.size()) << what;
        // The same the other way round, and sorted by gold (one digit here), ties in the list's order.
        const std::vector<ListedRow> oldestFirst(expected.rbegin(), expected.rend());
        std::vector<ListedRow> byGold = expected, byGoldReversed = expected;
        const auto money = [](const ListedRow& row) { return row.text.at(row.text.find("money=\"") + 7); };
        std::ranges::stable_sort(byGold, {}, money);
        std::ranges::stable_sort(byGoldReversed, std::greater{}, money);
        const std::optional<SortedList> sorted = read.sortListed({}, *EntrySortNamed("gold")),
                                        reversed =
                                            read.sortListed({}, {.column = EntrySortColumn::Gold, .reversed = true});
        ASSERT_TRUE(sorted && reversed) << what;
        EXPECT_FALSE(read.sortListed({}, *EntrySortNamed("gold"), total - 1)) << what << ": past the most it takes";
        const auto window = [total](const std::vector<ListedRow>& rows, std::uint64_t first) {
            return std::vector(rows.begin() + static_cast<std::ptrdiff_t>(first),
                               rows.begin() + static_cast<std::ptrdiff_t>(std::min(total, first + 3)));
        };
        for (std::uint64_t first = 0; first < total; ++first) { // windows nearer the end are read from there
            EXPECT_EQ(read.listRows({}, first, 3).rows, window(expected, first)) << what << " from " << first;
            EXPECT_EQ(read.listRows({}, first, 3, true).rows, window(oldestFirst, first)) << what << " from " << first;
            EXPECT_EQ(read.sortedRows({}, *sorted, first, 3), window(byGold, first)) << what << " from " << first;
            EXPECT_EQ(read.sortedRows({}, *reversed, first, 3), window(byGoldReversed, first))
                << what << " from " << first;
        }
        for (const bool backwards : {false, true}) {
            std::vector<ListedRow> streamed;
            read.forEachListed(
                {}, [&](const ListedRow& row) { streamed.push_back(row); }, backwards);
            EXPECT_EQ(streamed, backwards ? oldestFirst : expected) << what;
        }
        const std::string text(ReadLedgerLog(read, std::nullopt).text);
        EXPECT_EQ(text.substr(text.find('\n', text.find("<guildKey")) + 1), log) << what;
    };
    inOneOrder(*ledger, "this version");
    for (const std::int64_t version : store().olderVersions)
        if (version >= store().readsFrom) {
            const std::string old = store().fresh();
            store().writeOld(old, version, name, *ledger);
            inOneOrder(*OpenLedger(old, LedgerAccess::ReadOnly), "version " + std::to_string(version));
        }
}

// Two officers add at once: one a paste inside the time the ledger covers, the other one far later.
// Whichever goes first, the first opens no gap and the second the one before it, even when the second
// commits while the first is under way.
TEST_P(LedgerStoreTest, AnAddTellsOnlyTheGapsItOpened) {
    const auto entry = [](int player, int ts) {
        return "<banklog money=\"5\" player=\"P" + std::to_string(player) + "\" ts=\"" + std::to_string(ts) +
               "\" type=\"4\"/>\n";
    };
    std::string inside = "<?xml?>\n";
    for (int i = 0; i < 20'000; ++i)
        inside += entry(i, 2000 + i % 7000);
    for (int round = 0; round < 3; ++round) {
        const std::string name = store().fresh();
        std::ignore = AddToLedger(*open(name), "<?xml?>\n" + entry(0, 1000) + entry(0, 10'000), {}, 0);
        AddReport insideAdd, laterAdd;
        std::thread first([&] { insideAdd = AddToLedger(*open(name), inside, {}, 0); });
        std::this_thread::sleep_for(std::chrono::milliseconds(20 * round));
        laterAdd = AddToLedger(*open(name), "<?xml?>\n" + entry(1, 50'000), {}, 0);
        first.join();
        const std::vector<TimeGap> gaps = FindGaps(open(name)->pastes());
        ASSERT_EQ(gaps.size(), 1u);
        EXPECT_EQ(insideAdd.outcome.openedGaps, std::vector<TimeGap>()) << round;
        EXPECT_EQ(laterAdd.outcome.openedGaps, gaps) << round;
    }
}

// A ledger that another program changed: one of a newer version, or with a trigger on its tables, is
// refused by every open; one whose rows break its rules is refused by a merge, which checks every row,
// with nothing merged.
TEST_P(LedgerStoreTest, RefusesALedgerAnotherProgramChanged) {
    const std::string newer = " is a ledger of a newer Coffer (version 99); this program reads ledgers up to version " +
                              std::to_string(LedgerFormatVersion()) + ".";
    const struct {
        const char *file, *server, *message;
        LedgerErrorKind kind;
    } cases[] = {
        {"PRAGMA user_version = 99", "UPDATE coffer_ledger SET version = 99", newer.c_str(),
         LedgerErrorKind::NewerVersion},
        {"CREATE TRIGGER wipe AFTER INSERT ON entry BEGIN DELETE FROM entry; END",
         "CREATE FUNCTION wipe() RETURNS trigger LANGUAGE plpgsql AS 'BEGIN DELETE FROM entry; RETURN NULL; END';"
         "CREATE TRIGGER wipe AFTER INSERT ON entry EXECUTE FUNCTION wipe()",
         " is not a Coffer ledger (it holds trigger wipe).", LedgerErrorKind::NotALedger},
        {"UPDATE entry SET copies = 0", "UPDATE entry SET copies = 0",
         " is damaged: an entry's copies are not a whole number from 1 to 1,000,000", LedgerErrorKind::Damaged},
        {"UPDATE entry SET ts = -5", "UPDATE entry SET ts = -5",
         " is damaged: an entry's time is not one that a ledger stores", LedgerErrorKind::Damaged},
        {"UPDATE entry SET order_time = order_time + 1", "UPDATE entry SET order_time = order_time + 1",
         " is damaged: an entry's time is not one that a ledger stores", LedgerErrorKind::Damaged},
        {"UPDATE entry SET text = text || char(10) || text", "UPDATE entry SET text = text || '\\x0a'::bytea || text",
         " is damaged: an entry's text is not one banklog element of its time", LedgerErrorKind::Damaged},
    };
    for (const auto& c : cases) {
        const std::string changed = store().fresh(), target = store().fresh();
        std::ignore = AddToLedger(*open(changed), Page({kAnn, kBob}, 0, 2), {}, 0);
        store().tamper(changed, c.file, c.server);
        const std::unique_ptr<LedgerStore> into = open(target);
        for (const LedgerAccess access : {LedgerAccess::ReadOnly, LedgerAccess::ReadWrite}) {
            try {
                std::ignore = MergeLedger(*into, *OpenLedger(changed, access), "OTHER");
                ADD_FAILURE() << "merged: " << c.message;
            } catch (const LedgerError& error) {
                EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
                EXPECT_EQ(error.kind(), c.kind) << error.what();
            }
        }
        EXPECT_EQ(into->totals().entries, 0u) << c.message;
    }
    // The list and the report refuse what they could not count: entries of no copies (which a window of
    // rows passes over), or of more than anything holds, and running totals that are not there, that
    // count more entries without a time than entries, or fewer entries than the entries' copies; and the
    // sums of the list's totals kept per hour or for the untimed entries, or per name, below none or not
    // whole numbers.
    enum Refused { Totals, Entries, EntriesInAWindow, TotalsBelowEntries, Sums, NameSums };
    for (const auto& [change, refused] : {std::pair{"UPDATE entry SET copies = 0", Entries},
                                          {"UPDATE entry SET copies = 9223372036854775807", EntriesInAWindow},
                                          {"DELETE FROM entry_totals", Totals},
                                          {"UPDATE entry_totals SET untimed = copies + 1", Totals},
                                          {"UPDATE entry_totals SET copies = 2", TotalsBelowEntries},
                                          {"UPDATE entry_hours SET repairs = -1", Sums},
                                          {"UPDATE entry_totals SET items_withdrawn = -3", Sums},
                                          {"UPDATE entry_name SET member_copies = -1", NameSums},
                                          {"UPDATE entry_name SET item_repairs = -5", NameSums}}) {
        const std::string changed = store().fresh();
        std::ignore = AddToLedger(*open(changed), Page({kAnn, kAnn, kAnn, kBob}, 0, 4), {}, 0);
        store().tamper(changed, change, change);
        const std::unique_ptr<LedgerStore> ledger = OpenLedger(changed, LedgerAccess::ReadOnly);
        if (refused == Sums || refused == NameSums) {
            const std::vector<EntryListFilter> filters =
                refused == Sums ? std::vector<EntryListFilter>{{}, {.action = ActionGroup::Items}}
                                : std::vector<EntryListFilter>{{.search = "a"}, {.search = "bob"}};
            for (const EntryListFilter& filter : filters)
                try {
                    std::ignore = ledger->listTotals(filter);
                    ADD_FAILURE() << "summed: " << change;
                } catch (const LedgerError& error) {
                    EXPECT_EQ(error.kind(), LedgerErrorKind::Damaged) << error.what();
                }
            continue;
        }
        if (refused == Totals) {
            EXPECT_THROW(std::ignore = ledger->countListed({}), LedgerError) << change;
            EXPECT_THROW(std::ignore = ledger->totals(), LedgerError) << change;
            continue;
        }
        if (refused == TotalsBelowEntries) { // what the totals leave for the rest would be below none
            EXPECT_THROW(std::ignore = ReadLedgerLog(*ledger, TimeRange{0, 5000}), LedgerError) << change;
            EXPECT_THROW(std::ignore = ledger->listRows({}, 1, 1), LedgerError) << change;
            continue;
        }
        EXPECT_THROW(ledger->forEachListed({}, [](const ListedRow&) {}), LedgerError) << change;
        EXPECT_THROW(std::ignore = ReadLedgerLog(*ledger, std::nullopt), LedgerError) << change;
        if (refused == EntriesInAWindow) {
            EXPECT_THROW(std::ignore = ledger->listRows({}, 0, 10), LedgerError) << change;
        }
    }
}

#ifdef COFFER_PG_STATE
template <typename... Values> PgParams Params(const Values&... values) {
    PgParams params;
    (params.add(values), ...);
    return params;
}
std::int64_t Signed(std::uint64_t value) {
    return static_cast<std::int64_t>(value);
}

Store ServerStore() {
    static testing::TestServer server;
    return {"Server",
            {1, 3, kHourCountsVersion, kListColumnsVersion, kListNamesVersion, kListSumsVersion, kHourSumsVersion},
            3,
            [] { return server.uri(server.freshDatabase()); },
            [](const std::string& ledger, std::int64_t version, const std::string&, LedgerStore& source) {
                PgConnection db(ledger, false, {});
                PgTransaction transaction(db);
                // The entries as every version before the list's columns kept them; that version's step
                // reads the columns from their texts.
                const std::int64_t entriesAt = std::min(version, kListColumnsVersion - 1);
                UpgradeServerLedger(db, 0, entriesAt);
                for (const LedgerEntry& e : source.entries(std::nullopt))
                    if (version >= 3) // keyed, as the file's
                        db.query("INSERT INTO entry VALUES ($1, $2, $3, $4, $5, $6)",
                                 Params(EntryKey(EntryIdentity(e.text), e.ts), e.text, Signed(e.copies), e.ts,
                                        e.order.time, e.order.rank));
                    else
                        db.query(
                            "INSERT INTO entry VALUES (sha256($1), $1, $2, $3, 0, $4, $5, $6)",
                            Params(EntryIdentity(e.text), e.text, Signed(e.copies), e.ts, e.order.time, e.order.rank));
                if (version >= kHourCountsVersion)
                    db.query("INSERT INTO entry_hours SELECT ts / 3600000, sum(copies) FROM entry "
                             "WHERE ts IS NOT NULL GROUP BY 1");
                for (const PasteRecord& p : source.pastes())
                    db.query("INSERT INTO paste (added_at, entries, copies_added, first_ts, last_ts, file_name, "
                             "digest) VALUES ($1, $2, $3, $4, $5, $6, $7)",
                             Params(p.addedAt, Signed(p.entries), Signed(p.copiesAdded), p.firstTs, p.lastTs,
                                    p.fileName, Signed(p.digest)));
                db.query("INSERT INTO guild (name, realm) VALUES ($1, $2)",
                         Params(source.guild()->name, source.guild()->realm));
                db.query(version >= 3 ? "UPDATE entry_totals SET copies = $1, untimed = $2"
                                      : "UPDATE coffer_ledger SET entries = $1, untimed = $2",
                         Params(Signed(source.totals().entries), Signed(source.totals().untimed)));
                UpgradeServerLedger(db, entriesAt, version);
                transaction.commit();
            },
            [](const std::string& ledger, const std::string&, const std::string& sql) {
                PgConnection(ledger, false, {}).execute(sql);
            },
            testing::TestServer::Snapshot};
}
INSTANTIATE_TEST_SUITE_P(Server, LedgerStoreTest, ::testing::Values(ServerStore()),
                         [](const auto& info) { return std::string(info.param.name); });
#else
Store FileStore() {
    static testing::TempFolder folder;
    static int files = 0;
    std::vector<std::int64_t> older(static_cast<std::size_t>(LedgerFormatVersion() - 1));
    std::iota(older.begin(), older.end(), 1);
    return {"File",
            older,
            1,
            [] { return (folder / (std::to_string(files++) + ".sqlite")).string(); },
            [](const std::string& ledger, std::int64_t version, const std::string& source, LedgerStore&) {
                WriteOldLedgerFile(ledger, version, source);
            },
            [](const std::string& ledger, const std::string& sql, const std::string&) { Craft(ledger, sql); },
            [](const std::string& ledger) { return testing::ReadFile(ledger); }};
}
INSTANTIATE_TEST_SUITE_P(File, LedgerStoreTest, ::testing::Values(FileStore()),
                         [](const auto& info) { return std::string(info.param.name); });
#endif

} // namespace
} // namespace coffer
