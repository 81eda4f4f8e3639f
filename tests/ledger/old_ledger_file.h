// SPDX-License-Identifier: MIT
#pragma once
// Test helpers: a ledger file as an older version of the program wrote it, or as another program changed it.

#include "ledger/ledger_sql.h"
#include "ledger/sqlite_format.h"

#include <algorithm>
#include <string>

namespace coffer {

// Runs SQL on the file as another program could; the change stays in a -wal where `inLog`.
inline void Craft(const std::string& file, const std::string& sql, bool inLog = false) {
    SqliteDatabase db(file, SqliteDatabase::Access::ReadWrite, {});
    db.execute(sql.c_str());
    if (!inLog)
        db.checkpointOnClose();
}

// Writes at `old` a ledger of an older `version` that holds what the ledger file `current` holds, in the
// write-ahead log mode every version sets, then runs `then` on it.
inline void WriteOldLedgerFile(const std::string& old, std::int64_t version, const std::string& current,
                               const std::string& then = {}) {
    SqliteDatabase db(old, SqliteDatabase::Access::ReadWrite, {});
    db.execute("PRAGMA journal_mode = WAL");
    db.checkpointOnClose();
    // The entries as every version before the list's columns kept them; that version's step reads the
    // columns from their texts.
    const std::int64_t entriesAt = std::min(version, kListColumnsVersion - 1);
    UpgradeLedgerSchema(db, 0, entriesAt);
    db.execute(
        ("ATTACH '" + current + "' AS now; INSERT INTO entry SELECT id, " + (version >= 3 ? "key" : "0") +
         ", copies, ts, order_time, order_rank, text FROM now.entry; " +
         (version >= kHourCountsVersion ? "INSERT INTO entry_hours SELECT hour, copies FROM now.entry_hours; " : "") +
         "INSERT INTO paste SELECT * FROM now.paste; INSERT INTO guild SELECT * FROM now.guild; " +
         (version >= 2 ? "UPDATE entry_totals SET (copies, untimed) = (SELECT copies, untimed FROM now.entry_totals); "
                       : "") +
         "DETACH now")
            .c_str());
    UpgradeLedgerSchema(db, entriesAt, version);
    if (!then.empty())
        db.execute(then.c_str());
}

} // namespace coffer
