// SPDX-License-Identifier: MIT
#include "ledger/entry_identity.h"
#include "ledger/ledger_sql.h"

#include <vector>

namespace coffer {

void ForEachEntry(LedgerSql& sql, bool storedKeys, const std::optional<TimeRange>& period,
                  const std::function<void(const LedgerEntry&)>& visit) {
    std::vector<SqlValue> params;
    if (period)
        params = {TimeParam(period->first), TimeParam(period->last)};
    LedgerEntry entry; // one buffer for every text
    sql.runEach(std::string("SELECT text, copies, order_time, order_rank, ts") + (storedKeys ? ", key" : "") +
                    " FROM entry" + (period ? " WHERE " : "") + (period ? kInPeriod : ""),
                params, [&](const SqlRow& row) {
                    entry.text.assign(row.bytes(0));
                    entry.copies = CheckedCopies(row.integer(1), row.isInteger(1), sql.name());
                    entry.order = EntryOrder{row.integer(2), row.integer(3)};
                    entry.ts = row.optionalInteger(4);
                    if (storedKeys)
                        entry.key.assign(row.bytes(5));
                    else
                        entry.key = EntryKey(EntryIdentity(entry.text), entry.ts);
                    visit(entry);
                });
}

} // namespace coffer
