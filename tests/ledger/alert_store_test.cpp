// SPDX-License-Identifier: MIT
// The alert rules of a ledger, on each store (a file in ledger_test, a server ledger in postgres_ledger_test):
// every rule fires where a reference computed here from the pages' entries says, in any order of the adds
// and with two writers at once, each alert once; a merge fires this ledger's rules and copies none; a rule a
// crafted ledger holds is refused with a message.
#include "analysis/scan/bank_log_scanner.h"
#include "genlog/banklog_generator.h"
#include "ledger/entry_identity.h"
#include "ledger/ledger_actions.h"
#include "ledger/ledger_open.h"
#include "ledger/postgres_ledger.h"
#include "ledger/sqlite_ledger.h"
#include "ledger/zone_calendar.h"
#include "support/temp_folder.h"
#ifdef COFFER_PG_STATE
#include "support/pg_test_server.h"
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <thread>
#include <tuple>

namespace coffer {
namespace {

#ifdef COFFER_PG_STATE
using Store = PostgresLedger;
std::string FreshLedger() {
    static const testing::TestServer server;
    static int databases = 0;
    const std::string name = "alerts" + std::to_string(getpid()) + "_" + std::to_string(databases++);
    server.admin().execute("CREATE DATABASE " + name);
    return server.uri(name);
}
template <class Opened = Store> std::unique_ptr<Opened> OpenStore(const std::string& name) {
    return std::make_unique<Opened>(name, LedgerAccess::ReadWrite);
}
#else
using Store = SqliteLedger;
std::string FreshLedger() {
    static const testing::TempFolder folder;
    static int files = 0;
    return (folder / ("alerts" + std::to_string(files++) + ".sqlite")).string();
}
template <class Opened = Store> std::unique_ptr<Opened> OpenStore(const std::string& name) {
    return std::make_unique<Opened>(name, SqliteDatabase::Access::ReadWrite);
}
#endif

// A store whose SQL the test runs statements of its own on, as another program could.
class CraftedStore : public Store {
  public:
    using Store::Store;
    void run(const std::string& statement) {
        withAlertSql(true, [&](LedgerSql& sql) { sql.run(statement); });
    }
};

// Milliseconds of a UTC time.
std::int64_t Utc(int day, int month, int hour, int minute = 0) {
    std::tm time{};
    time.tm_year = 108, time.tm_mon = month - 1, time.tm_mday = day, time.tm_hour = hour, time.tm_min = minute;
    return static_cast<std::int64_t>(timegm(&time)) * 1000;
}

std::string Gold(const std::string& member, std::int64_t ts, std::int64_t copper, int type = 5) {
    return "<banklog dtab=\"\" money=\"" + std::to_string(copper) + "\" player=\"" + member + "\" rank=\"4\" ts=\"" +
           std::to_string(ts) + "\" type=\"" + std::to_string(type) + "\"/>";
}
std::string Items(const std::string& member, int rank, std::int64_t ts, int count, const std::string& tab,
                  int type = 2) {
    return "<banklog dtab=\"" + tab + "\" money=\"0\" player=\"" + member + "\" rank=\"" + std::to_string(rank) +
           "\" ts=\"" + std::to_string(ts) + "\" type=\"" + std::to_string(type) + "\"><item count=\"" +
           std::to_string(count) + "\" id=\"3858\" name=\"Shadowforge Ore\"/></banklog>";
}

std::string Page(const std::vector<std::string>& elements) {
    std::string page = "<?xml version=\"1.0\"?>\n<page>\n<guildKey name=\"Iron Lanterns\" realm=\"Silver Hand\"/>\n";
    for (const std::string& element : elements)
        page += element + "\n";
    return page + "</page>\n";
}

const std::vector<std::string> kRules = {
    "gold withdrawn over 500g a day",               // 1, Berlin
    "gold withdrawn or repaired over 1000g a week", // 2
    "items withdrawn over 100 a week from tab 3",   // 3
    "any withdrawal from tab 5 by rank 3 or below", // 4, Berlin
    "withdrawals with no deposit ever",             // 5
    "a gap opened",                                 // 6, Berlin
    "items withdrawn over 30 a day",                // 7, New York
};
const char* ZoneOf(std::size_t rule) {
    return std::array{
        "", "Europe/Berlin", "UTC", "America/New_York", "Europe/Berlin", "UTC", "Europe/Berlin", "America/New_York"}
        .at(rule);
}

// The pages: planted patterns among a generated log's entries. Berlin is an hour ahead of UTC in December.
std::vector<std::string> Pages() {
    std::vector<std::string> generated;
    GuildIdentity guild;
    ScanBankLogElements(
        bench::GenerateBankLog({.entry_count = 600, .member_count = 12, .item_count = 30, .spread_days = 25}), guild,
        {{}, [&](const BankLogEntry&, std::string_view text, bool) { generated.emplace_back(text); }});
    const std::size_t half = generated.size() / 2;
    return {
        // Orron over the Berlin day; Ann just at it; Bob over it only across Berlin's midnight (one UTC day).
        Page({Gold("Orron", Utc(3, 12, 9), 3000000), Gold("Ann", Utc(3, 12, 9, 5), 2500000),
              Gold("Bob", Utc(3, 12, 22, 30), 3000000), Items("Dax", 4, Utc(3, 12, 20, 10), 20, "5")}),
        Page({Gold("Orron", Utc(3, 12, 19), 3124000), Gold("Ann", Utc(3, 12, 19, 5), 2500000),
              Gold("Bob", Utc(3, 12, 23, 30), 3000000), Items("Eve", 2, Utc(3, 12, 21), 5, "5"),
              Gold("Eve", Utc(3, 12, 21, 30), 10000, 6)}),
        // One entry twice on its page is two copies; items from tab 3 over the week only with both copies. The
        // week of New York begins with the Monday of Fay's third withdrawal, which is not over its day.
        Page({Items("Fay", 1, Utc(2, 12, 10), 45, "3"), Items("Fay", 1, Utc(2, 12, 10), 45, "3"),
              Items("Fay", 1, Utc(1, 12, 12), 20, "3")}),
        Page(std::vector<std::string>(generated.begin(), generated.begin() + static_cast<std::ptrdiff_t>(half))),
        Page(std::vector<std::string>(generated.begin() + static_cast<std::ptrdiff_t>(half), generated.end())),
        // A late older page, after a gap; Gus deposits on the page of his withdrawal.
        Page({Gold("Cy", Utc(20, 11, 12), 6000000), Items("Hal", 5, Utc(20, 11, 13), 7, "5"),
              Items("Gus", 3, Utc(20, 11, 10), 40, "1"), Gold("Gus", Utc(20, 11, 11), 50000, 4)}),
    };
}

// An alert by its key: the rule, the member and the day or week.
using Key = std::tuple<std::int64_t, std::string, std::string>;
std::multiset<Key> KeysOf(const std::vector<FiredAlert>& alerts, const std::set<std::int64_t>& rules) {
    std::multiset<Key> keys;
    for (const FiredAlert& alert : alerts)
        if (rules.contains(alert.rule))
            keys.emplace(alert.rule, alert.member, alert.day);
    return keys;
}

// The sums and withdrawals rules 1 to 4 and 7 fire on, from the pages' entries (each identity with the
// most copies one page holds), whatever the order of the adds.
std::multiset<Key> Reference(const std::vector<std::string>& pages) {
    std::map<std::string, std::pair<PasteEntry, std::string>> entries; // by identity
    for (const std::string& page : pages)
        for (const PasteEntry& entry : ReadPaste(page).entries) {
            auto& [kept, text] = entries[EntryIdentity(entry.text)];
            if (entry.copies > kept.copies)
                kept = entry, text = entry.text;
        }
    std::map<Key, std::int64_t> sums;
    std::multiset<Key> keys;
    for (const auto& [identity, kept] : entries) {
        const auto& [entry, text] = kept;
        const EntryFields fields = ReadEntryFields(text);
        const std::int64_t ts = *entry.ts, copies = static_cast<std::int64_t>(entry.copies);
        const auto calendar = [](std::size_t rule) { return *ZoneCalendar::Named(ZoneOf(rule)); };
        const auto sum = [&](std::size_t rule, bool week, const std::optional<std::int64_t>& amount) {
            sums[{rule, fields.member, week ? calendar(rule).weekText(ts) : calendar(rule).dayText(ts)}] +=
                amount.value_or(0) * copies;
        };
        if (fields.type == 5)
            sum(1, false, fields.money);
        if (fields.type == 5 || fields.type == 6)
            sum(2, true, fields.money);
        if (fields.type == 2 && fields.tab == "3")
            sum(3, true, fields.itemCount);
        if (fields.type == 2)
            sum(7, false, fields.itemCount);
        if (fields.type == 2 && fields.tab == "5" && std::stoi(MakeEntryCells(text, ts)[kRankColumn]) >= 3)
            keys.emplace(4, fields.member, calendar(4).dayText(ts));
    }
    const std::map<std::int64_t, std::int64_t> over = {{1, 5000000}, {2, 10000000}, {3, 100}, {7, 30}};
    for (const auto& [key, total] : sums)
        if (total > over.at(std::get<0>(key)))
            keys.insert(key);
    return keys;
}

const std::set<std::int64_t> kOrderFree = {1, 2, 3, 4, 7};

void AddRules(LedgerStore& ledger) {
    for (std::size_t rule = 1; rule <= kRules.size(); ++rule)
        ASSERT_EQ(ledger.addRule(*ParseAlertRule(kRules[rule - 1]), ZoneOf(rule)), static_cast<std::int64_t>(rule));
}

// Adds the pages in the order given; the alerts the adds told, in their order, and the starts of the gaps
// they opened.
std::vector<FiredAlert> AddPages(LedgerStore& ledger, const std::vector<std::string>& pages,
                                 const std::vector<std::size_t>& order, std::set<std::int64_t>* gapsOpened = nullptr) {
    std::vector<FiredAlert> told;
    for (const std::size_t page : order) {
        const AddOutcome outcome = AddToLedger(ledger, pages[page], {}, 0).outcome;
        told.insert(told.end(), outcome.alerts.begin(), outcome.alerts.end());
        for (const TimeGap& gap : gapsOpened != nullptr ? outcome.openedGaps : std::vector<TimeGap>())
            gapsOpened->insert(gap.from);
    }
    return told;
}

// One suite, run on the store of the test program.
class AlertStoreTest : public ::testing::TestWithParam<const char*> {};

TEST_P(AlertStoreTest, RulesFireOnceWhereTheEntriesSayInAnyOrderOfAdds) {
    const std::vector<std::string> pages = Pages();
    const std::multiset<Key> reference = Reference(pages);
    ASSERT_TRUE(reference.contains(Key(1, "Orron", "2008-12-03")) && reference.contains(Key(3, "Fay", "2008-W49")));
    for (const char* absent : {"Ann", "Bob", "Eve"})
        ASSERT_FALSE(reference.contains(Key(1, absent, "2008-12-03")) ||
                     reference.contains(Key(4, absent, "2008-12-03")))
            << absent;

    const std::string name = FreshLedger();
    const std::unique_ptr<Store> forward = OpenStore(name);
    AddRules(*forward);
    std::set<std::int64_t> gapsOpened;
    const std::vector<FiredAlert> told = AddPages(*forward, pages, {0, 1, 2, 3, 4, 5}, &gapsOpened);
    const std::vector<FiredAlert> kept = forward->alerts(std::nullopt);
    EXPECT_EQ(KeysOf(told, kOrderFree), reference);
    EXPECT_EQ(KeysOf(kept, {1, 2, 3, 4, 5, 6, 7}), KeysOf(told, {1, 2, 3, 4, 5, 6, 7}))
        << "the ledger keeps what it told";
    EXPECT_TRUE(std::ranges::is_sorted(kept, std::ranges::greater(), &FiredAlert::firedAt));
    const auto found = [&](std::int64_t rule, const std::string& member) {
        const auto at =
            std::ranges::find_if(told, [&](const FiredAlert& a) { return a.rule == rule && a.member == member; });
        return at == told.end() ? FiredAlert{.rule = 0, .member = {}, .day = {}, .line = "none", .firedAt = 0} : *at;
    };
    const auto line = [&](std::int64_t rule, const std::string& member) { return found(rule, member).line; };
    EXPECT_EQ(line(1, "Orron"), "2008-12-03: Orron withdrew 612g 40s 00c (rule 1: gold withdrawn over 500g a day)");
    EXPECT_EQ(line(1, "Cy"), "2008-11-20: Cy withdrew 600g 00s 00c (rule 1: gold withdrawn over 500g a day)");
    EXPECT_EQ(line(3, "Fay"), "2008-W49: Fay withdrew 110 items from tab 3 (rule 3: items withdrawn over 100 a week "
                              "from tab 3)");
    EXPECT_EQ(line(4, "Dax"), "2008-12-03 21:10:00: Dax (rank 4) withdrew 20 Shadowforge Ore from tab 5 (rule 4: any "
                              "withdrawal from tab 5 by rank 3 or below)");
    const FiredAlert newcomer = found(5, "Orron");
    EXPECT_EQ(newcomer.day, ZoneCalendar::Named("UTC")->dayText(newcomer.firedAt)) << "the day of the add";
    EXPECT_EQ(newcomer.line,
              newcomer.day + ": Orron has withdrawn and never deposited (rule 5: withdrawals with no deposit ever)");
    EXPECT_EQ(line(5, "Gus"), "none") << "Gus deposited on the page of his withdrawal";
    EXPECT_EQ(KeysOf(told, {6}).size(), gapsOpened.size()) << "once for each start of a gap the adds opened";
    EXPECT_EQ(std::ranges::count(told,
                                 "2008-11-20 14:00:00 to 2008-12-01 13:00:00: entries may be missing (rule 6: a "
                                 "gap opened)",
                                 &FiredAlert::line),
              1);

    // Added again, nothing fires; what the rules would fire on the history is what they fired.
    EXPECT_TRUE(AddPages(*forward, pages, {5, 4, 3, 2, 1, 0}).empty());
    EXPECT_EQ(forward->alerts(std::nullopt).size(), kept.size());
    const std::vector<FiredAlert> checked = forward->checkRules(std::nullopt);
    EXPECT_EQ(KeysOf(checked, kOrderFree), reference);
    EXPECT_EQ(KeysOf(checked, {6}).size(), FindGaps(forward->pastes()).size());
    EXPECT_EQ(forward->alerts(std::nullopt).size(), kept.size()) << "a check stores nothing";
    const TimeRange december{static_cast<std::uint64_t>(Utc(1, 12, 0)), static_cast<std::uint64_t>(Utc(31, 12, 0))};
    std::multiset<Key> inDecember = KeysOf(forward->checkRules(december), {1});
    EXPECT_EQ(inDecember.count(Key(1, "Orron", "2008-12-03")), 1u);
    EXPECT_EQ(inDecember.count(Key(1, "Cy", "2008-11-20")), 0u);

    // Backwards, and by two writers at once, the same alerts of the sums and the tabs.
    const std::string backwards = FreshLedger();
    AddRules(*OpenStore(backwards));
    const std::vector<FiredAlert> backwardsTold = AddPages(*OpenStore(backwards), pages, {5, 4, 3, 2, 1, 0});
    EXPECT_EQ(KeysOf(backwardsTold, kOrderFree), reference);
    EXPECT_TRUE(std::ranges::none_of(backwardsTold, [](const FiredAlert& a) {
        return a.rule == 5 && a.member == "Gus";
    })) << "Gus deposited on the page of the first add, into an empty ledger";
    const std::string twoWriters = FreshLedger();
    AddRules(*OpenStore(twoWriters));
    std::vector<FiredAlert> first, second;
    std::thread other([&] { first = AddPages(*OpenStore(twoWriters), pages, {0, 2, 4}); });
    second = AddPages(*OpenStore(twoWriters), pages, {5, 3, 1});
    other.join();
    first.insert(first.end(), second.begin(), second.end());
    EXPECT_EQ(KeysOf(first, kOrderFree), reference);
    EXPECT_EQ(KeysOf(OpenStore(twoWriters)->alerts(std::nullopt), kOrderFree), reference);

    // A merge fires this ledger's own rule on what it takes, and takes none of the other's rules or alerts.
    const std::string merged = FreshLedger();
    const std::unique_ptr<Store> ledger = OpenStore(merged);
    ASSERT_EQ(ledger->addRule(*ParseAlertRule("any withdrawal from tab 5"), "UTC"), 1);
    const AddOutcome outcome = MergeLedger(*ledger, *forward, name);
    EXPECT_EQ(ledger->rules().size(), 1u);
    EXPECT_EQ(KeysOf(ledger->alerts(std::nullopt), {1, 2, 3, 4, 5, 6, 7}), KeysOf(outcome.alerts, {1}));
    EXPECT_EQ(KeysOf(outcome.alerts, {1}), KeysOf(ledger->checkRules(std::nullopt), {1}));
    for (const char* member : {"Dax", "Eve", "Hal"})
        EXPECT_EQ(KeysOf(outcome.alerts, {1})
                      .count(Key(1, member, member == std::string("Hal") ? "2008-11-20" : "2008-12-03")),
                  1u)
            << member;
}

// A rule's text or zone that this program would not write, as a crafted ledger may hold them, is refused with
// a message, by the rules' list, the check and the add alike, and so is an entry of no member's name; a rule
// taken out of force fires no more.
TEST_P(AlertStoreTest, ACraftedRuleIsRefusedAndARemovedOneFiresNoMore) {
    const std::vector<std::string> pages = Pages();
    for (const char* crafted : {"UPDATE alert_rule SET text = 'gold withdrawn over lots'",
                                "UPDATE alert_rule SET zone = '../../etc/passwd'"}) {
        const std::string name = FreshLedger();
        const std::unique_ptr<CraftedStore> ledger = OpenStore<CraftedStore>(name);
        ASSERT_EQ(ledger->addRule(*ParseAlertRule("a gap opened"), "UTC"), 1);
        ledger->run(crafted);
        EXPECT_THROW(std::ignore = ledger->rules(), LedgerError) << crafted;
        EXPECT_THROW(std::ignore = ledger->checkRules(std::nullopt), LedgerError) << crafted;
        EXPECT_THROW(std::ignore = AddToLedger(*ledger, pages[0], {}, 0), LedgerError) << crafted;
    }
    const std::unique_ptr<CraftedStore> ledger = OpenStore<CraftedStore>(FreshLedger());
    EXPECT_THROW(ledger->addRule(*ParseAlertRule("a gap opened"), "Mars/Olympus_Mons"), LedgerError);
    const std::int64_t gold = ledger->addRule(*ParseAlertRule("gold withdrawn over 1g a day"), "UTC");
    EXPECT_TRUE(ledger->removeRule(gold));
    EXPECT_FALSE(ledger->removeRule(gold)) << "out of force already";
    EXPECT_EQ(ledger->addRule(*ParseAlertRule("gold withdrawn over 1g a week"), "UTC"), gold + 1)
        << "a number is never given twice";
    EXPECT_EQ(KeysOf(AddPages(*ledger, pages, {0}), {gold}).size(), 0u);
    EXPECT_EQ(ledger->rules().size(), 1u);
    ledger->run("UPDATE entry SET member_id = member_id + 1000"); // names no member
    EXPECT_THROW(std::ignore = ledger->checkRules(std::nullopt), LedgerError);
}

#ifdef COFFER_PG_STATE
INSTANTIATE_TEST_SUITE_P(Server, AlertStoreTest, ::testing::Values("Server"),
                         [](const auto& info) { return std::string(info.param); });
#else
INSTANTIATE_TEST_SUITE_P(File, AlertStoreTest, ::testing::Values("File"),
                         [](const auto& info) { return std::string(info.param); });
#endif

} // namespace
} // namespace coffer
