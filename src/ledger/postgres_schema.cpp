// SPDX-License-Identifier: MIT
#include "ledger/ledger_sql.h"
#include "ledger/postgres_ledger.h"
#include "ledger/postgres_sql.h"
#include "ledger/upgrade_meter.h"

#include <array>

namespace coffer {
namespace {

constexpr std::string_view kApplication = "Coffer ledger";
// Taken by every program that creates or upgrades the tables, for the rest of its transaction.
constexpr std::int64_t kSchemaLock = 0x436F4C67; // "CoLg"

// Each step brings the schema to its version from that of the step before. The server's ledger skipped the
// version 2 of the file's: its second step brings it to the schema both share.
struct UpgradeStep {
    std::int64_t version;
    const char* sql;
    void (*fill)(PgConnection&, UpgradeMeter*) = nullptr; // what the step computes here rather than on the server
    // Statements run once the fill is done, a pass over the entries of their own: the indexes the fill
    // would otherwise keep up, or the step's second read of every entry.
    const char* after = nullptr;
    // The step's statements and its fill each read or write every entry: its work, in entries, is the
    // ledger's entries this many times.
    std::uint64_t passes() const { return 1 + (fill != nullptr ? 2 : 0) + (after != nullptr ? 1 : 0); }
};
constexpr std::array kUpgradeSteps = {
    UpgradeStep{1, R"(
    -- An entry per identity: `key` is the SHA-256 of `identity`, which an add compares in full, and
    -- with its time (part of the identity) it is unique, in the order adds write and periods read. Texts
    -- are bytes, compared in byte order as the analysis orders them. copies_before is what it had
    -- before the add that last changed it, which that add counts as added. `ts` is the entry's own
    -- time; order_time and order_rank place it for analysis.
    CREATE TABLE entry (
        key bytea NOT NULL,
        identity bytea NOT NULL,
        text bytea NOT NULL,
        copies bigint NOT NULL,
        copies_before bigint NOT NULL,
        ts bigint,
        order_time bigint NOT NULL,
        order_rank bigint NOT NULL,
        UNIQUE NULLS NOT DISTINCT (ts, key)
    );
    -- A paste is listed once: an add retried after a lost commit finds it.
    CREATE TABLE paste (
        id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
        added_at bigint NOT NULL,
        entries bigint NOT NULL,
        copies_added bigint NOT NULL,
        first_ts bigint,
        last_ts bigint,
        guild_name bytea,
        guild_realm bytea,
        file_name bytea NOT NULL,
        digest bigint NOT NULL,
        UNIQUE NULLS NOT DISTINCT (digest, entries, first_ts, last_ts)
    );
    -- At most one row: the guild of the first paste that named one.
    CREATE TABLE guild (
        single boolean PRIMARY KEY DEFAULT true CHECK (single),
        name bytea NOT NULL,
        realm bytea NOT NULL
    );
    )"},
    UpgradeStep{3, R"(
    -- The schema of the ledger file: each entry under its key (EntryKey: the SHA-256 of its identity
    -- with its time), unique; an add compares the identity of a stored text in full, so the identity
    -- is not kept; and the running sums of copies in a table of their own. Every add locks that table's
    -- row first, so adds change the entries one after the other.
    ALTER TABLE entry DROP CONSTRAINT entry_ts_key_key;
    UPDATE entry SET key = sha256(CASE WHEN ts IS NULL THEN '\x00'::bytea ELSE '\x01'::bytea || int8send(ts) END
                                  || identity);
    ALTER TABLE entry DROP COLUMN identity, DROP COLUMN copies_before, ADD CONSTRAINT entry_by_key UNIQUE (key);
    CREATE INDEX entry_by_ts ON entry (ts);
    CREATE TABLE entry_totals (copies bigint NOT NULL, untimed bigint NOT NULL);
    INSERT INTO entry_totals SELECT entries, untimed FROM coffer_ledger;
    ALTER TABLE coffer_ledger DROP COLUMN entries, DROP COLUMN untimed;
    )"},
    UpgradeStep{kHourCountsVersion, R"(
    -- The copies of the timed entries per hour (whole hours since 1970 UTC), kept by every add: the
    -- time line's histogram without reading every entry.
    CREATE TABLE entry_hours (hour bigint PRIMARY KEY, copies bigint NOT NULL);
    INSERT INTO entry_hours SELECT ts / 3600000, sum(copies) FROM entry WHERE ts IS NOT NULL GROUP BY 1;
    )"},
    UpgradeStep{kListColumnsVersion, R"(
    -- The entries list: each entry's type, its member's and its item's names with character references
    -- decoded, and those names with A to Z folded for the search, all read from its text (written by
    -- FillListColumns). The list's order (newest first, then the pastes' order, then the key) is an
    -- index that also holds what the search, the period and the Action choice test; a narrower one
    -- holds the same without the order, for counts that read every entry; a member's or an item's few
    -- entries are found by an index of each, and put in order apart.
    ALTER TABLE entry ADD COLUMN type bigint, ADD COLUMN member bytea, ADD COLUMN item bytea,
        ADD COLUMN member_fold bytea, ADD COLUMN item_fold bytea;
    )",
                &FillListColumns, R"(
    CREATE INDEX entry_in_list ON entry (order_time DESC, order_rank, key)
        INCLUDE (copies, ts, type, member_fold, item_fold);
    CREATE INDEX entry_search ON entry (member_fold, item_fold) INCLUDE (type, order_time, ts, copies);
    CREATE INDEX entry_by_member ON entry (member);
    CREATE INDEX entry_by_item ON entry (item);
    )"},
    UpgradeStep{kListNamesVersion, R"(
    -- The names of the members and items in a table of their own, the entries holding their ids: each
    -- name and its folded form once, not in every entry and its indexes. The list's index also finds a
    -- period's entries and the first and last times.
    CREATE TABLE entry_name (
        id bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
        name bytea NOT NULL UNIQUE,
        fold bytea NOT NULL
    );
    INSERT INTO entry_name (name, fold)
        SELECT member, member_fold FROM entry WHERE member IS NOT NULL
        UNION SELECT item, item_fold FROM entry WHERE item IS NOT NULL;
    -- The indexes go first: the update would write every entry into each of them.
    DROP INDEX entry_by_ts, entry_in_list, entry_search, entry_by_member, entry_by_item;
    ALTER TABLE entry ADD COLUMN member_id bigint, ADD COLUMN item_id bigint;
    UPDATE entry SET member_id = (SELECT id FROM entry_name WHERE name = member),
        item_id = (SELECT id FROM entry_name WHERE name = item);
    ALTER TABLE entry DROP COLUMN member, DROP COLUMN item, DROP COLUMN member_fold, DROP COLUMN item_fold;
    )",
                nullptr, R"(
    CREATE INDEX entry_in_list ON entry (order_time DESC, order_rank, key)
        INCLUDE (copies, ts, type, member_id, item_id);
    CREATE INDEX entry_by_member ON entry (member_id);
    CREATE INDEX entry_by_item ON entry (item_id);
    )"},
    UpgradeStep{kListSumsVersion, R"(
    -- The amounts of each entry's Count and Gold cells and its To tab, read from its text (written by
    -- FillListSums). The list's index holds the amounts too: the totals of a filtered list read no entry,
    -- as its count reads none. It goes first: the fill would write every entry into it.
    DROP INDEX entry_in_list;
    ALTER TABLE entry ADD COLUMN money bigint, ADD COLUMN item_count bigint, ADD COLUMN tab bytea;
    )",
                &FillListSums, R"(
    CREATE INDEX entry_in_list ON entry (order_time DESC, order_rank, key)
        INCLUDE (copies, ts, type, member_id, item_id, money, item_count);
    )"},
    UpgradeStep{kAlertsVersion, R"(
    -- The rules the ledger keeps watch by, each with the time zone whose days and weeks it counts; a rule
    -- taken out of force keeps its row, so that its number is never given again. The alerts the rules
    -- fired, each once: for its rule, its member and its occasion (the day or week of a sum, the key of a
    -- withdrawal from a tab, nothing for a member who never deposited, the start of a gap). The index of
    -- members finds a member's entries of a type and a time with what the rules sum, reading no entry.
    CREATE TABLE alert_rule (
        id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
        text bytea NOT NULL,
        zone bytea NOT NULL,
        removed_at bigint
    );
    CREATE TABLE alert (
        id bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
        rule bigint NOT NULL,
        member bytea NOT NULL,
        occasion bytea NOT NULL,
        day bytea NOT NULL,
        line bytea NOT NULL,
        fired_at bigint NOT NULL,
        UNIQUE (rule, member, occasion)
    );
    CREATE INDEX alert_by_time ON alert (fired_at);
    DROP INDEX entry_by_member;
    -- The five sums of the list's totals (of kListSums: the item counts of types 1 and 2, the money of
    -- types 4, 5 and 6, each times the entry's copies) of the timed entries per hour, beside their
    -- copies, and of the untimed ones beside theirs, kept by every add: the totals of everything, of a
    -- period and of an Action choice without reading every entry.
    ALTER TABLE entry_hours ADD COLUMN items_deposited bigint NOT NULL DEFAULT 0,
        ADD COLUMN items_withdrawn bigint NOT NULL DEFAULT 0, ADD COLUMN gold_deposited bigint NOT NULL DEFAULT 0,
        ADD COLUMN gold_withdrawn bigint NOT NULL DEFAULT 0, ADD COLUMN repairs bigint NOT NULL DEFAULT 0;
    ALTER TABLE entry_totals ADD COLUMN items_deposited bigint NOT NULL DEFAULT 0,
        ADD COLUMN items_withdrawn bigint NOT NULL DEFAULT 0, ADD COLUMN gold_deposited bigint NOT NULL DEFAULT 0,
        ADD COLUMN gold_withdrawn bigint NOT NULL DEFAULT 0, ADD COLUMN repairs bigint NOT NULL DEFAULT 0;
    UPDATE entry_hours SET (items_deposited, items_withdrawn, gold_deposited, gold_withdrawn, repairs) =
        (s.items_deposited, s.items_withdrawn, s.gold_deposited, s.gold_withdrawn, s.repairs)
        FROM (SELECT ts / 3600000 AS hour,
                coalesce(sum(item_count * copies) FILTER (WHERE type = 1), 0) AS items_deposited,
                coalesce(sum(item_count * copies) FILTER (WHERE type = 2), 0) AS items_withdrawn,
                coalesce(sum(money * copies) FILTER (WHERE type = 4), 0) AS gold_deposited,
                coalesce(sum(money * copies) FILTER (WHERE type = 5), 0) AS gold_withdrawn,
                coalesce(sum(money * copies) FILTER (WHERE type = 6), 0) AS repairs
              FROM entry WHERE ts IS NOT NULL GROUP BY 1) AS s
        WHERE s.hour = entry_hours.hour;
    )",
                nullptr, R"(
    CREATE INDEX entry_by_member ON entry (member_id, type, ts) INCLUDE (money, item_count, copies, tab);
    UPDATE entry_totals SET (items_deposited, items_withdrawn, gold_deposited, gold_withdrawn, repairs) =
        (SELECT coalesce(sum(item_count * copies) FILTER (WHERE type = 1), 0),
                coalesce(sum(item_count * copies) FILTER (WHERE type = 2), 0),
                coalesce(sum(money * copies) FILTER (WHERE type = 4), 0),
                coalesce(sum(money * copies) FILTER (WHERE type = 5), 0),
                coalesce(sum(money * copies) FILTER (WHERE type = 6), 0)
         FROM entry WHERE ts IS NULL);
    )"},
    UpgradeStep{kNameSumsVersion, R"(
    -- Beside each name, the copies and the five sums of the list's totals of the entries whose member it
    -- is, and of those whose item it is, kept by every add. The index of members holds each entry's item:
    -- a search's totals take the sums of the names it matches, and read the entries of the fewer members,
    -- those it matches or those it does not.
    DROP INDEX entry_by_member;
    ALTER TABLE entry_name ADD COLUMN member_copies bigint NOT NULL DEFAULT 0,
        ADD COLUMN member_items_deposited bigint NOT NULL DEFAULT 0,
        ADD COLUMN member_items_withdrawn bigint NOT NULL DEFAULT 0,
        ADD COLUMN member_gold_deposited bigint NOT NULL DEFAULT 0,
        ADD COLUMN member_gold_withdrawn bigint NOT NULL DEFAULT 0, ADD COLUMN member_repairs bigint NOT NULL DEFAULT 0,
        ADD COLUMN item_copies bigint NOT NULL DEFAULT 0, ADD COLUMN item_items_deposited bigint NOT NULL DEFAULT 0,
        ADD COLUMN item_items_withdrawn bigint NOT NULL DEFAULT 0,
        ADD COLUMN item_gold_deposited bigint NOT NULL DEFAULT 0,
        ADD COLUMN item_gold_withdrawn bigint NOT NULL DEFAULT 0, ADD COLUMN item_repairs bigint NOT NULL DEFAULT 0;
    UPDATE entry_name SET (member_copies, member_items_deposited, member_items_withdrawn, member_gold_deposited,
            member_gold_withdrawn, member_repairs) =
        (s.copies, s.items_deposited, s.items_withdrawn, s.gold_deposited, s.gold_withdrawn, s.repairs)
        FROM (SELECT member_id AS id, sum(copies) AS copies,
                coalesce(sum(item_count * copies) FILTER (WHERE type = 1), 0) AS items_deposited,
                coalesce(sum(item_count * copies) FILTER (WHERE type = 2), 0) AS items_withdrawn,
                coalesce(sum(money * copies) FILTER (WHERE type = 4), 0) AS gold_deposited,
                coalesce(sum(money * copies) FILTER (WHERE type = 5), 0) AS gold_withdrawn,
                coalesce(sum(money * copies) FILTER (WHERE type = 6), 0) AS repairs
              FROM entry WHERE member_id IS NOT NULL GROUP BY 1) AS s
        WHERE s.id = entry_name.id;
    )",
                nullptr, R"(
    CREATE INDEX entry_by_member ON entry (member_id, type, ts) INCLUDE (money, item_count, copies, tab, item_id);
    UPDATE entry_name SET (item_copies, item_items_deposited, item_items_withdrawn, item_gold_deposited,
            item_gold_withdrawn, item_repairs) =
        (s.copies, s.items_deposited, s.items_withdrawn, s.gold_deposited, s.gold_withdrawn, s.repairs)
        FROM (SELECT item_id AS id, sum(copies) AS copies,
                coalesce(sum(item_count * copies) FILTER (WHERE type = 1), 0) AS items_deposited,
                coalesce(sum(item_count * copies) FILTER (WHERE type = 2), 0) AS items_withdrawn,
                coalesce(sum(money * copies) FILTER (WHERE type = 4), 0) AS gold_deposited,
                coalesce(sum(money * copies) FILTER (WHERE type = 5), 0) AS gold_withdrawn,
                coalesce(sum(money * copies) FILTER (WHERE type = 6), 0) AS repairs
              FROM entry WHERE item_id IS NOT NULL GROUP BY 1) AS s
        WHERE s.id = entry_name.id;
    )"},
};
constexpr std::int64_t kVersion = kUpgradeSteps.back().version;

struct DatabaseMarks {
    bool ledger = false;      // the table that marks a ledger is there
    bool otherTables = false; // tables of a ledger's names are there
    std::string application;
    std::int64_t version = 0;
    std::string stranger; // "trigger NAME" or "rule NAME": what sits on the tables that no ledger has
};

// A ledger's tables are data alone: a trigger or a rule on them would run at every add (a trigger
// could delete entries as they go in). The checks of constraints are the server's own triggers.
constexpr const char* kStrangers = R"(
    SELECT kind, name FROM (
        SELECT 'trigger' AS kind, t.tgname::text AS name FROM pg_trigger t JOIN pg_class c ON c.oid = t.tgrelid
        WHERE NOT t.tgisinternal AND c.relnamespace = current_schema()::regnamespace
          AND c.relname IN ('coffer_ledger', 'entry', 'entry_totals', 'entry_hours', 'entry_name', 'paste', 'guild', 'alert_rule', 'alert')
        UNION ALL
        SELECT 'rule', rulename::text FROM pg_rules
        WHERE schemaname = current_schema() AND tablename IN ('coffer_ledger', 'entry', 'entry_totals', 'entry_hours', 'entry_name', 'paste', 'guild', 'alert_rule', 'alert')) s
    ORDER BY kind, name LIMIT 1)";

DatabaseMarks ReadMarks(PgConnection& db) {
    DatabaseMarks marks;
    // From the catalog as of this statement: the name cache may not know yet of tables another program
    // created meanwhile.
    const PgResult tables = db.query(
        "SELECT count(*) FILTER (WHERE relname = 'coffer_ledger'), count(*) FILTER (WHERE relname <> 'coffer_ledger') "
        "FROM pg_class WHERE relnamespace = current_schema()::regnamespace "
        "AND relname IN ('coffer_ledger', 'entry', 'entry_totals', 'entry_hours', 'entry_name', 'paste', 'guild', "
        "'alert_rule', 'alert')");
    marks.ledger = tables.integer(0, 0) != 0;
    marks.otherTables = tables.integer(0, 1) != 0;
    if (marks.ledger) {
        const PgResult mark = db.query("SELECT application, version::int8 FROM coffer_ledger LIMIT 1");
        if (mark.rows() > 0)
            marks.application = mark.bytes(0, 0), marks.version = mark.integer(0, 1);
        if (const PgResult stranger = db.query(kStrangers); stranger.rows() > 0)
            marks.stranger = std::string(stranger.bytes(0, 0)) + " " + std::string(stranger.bytes(0, 1));
    }
    return marks;
}

// Tables of a ledger's names must be a ledger of this program, of a version it knows.
void CheckMarks(const DatabaseMarks& marks, const std::string& name) {
    if (marks.ledger ? marks.application != kApplication : marks.otherTables)
        throw LedgerError(
            LedgerErrorKind::NotALedger,
            name + " is not a Coffer ledger: its tables coffer_ledger, entry, entry_totals, entry_hours, "
                   "entry_name, paste, guild, alert_rule or alert are another program's, and were left as they are.");
    if (!marks.stranger.empty())
        throw LedgerError(LedgerErrorKind::NotALedger,
                          name + " is not a Coffer ledger (it holds " + marks.stranger + ").");
    if (marks.version > kVersion)
        throw LedgerError(LedgerErrorKind::NewerVersion,
                          name + " is a ledger of a newer Coffer (version " + std::to_string(marks.version) +
                              "); this program reads ledgers up to version " + std::to_string(kVersion) + ".");
}

} // namespace

std::uint64_t ServerUpgradeWork(std::int64_t from, std::int64_t to, std::uint64_t entries) {
    std::uint64_t work = 0;
    for (const UpgradeStep& step : kUpgradeSteps)
        if (step.version > from && step.version <= to)
            work += step.passes() * entries;
    return work;
}

void UpgradeServerLedger(PgConnection& db, std::int64_t from, std::int64_t to, UpgradeMeter* meter,
                         std::uint64_t entries) {
    // Between the statements, which the server runs whole.
    const auto done = [&](std::uint64_t passes) {
        if (meter != nullptr)
            meter->advanceOrStop(passes * entries);
    };
    if (from == 0)
        // One row, which marks the ledger; until version 3 it also kept the totals of the entries.
        db.execute("CREATE TABLE coffer_ledger (application text NOT NULL, version bigint NOT NULL, "
                   "entries bigint NOT NULL, untimed bigint NOT NULL);"
                   "INSERT INTO coffer_ledger VALUES ('" +
                   std::string(kApplication) + "', 0, 0, 0)");
    for (const UpgradeStep& step : kUpgradeSteps)
        if (step.version > from && step.version <= to) {
            db.execute(step.sql);
            done(1);
            if (step.fill != nullptr) {
                step.fill(db, meter);
                done(1);
            }
            if (step.after != nullptr) {
                db.execute(step.after);
                done(1);
            }
        }
    db.query("UPDATE coffer_ledger SET version = $1", PgParams().add(to));
}

namespace {

// Sets columns of every entry (`set`: "column = f.column, ...") to the fields read from its text: read here,
// not on the server, which holds bytes and cannot decode them.
void FillFromTexts(PgConnection& db, UpgradeMeter* meter, const std::string& set) {
    db.execute("CREATE TEMPORARY TABLE list_fields (key bytea, type bigint, member bytea, item bytea, "
               "member_fold bytea, item_fold bytea, money bigint, item_count bigint, tab bytea) ON COMMIT DROP");
    ForEachBatch(db, "SELECT key, text FROM entry", {}, [&](const PgResult& batch) {
        std::string data = CopyStart();
        for (int row = 0; row < batch.rows(); ++row) {
            data.append("\0\11", 2); // nine columns
            PutBytes(data, batch.bytes(row, 0));
            const EntryFields fields = ReadEntryFields(batch.bytes(row, 1));
            PutListColumns(data, ViewOf(fields));
        }
        data.append(kCopyEnd);
        db.copyIn("COPY list_fields FROM STDIN (FORMAT binary)", data);
        if (meter != nullptr)
            meter->advanceOrStop(static_cast<std::uint64_t>(batch.rows()));
    });
    // A later step of the same upgrade fills its own.
    db.execute(
        ("UPDATE entry SET " + set + " FROM list_fields f WHERE entry.key = f.key; DROP TABLE list_fields").c_str());
}

} // namespace

void FillListColumns(PgConnection& db, UpgradeMeter* meter) {
    FillFromTexts(db, meter,
                  "type = f.type, member = f.member, item = f.item, member_fold = f.member_fold, "
                  "item_fold = f.item_fold");
}

void FillListSums(PgConnection& db, UpgradeMeter* meter) {
    FillFromTexts(db, meter, "money = f.money, item_count = f.item_count, tab = f.tab");
}

PostgresLedger::PostgresLedger(const std::string& uri, LedgerAccess access, const PgTimeouts& timeouts,
                               const UpgradeWatch& upgradeWatch)
    : db_(uri, access == LedgerAccess::ReadOnly, timeouts) {
    const PgResult names =
        db_.query("SELECT quote_ident(current_user), quote_ident(coalesce(current_schema(), 'public'))");
    user_ = names.bytes(0, 0);
    schema_ = names.bytes(0, 1);
    db_.setRightsHint("; the database's owner can give the rights with: GRANT USAGE ON SCHEMA " + schema_ + " TO " +
                      user_ + "; GRANT SELECT, INSERT, UPDATE ON " + schema_ + ".coffer_ledger, " + schema_ +
                      ".entry, " + schema_ + ".entry_totals, " + schema_ + ".entry_hours, " + schema_ +
                      ".entry_name, " + schema_ + ".paste, " + schema_ + ".guild, " + schema_ + ".alert_rule, " +
                      schema_ + ".alert TO " + user_ + ";");
    checkSchema(access == LedgerAccess::ReadWrite, upgradeWatch);
}

void PostgresLedger::checkSchema(bool writable, const UpgradeWatch& upgradeWatch) {
    const DatabaseMarks marks = ReadMarks(db_);
    CheckMarks(marks, db_.name());
    if (!writable) {
        if (!marks.ledger) // a database without them, or whose search_path hides them
            throw LedgerNotThereYet(db_.name() + " holds no Coffer ledger.");
        // Read as it is since the entries got their keys; the list then reads their texts.
        if (marks.version < kKeyedVersion)
            throw LedgerError(LedgerErrorKind::Other,
                              db_.name() + " is a ledger of an older Coffer: add a paste to it once to bring it "
                                           "up to date.");
        hourCounts_ = marks.version >= kHourCountsVersion;
        listIndexed_ = marks.version >= kListNamesVersion;
        listSummed_ = marks.version >= kListSumsVersion;
        alerts_ = marks.version >= kAlertsVersion;
        hourSummed_ = marks.version >= kHourSumsVersion;
        nameSummed_ = marks.version >= kNameSumsVersion;
        return;
    }
    if (!marks.ledger || marks.version < kVersion)
        upgrade(upgradeWatch);
}

void PostgresLedger::upgrade(const UpgradeWatch& watch) {
    PgTransaction transaction(db_);
    db_.query("SELECT pg_advisory_xact_lock($1)", PgParams().add(kSchemaLock));
    // Another program may have created or upgraded the ledger while this one waited for the lock.
    const DatabaseMarks marks = ReadMarks(db_);
    CheckMarks(marks, db_.name());
    if (!marks.ledger &&
        db_.query("SELECT coalesce(has_schema_privilege(current_schema(), 'CREATE'), false)::int::int8")
                .integer(0, 0) == 0)
        throw LedgerError(LedgerErrorKind::CannotWrite,
                          db_.name() + " holds no Coffer ledger yet, and the user " + user_ +
                              " may not create its tables in the schema " + schema_ +
                              ". The database's owner can allow it with: GRANT USAGE, CREATE ON SCHEMA " + schema_ +
                              " TO " + user_ + ";");
    const std::int64_t from = marks.ledger ? marks.version : 0;
    const std::uint64_t entries =
        from == 0 ? 0 : static_cast<std::uint64_t>(db_.query("SELECT count(*) FROM entry").integer(0, 0));
    if (from != 0 && watch.starts)
        watch.starts(from, kVersion);
    UpgradeMeter meter(watch, ServerUpgradeWork(from, kVersion, entries));
    UpgradeServerLedger(db_, from, kVersion, &meter, entries);
    transaction.commit();
    meter.finish();
}

} // namespace coffer
