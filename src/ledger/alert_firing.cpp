// SPDX-License-Identifier: MIT
#include "ledger/alert_sql.h"

#include "analysis/text/web_text.h"
#include "ledger/entry_list.h"
#include "ledger/ledger_gaps.h"
#include "ledger/zone_calendar.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <set>
#include <tuple>

namespace coffer {
namespace {

constexpr const char* kBadAmountsReason = "a member's withdrawals are too large to add up";
constexpr const char* kNamelessReason = "an entry's member has no name";

// The types of entries the rules read.
constexpr std::int64_t kItemDeposit = 1, kItemWithdrawal = 2, kGoldDeposit = 4, kGoldWithdrawal = 5, kRepair = 6;

bool IsWithdrawal(std::int64_t type) {
    return type == kItemWithdrawal || type == kGoldWithdrawal;
}

// A rule with the calendar of its zone and its text, as its alerts name it.
struct RuleAtWork {
    NumberedRule numbered;
    ZoneCalendar calendar;
    std::string tail; // " (rule 1: gold withdrawn over 500g a day)"

    const AlertRule& rule() const { return numbered.rule; }
    bool spans() const { return rule().kind == AlertKind::Gold || rule().kind == AlertKind::Items; }
    ZoneCalendar::Span spanOf(std::int64_t ms) const {
        return rule().span == AlertSpan::Day ? calendar.daySpan(ms) : calendar.weekSpan(ms);
    }
    std::string spanText(const ZoneCalendar::Span& span) const {
        return rule().span == AlertSpan::Day ? calendar.dayText(span.first) : calendar.weekText(span.first);
    }
    // What an entry adds to a member's sum of a span (before its copies), or none where the rule does not count it.
    std::optional<std::int64_t> counted(std::int64_t type, const std::optional<std::int64_t>& money,
                                        const std::optional<std::int64_t>& itemCount, std::string_view tab) const {
        if (rule().kind == AlertKind::Gold)
            return type == kGoldWithdrawal || (rule().withRepairs && type == kRepair) ? money : std::nullopt;
        if (rule().kind == AlertKind::Items)
            return type == kItemWithdrawal && (rule().tab.empty() || tab == rule().tab) ? itemCount : std::nullopt;
        return std::nullopt;
    }
};

std::vector<RuleAtWork> RulesAtWork(LedgerSql& sql) {
    std::vector<RuleAtWork> rules;
    for (NumberedRule& numbered : ReadRules(sql)) {
        const std::string tail =
            " (rule " + std::to_string(numbered.number) + ": " + AlertRuleText(numbered.rule) + ")";
        ZoneCalendar calendar = *ZoneCalendar::Named(numbered.zone);
        rules.push_back({std::move(numbered), std::move(calendar), tail});
    }
    return rules;
}

// The SQL list of the entry types the rules read, "2, 5, 6".
std::string TypesRead(const std::vector<RuleAtWork>& rules, bool deposits) {
    std::set<std::int64_t> types;
    for (const RuleAtWork& at : rules) {
        if (at.rule().kind == AlertKind::Gold) {
            types.insert(kGoldWithdrawal);
            if (at.rule().withRepairs)
                types.insert(kRepair);
        } else if (at.rule().kind == AlertKind::Items || at.rule().kind == AlertKind::Tab)
            types.insert(kItemWithdrawal);
        else if (at.rule().kind == AlertKind::Newcomer) {
            types.insert({kItemWithdrawal, kGoldWithdrawal});
            if (deposits)
                types.insert({kItemDeposit, kGoldDeposit});
        }
    }
    std::string list;
    for (const std::int64_t type : types)
        list += (list.empty() ? "" : ", ") + std::to_string(type);
    return list;
}

// sum += amount * copies, or the ledger is damaged: amounts a crafted ledger holds may be anything.
void AddAmount(const LedgerSql& sql, std::int64_t& sum, std::int64_t amount, std::int64_t copies) {
    std::int64_t product = 0;
    if (__builtin_mul_overflow(amount, copies, &product) || __builtin_add_overflow(sum, product, &sum))
        ThrowDamaged(sql, kBadAmountsReason);
}

// An alert found, with the rest of its key and where it goes among the others.
struct Found {
    FiredAlert alert;
    std::string member;   // as the ledger names the member (the alert's member is cleaned to be shown)
    std::string occasion; // the day or week, the entry's key, the gap's start, or nothing
    std::int64_t moment = 0;
};

Found SpanAlert(const RuleAtWork& at, std::string_view member, const ZoneCalendar::Span& span, std::int64_t sum) {
    const std::string day = at.spanText(span), shown = CleanText(member);
    const std::string what =
        at.rule().kind == AlertKind::Gold
            ? CopperText(static_cast<std::uint64_t>(sum))
            : std::to_string(sum) + " items" + (at.rule().tab.empty() ? std::string() : " from tab " + at.rule().tab);
    return {.alert = {.rule = at.numbered.number,
                      .member = shown,
                      .day = day,
                      .line = day + ": " + shown + " withdrew " + what + at.tail,
                      .firedAt = 0},
            .member = std::string(member),
            .occasion = day,
            .moment = span.first};
}

// An alert of a withdrawal from the rule's tab, unless the rule names a rank the member's is above.
std::optional<Found> TabAlert(const RuleAtWork& at, std::string_view member, std::string_view text, std::int64_t ts,
                              std::string occasion) {
    const EntryCells cells = MakeEntryCells(text, ts);
    const std::string& rank = cells[kRankColumn];
    if (at.rule().lowestRank) {
        std::int64_t number = -1;
        const auto [end, error] = std::from_chars(rank.data(), rank.data() + rank.size(), number);
        if (rank.empty() || error != std::errc() || end != rank.data() + rank.size() || number < *at.rule().lowestRank)
            return std::nullopt;
    }
    return Found{.alert = {.rule = at.numbered.number,
                           .member = CleanText(member),
                           .day = at.calendar.dayText(ts),
                           .line = at.calendar.timeText(ts) + ": " + cells[kMemberColumn] +
                                   (rank.empty() ? "" : " (rank " + rank + ")") + " withdrew " + cells[kCountColumn] +
                                   " " + cells[kItemColumn] + " from tab " + at.rule().tab + at.tail,
                           .firedAt = 0},
                 .member = std::string(member),
                 .occasion = std::move(occasion),
                 .moment = ts};
}

Found NewcomerAlert(const RuleAtWork& at, std::string_view member, std::int64_t day) {
    const std::string dayText = at.calendar.dayText(day), shown = CleanText(member);
    return {.alert = {.rule = at.numbered.number,
                      .member = shown,
                      .day = dayText,
                      .line = dayText + ": " + shown + " has withdrawn and never deposited" + at.tail,
                      .firedAt = 0},
            .member = std::string(member),
            .occasion = {},
            .moment = day};
}

Found GapAlert(const RuleAtWork& at, const TimeGap& gap) {
    return {.alert = {.rule = at.numbered.number,
                      .member = {},
                      .day = at.calendar.dayText(gap.from),
                      .line = at.calendar.timeText(gap.from) + " to " + at.calendar.timeText(gap.to) +
                              ": entries may be missing" + at.tail,
                      .firedAt = 0},
            .member = {},
            .occasion = std::to_string(gap.from),
            .moment = gap.from};
}

// A few hundred values a statement.
constexpr std::size_t kValuesPerStatement = 250;
// Of the alerts, whose rows have six values each: SQLite looks each parameter's number up among those before it.
constexpr std::size_t kAlertsPerStatement = 80;

// Runs `statement(values, params)` on the items a part at a time, with "(…), (…)" of the part's items as
// `values`, each as `write` writes it (its parameters added to `params`).
template <class Item>
void InParts(const std::vector<Item>& items,
             const std::function<std::string(const Item&, std::vector<SqlValue>&)>& write,
             const std::function<void(const std::string& values, const std::vector<SqlValue>& params)>& statement,
             std::size_t perStatement = kValuesPerStatement) {
    for (std::size_t first = 0; first < items.size(); first += perStatement) {
        std::string values;
        std::vector<SqlValue> params;
        for (std::size_t at = first; at < std::min(first + perStatement, items.size()); ++at)
            values += (values.empty() ? "(" : ", (") + write(items[at], params) + ")";
        statement(values, params);
    }
}

// The parameter's name ($N) of a value added to the list.
std::string Param(std::vector<SqlValue>& params, SqlValue value) {
    params.push_back(value);
    return "$" + std::to_string(params.size());
}

// The ids of the names the add holds that are `wanted`, by their places (-1 for the others).
std::vector<std::int64_t> MemberIds(LedgerSql& sql, const std::vector<std::string>& names,
                                    const std::vector<bool>& wanted) {
    std::vector<std::int64_t> ids(names.size(), -1);
    std::vector<std::uint32_t> places;
    for (std::uint32_t place = 0; place < names.size(); ++place)
        if (wanted[place])
            places.push_back(place);
    const auto byName = [&](std::uint32_t place) { return std::string_view(names[place]); };
    std::ranges::sort(places, {}, byName);
    InParts<std::uint32_t>(
        places,
        [&](std::uint32_t place, std::vector<SqlValue>& params) {
            return Param(params, std::string_view(names[place]));
        },
        [&](const std::string& values, const std::vector<SqlValue>& params) {
            sql.runWith("SELECT id, name FROM entry_name WHERE name IN (VALUES " + values + ")", params,
                        [&](const SqlRow& row) {
                            const auto at = std::ranges::lower_bound(places, row.bytes(1), {}, byName);
                            if (at != places.end() && byName(*at) == row.bytes(1))
                                ids[*at] = row.integer(0);
                        });
        });
    return ids;
}

// The names of these ids of members.
std::map<std::int64_t, std::string> MemberNames(LedgerSql& sql, const std::set<std::int64_t>& idSet) {
    std::map<std::int64_t, std::string> names;
    const std::vector<std::int64_t> ids(idSet.begin(), idSet.end());
    InParts<std::int64_t>(
        ids, [](std::int64_t id, std::vector<SqlValue>&) { return std::to_string(id); },
        [&](const std::string& values, const std::vector<SqlValue>&) {
            sql.run("SELECT id, name FROM entry_name WHERE id IN (VALUES " + values + ")", {},
                    [&](const SqlRow& row) { names.emplace(row.integer(0), row.bytes(1)); });
        });
    return names;
}

// Of these members, those the ledger holds no deposit of.
std::set<std::int64_t> WithoutDeposits(LedgerSql& sql, const std::set<std::int64_t>& members) {
    std::set<std::int64_t> without;
    const std::vector<std::int64_t> ids(members.begin(), members.end());
    InParts<std::int64_t>(
        ids, [](std::int64_t id, std::vector<SqlValue>&) { return std::to_string(id); },
        [&](const std::string& values, const std::vector<SqlValue>&) {
            sql.run("SELECT CAST(w.column1 AS bigint) FROM (VALUES " + values +
                        ") AS w WHERE NOT EXISTS (SELECT 1 FROM entry e WHERE e.member_id = w.column1 AND e.type IN (" +
                        std::to_string(kItemDeposit) + ", " + std::to_string(kGoldDeposit) + "))",
                    {}, [&](const SqlRow& row) { without.insert(row.integer(0)); });
        });
    return without;
}

// Stores the alerts the ledger does not hold yet, and gives back those, in their order.
std::vector<FiredAlert> StoreNew(LedgerSql& sql, std::vector<Found>& found, std::int64_t now) {
    using Key = std::tuple<std::int64_t, std::string, std::string>;
    std::set<Key> stored;
    InParts<Found>(
        found,
        [now](const Found& f, std::vector<SqlValue>& params) {
            return Param(params, f.alert.rule) + ", " + Param(params, std::string_view(f.member)) + ", " +
                   Param(params, std::string_view(f.occasion)) + ", " + Param(params, SqlText{f.alert.day}) + ", " +
                   Param(params, SqlText{f.alert.line}) + ", " + Param(params, now);
        },
        [&](const std::string& values, const std::vector<SqlValue>& params) {
            sql.runWith("INSERT INTO alert (rule, member, occasion, day, line, fired_at) VALUES " + values +
                            " ON CONFLICT (rule, member, occasion) DO NOTHING RETURNING rule, member, occasion",
                        params, [&](const SqlRow& row) {
                            stored.emplace(row.integer(0), std::string(row.bytes(1)), std::string(row.bytes(2)));
                        });
        },
        kAlertsPerStatement);
    std::vector<FiredAlert> fired;
    for (Found& f : found)
        if (stored.contains(Key(f.alert.rule, f.member, f.occasion))) {
            f.alert.firedAt = now;
            fired.push_back(std::move(f.alert));
        }
    return fired;
}

// The day or week of each moment a rule counts, found again from those found before: a read of the ledger
// meets the same few spans again and again, in any order.
class SpanFinder {
  public:
    explicit SpanFinder(const RuleAtWork& at) : at_(at) {}
    ZoneCalendar::Span of(std::int64_t ms) {
        const auto after = std::ranges::upper_bound(spans_, ms, {}, &ZoneCalendar::Span::first);
        if (after != spans_.begin() && std::prev(after)->contains(ms))
            return *std::prev(after);
        return *spans_.insert(after, at_.spanOf(ms)); // the spans are apart: the new one goes between
    }

  private:
    const RuleAtWork& at_;
    std::vector<ZoneCalendar::Span> spans_;
};

} // namespace

std::vector<FiredAlert> FireRules(LedgerSql& sql, const AddedEntries& added, const std::vector<TimeGap>& openedGaps,
                                  std::int64_t now) {
    const std::vector<RuleAtWork> rules = RulesAtWork(sql);
    if (rules.empty())
        return {};
    std::vector<SpanFinder> finders(rules.begin(), rules.end());
    const std::vector<std::string>& names = added.fields.names; // members are known by their places in it
    std::vector<Found> found;
    // The spans of the members' days and weeks the add brought withdrawals to, each once, with the rules that
    // count them and their sums.
    struct Window {
        std::uint32_t member;
        ZoneCalendar::Span span;
        std::vector<std::pair<std::size_t, std::int64_t>> sums; // by rule
    };
    std::map<std::tuple<std::uint32_t, std::int64_t, std::int64_t>, std::size_t> windowAt; // a day and a week may begin
                                                                                           // together
    std::vector<Window> windows;
    std::vector<bool> named(names.size()), withdrawing(names.size()), depositing(names.size());
    for (const std::size_t seq : added.gained) {
        const IncomingFields::Row& row = added.fields.rows[seq];
        const EntryFieldsView fields = added.fields.view(seq);
        const PasteEntry& entry = added.entries[seq];
        if (!fields.type || fields.member.empty())
            continue;
        if (IsWithdrawal(*fields.type))
            withdrawing[row.member] = named[row.member] = true;
        else if (*fields.type == kItemDeposit || *fields.type == kGoldDeposit)
            depositing[row.member] = true;
        if (!entry.ts)
            continue;
        for (std::size_t rule = 0; rule < rules.size(); ++rule) {
            const RuleAtWork& at = rules[rule];
            if (at.rule().kind == AlertKind::Tab && *fields.type == kItemWithdrawal && fields.tab == at.rule().tab) {
                if (std::optional<Found> tab =
                        TabAlert(at, fields.member, entry.text, *entry.ts, std::string(added.keys[seq])))
                    found.push_back(std::move(*tab));
            } else if (at.spans() && at.counted(*fields.type, fields.money, fields.itemCount, fields.tab)) {
                const ZoneCalendar::Span span = finders[rule].of(*entry.ts);
                const auto [place, made] = windowAt.try_emplace({row.member, span.first, span.end}, windows.size());
                if (made)
                    windows.push_back({row.member, span, {}});
                named[row.member] = true;
                auto& sums = windows[place->second].sums;
                auto sum = std::ranges::find(sums, rule, &std::pair<std::size_t, std::int64_t>::first);
                if (sum == sums.end())
                    sum = sums.emplace(sums.end(), rule, 0);
                // In a ledger that held nothing before, a window's entries are the add's.
                if (added.alone)
                    AddAmount(sql, sum->second, *at.counted(*fields.type, fields.money, fields.itemCount, fields.tab),
                              static_cast<std::int64_t>(entry.copies));
            }
        }
    }
    const std::vector<std::int64_t> ids = MemberIds(sql, names, named);

    // Each window's entries, through the index of members, types and times.
    std::vector<std::size_t> places(windows.size());
    for (std::size_t place = 0; place < places.size(); ++place)
        places[place] = place;
    InParts<std::size_t>(
        added.alone ? std::vector<std::size_t>() : places,
        [&](std::size_t place, std::vector<SqlValue>&) {
            const Window& window = windows[place];
            return std::to_string(place) + ", " + std::to_string(ids[window.member]) + ", " +
                   std::to_string(window.span.first) + ", " + std::to_string(window.span.end);
        },
        [&](const std::string& values, const std::vector<SqlValue>&) {
            sql.run("SELECT CAST(w.column1 AS bigint), e.type, e.money, e.item_count, e.copies, e.tab FROM (VALUES " +
                        values + ") AS w JOIN entry e ON e.member_id = w.column2 AND e.type IN (" +
                        TypesRead(rules, false) + ") AND e.ts >= w.column3 AND e.ts < w.column4",
                    {}, [&](const SqlRow& row) {
                        const std::int64_t copies =
                            static_cast<std::int64_t>(CheckedCopies(row.integer(4), row.isInteger(4), sql.name()));
                        for (auto& [rule, sum] : windows[static_cast<std::size_t>(row.integer(0))].sums)
                            if (const std::optional<std::int64_t> amount = rules[rule].counted(
                                    row.integer(1), row.optionalInteger(2), row.optionalInteger(3), row.bytes(5)))
                                AddAmount(sql, sum, *amount, copies);
                    });
        });
    for (std::size_t rule = 0; rule < rules.size(); ++rule)
        for (const Window& window : windows)
            for (const auto& [counting, sum] : window.sums)
                if (counting == rule && sum > rules[rule].rule().over)
                    found.push_back(SpanAlert(rules[rule], names[window.member], window.span, sum));

    std::set<std::int64_t> newcomers;
    if (std::ranges::any_of(rules, [](const RuleAtWork& at) { return at.rule().kind == AlertKind::Newcomer; })) {
        std::set<std::int64_t> withdrawingIds;
        for (std::size_t member = 0; member < names.size(); ++member)
            if (withdrawing[member] && !depositing[member])
                withdrawingIds.insert(ids[member]);
        newcomers = added.alone ? withdrawingIds : WithoutDeposits(sql, withdrawingIds);
    }
    for (const RuleAtWork& at : rules) {
        if (at.rule().kind == AlertKind::Newcomer)
            for (std::size_t member = 0; member < names.size(); ++member)
                if (withdrawing[member] && newcomers.contains(ids[member]))
                    found.push_back(NewcomerAlert(at, names[member], now));
        if (at.rule().kind == AlertKind::Gap)
            for (const TimeGap& gap : openedGaps)
                found.push_back(GapAlert(at, gap));
    }
    std::ranges::stable_sort(found, {}, [](const Found& f) { return f.alert.rule; });
    return StoreNew(sql, found, now);
}

std::vector<FiredAlert> CheckRulesOnHistory(LedgerSql& sql, const std::optional<TimeRange>& period) {
    const std::vector<RuleAtWork> rules = RulesAtWork(sql);
    if (rules.empty())
        return {};
    std::vector<SpanFinder> finders(rules.begin(), rules.end());
    // By rule: each member's sum of each span, by the member's id and the span's first moment.
    std::vector<std::map<std::pair<std::int64_t, std::int64_t>, std::pair<ZoneCalendar::Span, std::int64_t>>> sums(
        rules.size());
    std::vector<std::vector<std::string>> tabIds(rules.size()); // by rule: the withdrawals from its tab
    std::map<std::int64_t, std::int64_t> firstWithdrawal;       // by member
    std::set<std::int64_t> depositing;
    std::vector<SqlValue> params;
    if (period)
        params = {TimeParam(period->first), TimeParam(period->last)};
    sql.runEach(
        "SELECT member_id, type, ts, money, item_count, copies, tab, " + std::string(sql.dialect().entryId) +
            " FROM entry WHERE member_id IS NOT NULL AND type IN (" + TypesRead(rules, true) + ") AND " +
            (period ? "ts BETWEEN $1 AND $2" : "ts IS NOT NULL"),
        params, [&](const SqlRow& row) {
            const std::int64_t member = row.integer(0), type = row.integer(1), ts = row.integer(2);
            const std::int64_t copies =
                static_cast<std::int64_t>(CheckedCopies(row.integer(5), row.isInteger(5), sql.name()));
            if (type == kItemDeposit || type == kGoldDeposit)
                depositing.insert(member);
            else if (IsWithdrawal(type)) {
                const auto [first, made] = firstWithdrawal.try_emplace(member, ts);
                first->second = std::min(first->second, ts);
            }
            for (std::size_t rule = 0; rule < rules.size(); ++rule) {
                const RuleAtWork& at = rules[rule];
                if (at.rule().kind == AlertKind::Tab && type == kItemWithdrawal && row.bytes(6) == at.rule().tab)
                    tabIds[rule].push_back(IdOf(sql, row, 7));
                else if (const std::optional<std::int64_t> amount =
                             at.spans() ? at.counted(type, row.optionalInteger(3), row.optionalInteger(4), row.bytes(6))
                                        : std::nullopt) {
                    const ZoneCalendar::Span span = finders[rule].of(ts);
                    auto& sum = sums[rule].try_emplace({member, span.first}, span, 0).first->second.second;
                    AddAmount(sql, sum, *amount, copies);
                }
            }
        });
    std::set<std::int64_t> named;
    for (std::size_t rule = 0; rule < rules.size(); ++rule)
        for (const auto& [key, spanSum] : sums[rule])
            if (spanSum.second > rules[rule].rule().over)
                named.insert(key.first);
    std::set<std::int64_t> withdrawing;
    for (const auto& [member, first] : firstWithdrawal)
        if (!depositing.contains(member))
            withdrawing.insert(member);
    const bool newcomerRule =
        std::ranges::any_of(rules, [](const RuleAtWork& at) { return at.rule().kind == AlertKind::Newcomer; });
    // Within a period, a deposit before or after it counts too.
    const std::set<std::int64_t> newcomers =
        newcomerRule ? WithoutDeposits(sql, withdrawing) : std::set<std::int64_t>();
    named.insert(newcomers.begin(), newcomers.end());
    const std::map<std::int64_t, std::string> names = MemberNames(sql, named);
    const auto nameOf = [&](std::int64_t member) -> const std::string& {
        const auto at = names.find(member);
        if (at == names.end())
            ThrowDamaged(sql, kNamelessReason);
        return at->second;
    };
    const std::vector<TimeGap> gaps = FindGaps(ReadPastes(sql));

    std::vector<Found> found;
    for (std::size_t rule = 0; rule < rules.size(); ++rule) {
        const RuleAtWork& at = rules[rule];
        for (const auto& [key, spanSum] : sums[rule])
            if (spanSum.second > at.rule().over)
                found.push_back(SpanAlert(at, nameOf(key.first), spanSum.first, spanSum.second));
        for (std::size_t first = 0; first < tabIds[rule].size(); first += kValuesPerStatement) {
            const std::vector<std::string> part(
                tabIds[rule].begin() + static_cast<std::ptrdiff_t>(first),
                tabIds[rule].begin() +
                    static_cast<std::ptrdiff_t>(std::min(first + kValuesPerStatement, tabIds[rule].size())));
            ForEachWithId(sql, part, [&](const std::string&, const ListedRow& row) {
                if (std::optional<Found> tab = TabAlert(at, ReadEntryFields(row.text).member, row.text, *row.ts, {}))
                    found.push_back(std::move(*tab));
            });
        }
        if (at.rule().kind == AlertKind::Newcomer)
            for (const std::int64_t member : newcomers)
                found.push_back(NewcomerAlert(at, nameOf(member), firstWithdrawal.at(member)));
        if (at.rule().kind == AlertKind::Gap)
            for (const TimeGap& gap : gaps)
                if (!period || (gap.to >= TimeParam(period->first) && gap.from <= TimeParam(period->last)))
                    found.push_back(GapAlert(at, gap));
    }
    std::ranges::sort(found, {}, [](const Found& f) { return std::tie(f.alert.rule, f.moment, f.member); });
    std::vector<FiredAlert> alerts;
    for (Found& f : found)
        alerts.push_back(std::move(f.alert));
    return alerts;
}

} // namespace coffer
