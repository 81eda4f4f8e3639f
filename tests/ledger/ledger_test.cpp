#include "analysis/analysis_run.h"
#include "analysis/scan/bank_log_scanner.h"
#include "genlog/banklog_generator.h"
#include "ledger/entry_identity.h"
#include "ledger/ledger_actions.h"
#include "ledger/sqlite_ledger.h"
#include "report/table_export.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>

namespace coffer {
namespace {

using testing::TempFolder;

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
TEST(LedgerTest, OverlappingPastesInAnyOrderGiveTheLogsTables) {
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
        pastes.push_back(std::move(paste));
    }
    const std::uint64_t first = std::stoull(std::string(TsOf(elements[1200]))),
                        last = std::stoull(std::string(TsOf(elements[700])));
    TempFolder folder;
    std::vector<std::unique_ptr<SqliteLedger>> ledgers;
    auto open = [&](const char* name) -> SqliteLedger& {
        return *ledgers.emplace_back(
            std::make_unique<SqliteLedger>((folder / name).string(), SqliteDatabase::Access::ReadWrite));
    };
    for (const char* name : {"a.sqlite", "b.sqlite"}) {
        SqliteLedger& ledger = open(name);
        std::ranges::shuffle(pastes, random);
        for (const std::string& paste : pastes)
            AddToLedger(ledger, paste, {}, 0);
        AddToLedger(ledger, pastes[0], {}, 0);
        EXPECT_EQ(ledger.pastes().size(), pastes.size()) << "a paste added again is listed once";
    }
    // Another officer's ledger of some of the pastes, with the first ledger merged into it.
    SqliteLedger& merged = open("c.sqlite");
    for (std::size_t i = 0; i < pastes.size(); i += 3)
        AddToLedger(merged, pastes[i], {}, 0);
    MergeLedger(merged, *ledgers[0], "a.sqlite");
    EXPECT_EQ(merged.pastes().size(), pastes.size());
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

// A ledger of the first version, without the running sums of copies, is read as it is and gets them from
// its entries when it is opened for writing; adds then keep them. Every version this program writes passes
// the check of the schema, and so does the upgrade of each.
TEST(LedgerTest, OlderLedgerIsBroughtUpToDate) {
    TempFolder folder;
    const std::string file = (folder / "old.sqlite").string();
    const std::string entry = "<banklog money=\"6\" player=\"Bob\" type=\"4\"/>\n";
    {
        SqliteLedger ledger(file, SqliteDatabase::Access::ReadWrite);
        AddToLedger(ledger, "<?xml?>\n<banklog money=\"5\" player=\"Ann\" ts=\"1000\" type=\"4\"/>\n" + entry + entry,
                    {}, 0);
    }
    SqliteDatabase(file, SqliteDatabase::Access::ReadWrite, {})
        .execute("DROP TABLE entry_totals; PRAGMA user_version = 1");
    EXPECT_EQ(SqliteLedger(file, SqliteDatabase::Access::ReadOnly).totals().untimed, 2u) << "read, not upgraded";
    SqliteLedger ledger(file, SqliteDatabase::Access::ReadWrite);
    // One more copy of an entry it holds, and a new one.
    AddToLedger(ledger, "<?xml?>\n" + entry + entry + entry + "<banklog money=\"7\" player=\"Cy\" type=\"4\"/>\n", {},
                0);
    const LedgerTotals totals = ledger.totals();
    EXPECT_EQ(totals.entries, 5u);
    EXPECT_EQ(totals.untimed, 4u);
}

// A paste of another guild, or naming two, is refused and the ledger stays as it was.
TEST(LedgerTest, RefusesAnotherGuild) {
    TempFolder folder;
    SqliteLedger ledger((folder / "l.sqlite").string(), SqliteDatabase::Access::ReadWrite);
    const std::string entry = "<banklog money=\"5\" player=\"Ann\" ts=\"1000\" type=\"4\"/>\n";
    auto page = [&](const std::string& guild) {
        return "<?xml?>\n<guildKey name=\"" + guild + "\" realm=\"Silver Hand\"/>\n" + entry;
    };
    EXPECT_EQ(AddToLedger(ledger, "<?xml?>\n" + entry, {}, 0).namesGuild, false);
    AddToLedger(ledger, page("Iron Lanterns"), {}, 0);
    const AddProgress stop = [](std::uint64_t, std::uint64_t) { return false; };
    std::string tooMany = "<?xml?>\n";
    for (int copy = 0; copy <= 1'000'000; ++copy)
        tooMany += "<banklog type=\"4\"/>\n";
    const std::tuple<std::string, const char*, AddProgress> refused[] = {
        {page("Iron lanterns"),
         "is of the guild Iron lanterns of Silver Hand, but the ledger holds the guild Iron Lanterns of Silver Hand",
         {}},
        {page("Iron Lanterns") + page("Copper Kettles"),
         "names more than one guild (Iron Lanterns of Silver Hand, Copper Kettles of Silver Hand)",
         {}},
        {page("Iron Lanterns"), "The add was cancelled; the ledger is as it was.", stop},
        {tooMany, "The paste repeats an entry more than 1,000,000 times on one page", {}}};
    for (const auto& [paste, message, progress] : refused) {
        try {
            AddToLedger(ledger, paste + "<banklog money=\"6\" player=\"Bob\" ts=\"2000\" type=\"4\"/>\n", {}, 0,
                        progress);
            ADD_FAILURE() << "added " << paste;
        } catch (const LedgerError& error) {
            EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
        }
        EXPECT_EQ(ledger.totals().entries, 1u);
        EXPECT_EQ(ledger.pastes().size(), 1u) << "the same entries with a guild key are the same paste";
    }
}

// A statement of a reading connection stops past the bound that the file's size sets; one of a connection
// without locks, when the file changed meanwhile (it might have read half a change). Each with its message.
TEST(LedgerTest, AReadEndsPastItsBoundOrWhenTheFileChanges) {
    TempFolder folder;
    const std::string file = (folder / "l.sqlite").string();
    SqliteLedger(file, SqliteDatabase::Access::ReadWrite);
    SqliteDatabase reader(file, SqliteDatabase::Access::ReadOnly, {}),
        inspector(file, SqliteDatabase::Access::Inspect, {});
    {
        SqliteLedger writer(file, SqliteDatabase::Access::ReadWrite);
        AddToLedger(writer, "<?xml?>\n<banklog money=\"5\" player=\"Ann\" type=\"4\"/>\n", {}, 0);
    }
    const std::tuple<SqliteDatabase*, const char*, std::string> reads[] = {
        // Unbounded, some minutes of work.
        {&reader, "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n LIMIT 3e8) SELECT count(*) FROM n",
         " took too long to read: it may be damaged or not a Coffer ledger."},
        {&inspector, "SELECT count(*) FROM entry", " changed while it was read; read it again."}};
    for (const auto& [db, sql, message] : reads) {
        SqliteStatement statement(*db, sql);
        try {
            while (statement.step())
                ;
            ADD_FAILURE() << "read to its end: " << message;
        } catch (const LedgerError& error) {
            EXPECT_EQ(error.what(), file + message);
        }
    }
}

} // namespace
} // namespace coffer
