// SPDX-License-Identifier: MIT
#include "analysis/text/shown_address.h"
#include "analysis/text/text_util.h"
#include "ledger/alert_sql.h"
#include "ledger/incoming_columns.h"
#include "ledger/ledger_actions.h"
#include "ledger/ledger_gaps.h"
#include "ledger/ledger_sql.h"

#include <algorithm>
#include <array>
#include <map>
#include <unordered_map>

namespace coffer {
namespace {

// The statements that go through the incoming entries take a part of them at a time, those whose seq is
// from $1 and before $2: a fraction of a second's work each, after which the add's watch hears how far the
// step has come and may stop it.
constexpr std::size_t kEntriesPerStatement = 5'000;

// The stored entries that an incoming one would change (or none: a new entry), and those whose text
// differs, whose identity is compared in full; with what the stored one adds to the list's totals.
constexpr const char* kChanges =
    "SELECT n.seq, e.copies, e.text, e.order_time, e.order_rank, e.type, e.money, e.item_count, "
    "(SELECT name FROM entry_name WHERE id = e.member_id), (SELECT name FROM entry_name WHERE id = e.item_id) "
    "FROM incoming n "
    "LEFT JOIN entry e ON e.key = n.key "
    "WHERE n.seq >= $1 AND n.seq < $2 AND (e.key IS NULL OR n.copies > e.copies OR n.text <> e.text "
    "OR (n.order_time, n.order_rank) > (e.order_time, e.order_rank))";

// The entries as they come, into a ledger that holds none: their keys differ, as the add checked.
std::string Insert(const SqlDialect& d) {
    const std::string nameIds = d.incomingNameIds ? "member_id, item_id"
                                                  : "(SELECT id FROM entry_name WHERE name = incoming.member), "
                                                    "(SELECT id FROM entry_name WHERE name = incoming.item)";
    return "INSERT INTO entry (key, text, copies, ts, order_time, order_rank, type, member_id, item_id, money, "
           "item_count, tab) SELECT key, text, copies, ts, order_time, order_rank, type, " +
           nameIds + ", money, item_count, tab FROM incoming WHERE seq >= $1 AND seq < $2";
}

// Every rule is a maximum or a minimum: adds give the same ledger in any order.
std::string Upsert(const SqlDialect& d) {
    const std::string later = "(excluded.order_time, excluded.order_rank) > (entry.order_time, entry.order_rank)";
    // The list's columns are read from the text: they follow it.
    std::string fromText;
    for (const char* column : {"type", "member_id", "item_id", "money", "item_count", "tab"})
        fromText += std::string(", ") + column + " = CASE WHEN excluded.text < entry.text THEN excluded." + column +
                    " ELSE entry." + column + " END";
    return Insert(d) + " ON CONFLICT (key) DO UPDATE SET copies = " + d.greatest +
           "(entry.copies, excluded.copies), order_time = CASE WHEN " + later +
           " THEN excluded.order_time ELSE entry.order_time END, order_rank = CASE WHEN " + later +
           " THEN excluded.order_rank ELSE entry.order_rank END" + fromText + ", text = " + d.least +
           "(entry.text, excluded.text) WHERE excluded.copies > entry.copies OR excluded.text < entry.text OR " + later;
}

// The sums' columns, each followed by `then`: "items_deposited = items_deposited + ..." and such.
std::string SumColumns(const std::function<std::string(const char* column)>& then) {
    std::string columns;
    for (const ListSum& summed : kListSums)
        columns += std::string(", ") + summed.column + then(summed.column);
    return columns;
}

// The copies and sums of a change (CountedValues) as numbers of a statement's text.
std::string SumsValues(const CountedTotals& change) {
    std::string values;
    for (const std::int64_t value : CountedValues(change))
        values += (values.empty() ? "" : ", ") + std::to_string(value);
    return values;
}

// Adds the copies and sums each hour gained to those of the hours, a few hundred hours a statement. The
// numbers are the add's own, written into the text.
void CountHours(LedgerSql& sql, const std::map<std::int64_t, CountedTotals>& added) {
    constexpr std::size_t kHoursPerStatement = 500;
    auto hour = added.begin();
    while (hour != added.end()) {
        std::string values;
        for (std::size_t n = 0; n < kHoursPerStatement && hour != added.end(); ++n, ++hour) {
            values +=
                (values.empty() ? "(" : ", (") + std::to_string(hour->first) + ", " + SumsValues(hour->second) + ")";
        }
        sql.run("INSERT INTO entry_hours (hour, copies" + SumColumns([](const char*) { return ""; }) + ") VALUES " +
                values + " ON CONFLICT (hour) DO UPDATE SET copies = entry_hours.copies + excluded.copies" +
                SumColumns([](const char* column) {
                    return std::string(" = entry_hours.") + column + " + excluded." + column;
                }));
    }
}

// What an add changes of the sums the names keep, in each role: of the names of the incoming entries by
// their places, and of the other names that changed entries held before.
struct NamesChange {
    std::array<std::vector<CountedTotals>, 2> byPlace;
    std::map<std::pair<std::size_t, std::string>, CountedTotals> others;
};

// Adds to the sums of the other names, a few hundred a statement, what they lost or gained. Each is in the
// ledger already, and once in a statement: one that updated a name from two rows would take one of them.
void CountOtherNames(LedgerSql& sql, const NamesChange& added) {
    constexpr std::size_t kNamesPerStatement = 250;
    for (std::size_t role = 0; role < std::size(kNameRoles); ++role) {
        std::string set;
        int column = 1;
        for (const std::string& sum : NameSumColumns(kNameRoles[role]))
            set += (set.empty() ? "" : ", ") + sum + " = " + sum + " + v.column" + std::to_string(++column);
        auto next = added.others.begin();
        while (next != added.others.end()) {
            std::vector<SqlValue> params;
            std::string values;
            for (; next != added.others.end() && params.size() < kNamesPerStatement; ++next)
                if (next->first.first == role) {
                    params.emplace_back(std::string_view(next->first.second));
                    values += (values.empty() ? "($" : ", ($") + std::to_string(params.size()) + ", " +
                              SumsValues(next->second) + ")";
                }
            if (!params.empty())
                sql.runWith("UPDATE entry_name SET " + set + " FROM (VALUES " + values +
                                ") AS v WHERE entry_name.name = v.column1",
                            params, {});
        }
    }
}

// Gives the names of the entries' members and items that the ledger does not know yet new ids, and those
// it knows their gains, through the table incoming_name, the names in byte order: the index of names fills
// from one end. Where the dialect takes them, gives back each entry's ids of its names.
std::vector<NameIds> AddNewNames(LedgerSql& sql, const IncomingFields& fields, const NamesChange& sums,
                                 const std::function<void()>& advance) {
    constexpr std::size_t kNamesPerStatement = 5'000;
    const std::vector<std::string>& names = fields.names;
    std::vector<std::uint32_t> inOrder(names.size());
    for (std::uint32_t place = 0; place < inOrder.size(); ++place)
        inOrder[place] = place;
    std::ranges::sort(inOrder, {}, [&](std::uint32_t place) { return std::string_view(names[place]); });
    std::vector<IncomingName> incoming;
    incoming.reserve(inOrder.size());
    for (const std::uint32_t place : inOrder)
        incoming.push_back({names[place], FoldedCase(names[place]), {sums.byPlace[0][place], sums.byPlace[1][place]}});
    sql.loadIncomingNames(incoming);
    // A name the ledger knows gains its sums; one that gains nothing is not written.
    std::string sumColumns, gain, gained;
    for (const char* role : kNameRoles)
        for (const std::string& sum : NameSumColumns(role)) {
            sumColumns += ", " + sum;
            gain += (gain.empty() ? "" : ", ") + sum + " = entry_name." + sum + " + excluded." + sum;
            gained += (gained.empty() ? "" : " OR ") + ("excluded." + sum) + " <> 0";
        }
    std::vector<std::int64_t> ids(names.size());
    for (std::size_t first = 0; first < incoming.size(); first += kNamesPerStatement) {
        const std::size_t end = std::min(first + kNamesPerStatement, incoming.size());
        const std::array<SqlValue, 2> part = {static_cast<std::int64_t>(first), static_cast<std::int64_t>(end)};
        sql.runWith("INSERT INTO entry_name (name, fold" + sumColumns + ") SELECT name, fold" + sumColumns +
                        " FROM incoming_name WHERE seq >= $1 AND seq < $2 ON CONFLICT (name) DO UPDATE SET " + gain +
                        " WHERE " + gained,
                    part, {});
        if (sql.dialect().incomingNameIds)
            sql.runWith("SELECT n.seq, e.id FROM incoming_name n JOIN entry_name e ON e.name = n.name "
                        "WHERE n.seq >= $1 AND n.seq < $2",
                        part, [&](const SqlRow& row) { ids[inOrder[row.integer(0)]] = row.integer(1); });
        advance();
    }
    std::vector<NameIds> byEntry;
    if (sql.dialect().incomingNameIds) {
        byEntry.reserve(fields.rows.size());
        for (const IncomingFields::Row& row : fields.rows)
            byEntry.push_back({ids[row.member], ids[row.item]});
    }
    return byEntry;
}

// Which incoming entries the ledger holds as they are: the same text, at least as many copies, and a place
// in the pastes' order at least as late. Adding them would change nothing, so they need no key. They are
// found in one read of the stored entries of the incoming ones' span of times, where the hours say that it
// holds not many more than come in; an entry without a time above it on its page is not looked for.
std::vector<bool> HeldAsTheyAre(LedgerSql& sql, std::span<const PasteEntry> entries) {
    constexpr std::uint64_t kMostStoredPerIncoming = 4; // a stored entry read costs a fraction of a key
    std::vector<bool> held(entries.size());
    std::optional<std::int64_t> first, last;
    for (const PasteEntry& entry : entries)
        if (const std::int64_t time = entry.order.time; time >= 0) {
            first = std::min(first.value_or(time), time);
            last = std::max(last.value_or(time), time);
        }
    if (!first)
        return held;
    std::int64_t inSpan = 0;
    sql.run("SELECT CAST(coalesce(sum(copies), 0) AS bigint) FROM entry_hours WHERE hour >= $1 AND hour <= $2",
            {*first / kMsPerHour, *last / kMsPerHour}, [&](const SqlRow& row) { inSpan = row.integer(0); });
    if (inSpan <= 0 || static_cast<std::uint64_t>(inSpan) > kMostStoredPerIncoming * entries.size())
        return held;
    std::unordered_map<std::string_view, std::size_t> byText;
    byText.reserve(entries.size());
    for (std::size_t place = 0; place < entries.size(); ++place)
        if (entries[place].order.time >= 0)
            byText.emplace(entries[place].text, place);
    sql.run("SELECT text, copies, order_time, order_rank FROM entry WHERE order_time >= $1 AND order_time <= $2",
            {*first, *last}, [&](const SqlRow& row) {
                const auto found = byText.find(row.bytes(0));
                if (found == byText.end())
                    return;
                const PasteEntry& entry = entries[found->second];
                const std::int64_t copies = row.integer(1);
                held[found->second] = copies > 0 && entry.copies <= static_cast<std::uint64_t>(copies) &&
                                      entry.order <= EntryOrder{row.integer(2), row.integer(3)};
            });
    return held;
}

[[noreturn]] void RefuseCollision(const LedgerSql& sql) {
    throw LedgerError(LedgerErrorKind::Other,
                      sql.name() + ": two different entries have the same key; nothing was added.");
}

std::optional<GuildIdentity> ReadGuild(LedgerSql& sql) {
    std::optional<GuildIdentity> guild;
    sql.run("SELECT name, realm FROM guild", {}, [&](const SqlRow& row) {
        guild = GuildIdentity{std::string(row.bytes(0)), std::string(row.bytes(1))};
    });
    return guild;
}

// Lists the paste unless the ledger lists one of the same entries and times already.
bool List(LedgerSql& sql, const PasteRecord& record) {
    bool listed = false;
    sql.run("SELECT id FROM paste WHERE digest = $1 AND entries = $2 AND first_ts IS NOT DISTINCT FROM $3 "
            "AND last_ts IS NOT DISTINCT FROM $4",
            {static_cast<std::int64_t>(record.digest), static_cast<std::int64_t>(record.entries),
             record.firstTs ? SqlValue(*record.firstTs) : SqlValue(std::nullopt),
             record.lastTs ? SqlValue(*record.lastTs) : SqlValue(std::nullopt)},
            [&](const SqlRow&) { listed = true; });
    if (listed)
        return false;
    const auto guild = [&](const std::string GuildIdentity::*part) {
        return record.guild ? SqlValue(SqlText{*record.guild.*part}) : SqlValue(std::nullopt);
    };
    sql.run("INSERT INTO paste (added_at, entries, copies_added, first_ts, last_ts, guild_name, guild_realm, "
            "file_name, digest) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9)",
            {record.addedAt, static_cast<std::int64_t>(record.entries), static_cast<std::int64_t>(record.copiesAdded),
             record.firstTs ? SqlValue(*record.firstTs) : SqlValue(std::nullopt),
             record.lastTs ? SqlValue(*record.lastTs) : SqlValue(std::nullopt), guild(&GuildIdentity::name),
             guild(&GuildIdentity::realm), SqlText{record.fileName}, static_cast<std::int64_t>(record.digest)});
    return true;
}

} // namespace

std::vector<PasteRecord> ReadPastes(LedgerSql& sql) {
    std::vector<PasteRecord> pastes;
    sql.run("SELECT added_at, entries, copies_added, first_ts, last_ts, guild_name, guild_realm, file_name, digest "
            "FROM paste ORDER BY id",
            {}, [&](const SqlRow& row) {
                PasteRecord& record = pastes.emplace_back();
                record.addedAt = row.integer(0);
                record.entries = static_cast<std::uint64_t>(row.integer(1));
                record.copiesAdded = static_cast<std::uint64_t>(row.integer(2));
                record.firstTs = row.optionalInteger(3);
                record.lastTs = row.optionalInteger(4);
                if (!row.isNull(5))
                    record.guild = GuildIdentity{std::string(row.bytes(5)), std::string(row.bytes(6))};
                // A ledger of an older program may hold a fetched page's address with its secrets.
                record.fileName = ShownPasteName(row.bytes(7));
                record.digest = static_cast<std::uint64_t>(row.integer(8));
            });
    return pastes;
}

namespace {

// Has the add's statements ask its stop while it lives, and what they asked before after.
class StopWhile {
  public:
    StopWhile(LedgerSql& sql, std::function<bool()> stop)
        : sql_(sql), before_(sql.stopStatementsWhen(std::move(stop))) {}
    ~StopWhile() { sql_.stopStatementsWhen(std::move(before_)); }
    StopWhile(const StopWhile&) = delete;
    StopWhile& operator=(const StopWhile&) = delete;

  private:
    LedgerSql& sql_;
    std::function<bool()> before_;
};

AddOutcome AddSteps(LedgerSql& sql, const LedgerAddition& addition) {
    const AddWatch& watch = addition.watch;
    const std::int64_t began = NowMs(); // when the alerts of this add fired
    const auto stopIfAsked = [&watch] {
        if (watch.stop && watch.stop())
            throw AddCancelled();
    };
    const auto tell = [&watch](AddStep step) {
        if (watch.steps)
            watch.steps(step);
    };
    // A stop asked for by the time a step begins ends the add before its first statement.
    const auto begin = [&](AddStep step) {
        tell(step);
        stopIfAsked();
    };
    // The step has come this far: a stop asked for meanwhile ends the add before the watch hears of it.
    const auto advance = [&](std::uint64_t done, std::uint64_t total) {
        stopIfAsked();
        if (watch.progress && !watch.progress(done, total))
            throw AddCancelled();
    };
    begin(AddStep::Read);
    // What the ledger holds as it comes is left out from here on.
    std::span<const PasteEntry> entries(addition.entries);
    std::vector<PasteEntry> changing;
    if (const std::vector<bool> held = HeldAsTheyAre(sql, entries); std::ranges::find(held, true) != held.end()) {
        for (std::size_t place = 0; place < entries.size(); ++place)
            if (!held[place])
                changing.push_back(entries[place]);
        entries = changing;
    }
    const IncomingFields fields = MakeIncomingFields(entries, [&](std::size_t made) { advance(made, entries.size()); });
    KeysMaker keys(entries, addition.entryKey);
    // An addition holds each identity once: one key twice is two identities. Refused before what two entries
    // of one key would make fail: a store's copy of the keys, the index of keys made again after an insert.
    const auto refuseKeyTwice = [&] {
        if (keys.anyTwice())
            RefuseCollision(sql);
    };
    // Runs the statement on every incoming entry, a part at a time (see kEntriesPerStatement), once their keys
    // are made.
    const auto throughEntries = [&](const std::string& statement, const std::function<void(const SqlRow&)>& row) {
        for (std::size_t first = 0; first < entries.size(); first += kEntriesPerStatement) {
            const std::size_t end = std::min(first + kEntriesPerStatement, entries.size());
            keys.upTo(end);
            sql.run(statement, {static_cast<std::int64_t>(first), static_cast<std::int64_t>(end)}, row);
            advance(end, entries.size());
        }
    };
    begin(AddStep::Load);
    const bool copied = sql.dialect().copiesIncoming;
    if (copied)
        refuseKeyTwice();
    sql.loadIncoming(entries, keys.upTo(copied ? entries.size() : 0), fields, watch.progress);

    // From here on no other add changes the ledger until this one ends: what it counts and the gaps it
    // tells of are its own.
    sql.run(std::string("SELECT copies FROM entry_totals ") + sql.dialect().lockRow);
    const std::optional<GuildIdentity> ledgerGuild = ReadGuild(sql);
    if (std::string refusal = GuildRefusal(ledgerGuild, addition.guilds); !refusal.empty())
        throw LedgerError(LedgerErrorKind::RefusedGuild, refusal);
    if (!ledgerGuild && addition.guilds.size() == 1)
        sql.run("INSERT INTO guild (name, realm) VALUES ($1, $2)",
                {SqlText{addition.guilds[0].name}, SqlText{addition.guilds[0].realm}});

    AddOutcome outcome;
    // What the add changes of the untimed entries and of each hour: the copies it adds, and what it adds to
    // (or, where an entry's text gives way to a smaller one of other amounts, takes from) each sum.
    CountedTotals untimedAdded;
    std::map<std::int64_t, CountedTotals> hoursAdded;
    NamesChange namesAdded;
    for (std::vector<CountedTotals>& byName : namesAdded.byPlace)
        byName.resize(fields.names.size());
    const auto gain = [&](CountedTotals& change, std::uint64_t copies, const ListTotals& sums) {
        change.copies += copies;
        if (!AddTotals(change.sums, sums))
            throw LedgerError(LedgerErrorKind::Other, sql.name() + ": " + kTotalsTooLargeReason);
    };
    std::vector<std::size_t> gained; // the places of the entries that gain copies, which the rules look at
    // The entry at `place` of the addition gains `added` copies; it adds `copies` times the amounts of
    // `fields` to the sums, and takes `stored` times those of `before`, the entry it replaces.
    const auto count = [&](std::size_t place, std::uint64_t added, const IncomingFields::Row& fields,
                           std::uint64_t copies, const IncomingFields::Row& before, std::uint64_t stored) {
        const PasteEntry& entry = entries[place];
        outcome.copiesAdded += added;
        if (added > 0)
            gained.push_back(place);
        ListTotals sums;
        const bool fit =
            AddToTotals(sums, fields.type, fields.money, fields.itemCount, static_cast<std::int64_t>(copies)) &&
            AddToTotals(sums, before.type, before.money, before.itemCount, -static_cast<std::int64_t>(stored));
        if (!fit)
            throw LedgerError(LedgerErrorKind::Other, sql.name() + ": " + kTotalsTooLargeReason);
        if (added != 0 || sums != ListTotals{})
            gain(entry.ts ? hoursAdded[*entry.ts / kMsPerHour] : untimedAdded, added, sums);
        return sums;
    };
    // The names of the entry at `place` gain `copies` copies and `sums`.
    const auto countNames = [&](std::size_t place, std::uint64_t copies, const ListTotals& sums) {
        const IncomingFields::Row& names = fields.rows[place];
        gain(namesAdded.byPlace[0][names.member], copies, sums);
        gain(namesAdded.byPlace[1][names.item], copies, sums);
    };
    bool changes = false;
    std::vector<NameIds> nameIds;
    const auto addNew = [&](std::size_t place) {
        const std::uint64_t copies = entries[place].copies;
        countNames(place, copies, count(place, copies, fields.rows[place], copies, {}, 0));
        changes = true;
    };
    bool holdsEntries = false;
    sql.run("SELECT key FROM entry LIMIT 1", {}, [&](const SqlRow&) { holdsEntries = true; });
    // Into an empty ledger every entry goes in without a look.
    if (!holdsEntries) {
        for (std::size_t place = 0; place < entries.size(); ++place)
            addNew(place);
    } else {
        begin(AddStep::Compare);
        throughEntries(kChanges, [&](const SqlRow& row) {
            const auto place = static_cast<std::size_t>(row.integer(0));
            const PasteEntry& entry = entries[place];
            if (row.isNull(1))
                return addNew(place);
            const std::string_view text = row.bytes(2);
            if (text != entry.text && EntryIdentity(text) != EntryIdentity(entry.text))
                RefuseCollision(sql);
            const auto stored = static_cast<std::uint64_t>(row.integer(1));
            const std::uint64_t added = entry.copies > stored ? entry.copies - stored : 0;
            // The entry keeps the larger copies and the smaller text, whose amounts it then has (see Upsert);
            // a file's column may hold any type, which the totals count as no amount.
            const auto integer = [&row](int column) {
                return !row.isNull(column) && row.isInteger(column) ? std::optional(row.integer(column)) : std::nullopt;
            };
            const IncomingFields::Row before{.type = integer(5), .money = integer(6), .itemCount = integer(7)};
            const bool replaced = entry.text < text;
            const IncomingFields::Row& after = replaced ? fields.rows[place] : before;
            const ListTotals sums = count(place, added, after, stored + added, before, stored);
            changes = changes || added > 0 || replaced || entry.order > EntryOrder{row.integer(3), row.integer(4)};
            // The names of an entry's identity are its own, but for an item's name, which a game update may
            // change: the stored entry's names lose what it held, and those of the entry it now is gain it.
            const std::array<std::optional<std::string_view>, 2> storedNames = {row.optionalBytes(8),
                                                                                row.optionalBytes(9)};
            const IncomingFields::Row& incoming = fields.rows[place];
            const std::array<std::uint32_t, 2> places = {incoming.member, incoming.item};
            if (storedNames[0] == fields.names[places[0]] && storedNames[1] == fields.names[places[1]])
                return countNames(place, added, sums);
            ListTotals out, in;
            if (!AddToTotals(out, before.type, before.money, before.itemCount, -static_cast<std::int64_t>(stored)) ||
                !AddToTotals(in, after.type, after.money, after.itemCount, static_cast<std::int64_t>(stored + added)))
                throw LedgerError(LedgerErrorKind::Other, sql.name() + ": " + kTotalsTooLargeReason);
            for (std::size_t role = 0; role < storedNames.size(); ++role) {
                if (storedNames[role])
                    gain(namesAdded.others[{role, std::string(*storedNames[role])}], -stored, out);
                if (replaced)
                    gain(namesAdded.byPlace[role][places[role]], stored + added, in);
                else if (storedNames[role])
                    gain(namesAdded.others[{role, std::string(*storedNames[role])}], stored + added, in);
            }
        });
    }
    if (changes) {
        begin(AddStep::Names);
        nameIds = AddNewNames(sql, fields, namesAdded, stopIfAsked);
        sql.useNameIds(nameIds);
        begin(AddStep::Entries);
        if (holdsEntries)
            throughEntries(Upsert(sql.dialect()), {});
        else
            sql.withIndexesAfter([&] {
                throughEntries(Insert(sql.dialect()), {});
                refuseKeyTwice();
            });
    }
    refuseKeyTwice();
    begin(AddStep::Hours);
    std::vector<SqlValue> totals = {static_cast<std::int64_t>(outcome.copiesAdded),
                                    static_cast<std::int64_t>(untimedAdded.copies)};
    for (const ListSum& summed : kListSums)
        totals.emplace_back(untimedAdded.sums.*summed.sum);
    std::size_t param = 2;
    sql.runWith("UPDATE entry_totals SET copies = copies + $1, untimed = untimed + $2" +
                    SumColumns([&](const char* column) {
                        return std::string(" = ") + column + " + $" + std::to_string(++param);
                    }),
                totals, {});
    CountHours(sql, hoursAdded);
    CountOtherNames(sql, namesAdded);

    begin(AddStep::Pastes);
    const std::vector<TimeGap> before = FindGaps(ReadPastes(sql));
    for (PasteRecord record : addition.pastes) {
        if (addition.countCopiesAdded)
            record.copiesAdded = outcome.copiesAdded;
        outcome.listed = List(sql, record) || outcome.listed;
    }
    if (outcome.listed)
        for (const TimeGap& gap : FindGaps(ReadPastes(sql)))
            if (std::ranges::find(before, gap) == before.end())
                outcome.openedGaps.push_back(gap);
    // The rules, on the members, days and gaps the add touched: their alerts go in with it.
    if (!gained.empty() || !outcome.openedGaps.empty())
        outcome.alerts = FireRules(sql, {entries, keys.upTo(entries.size()), fields, std::move(gained), !holdsEntries},
                                   outcome.openedGaps, began);
    // The last look at the stop: the commit follows, which nothing stops.
    stopIfAsked();
    tell(AddStep::Commit);
    return outcome;
}

} // namespace

AddOutcome AddEntries(LedgerSql& sql, const LedgerAddition& addition) {
    const std::function<bool()>& stop = addition.watch.stop;
    try {
        const StopWhile stopping(sql, stop);
        return AddSteps(sql, addition);
    } catch (const LedgerError&) {
        // A statement the stop ended fails as any other would.
        if (stop && stop())
            throw AddCancelled();
        throw;
    }
}

} // namespace coffer
