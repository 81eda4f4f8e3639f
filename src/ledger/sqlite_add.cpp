// SPDX-License-Identifier: MIT
#include "ledger/ledger_sql.h"
#include "ledger/sqlite_format.h"
#include "ledger/sqlite_ledger.h"
#include "ledger/sqlite_sql.h"

#include <sqlite3.h>

namespace coffer {
namespace {

// The tables incoming and incoming_name as SQLite's virtual tables of the entries and names in memory: the
// bulk load of the other dialect, without a copy. A statement on a part of the rows (seq >= FIRST, seq <
// END) reads that part only. `Rows` gives the table's declaration, its number of rows and its columns.
struct IncomingCursor : sqlite3_vtab_cursor {
    std::size_t at = 0, end = 0;
};

// The bits of idxNum: which bounds of seq the cursor is given, in this order.
constexpr int kFirstSeq = 1, kEndSeq = 2;

struct IncomingTable : sqlite3_vtab {
    const IncomingEntries* rows = nullptr;
};

template <class Rows>
const sqlite3_module kIncomingModule = [] {
    sqlite3_module module{};
    module.xConnect = [](sqlite3* db, void* rows, int, const char* const*, sqlite3_vtab** table, char**) {
        if (const int code = sqlite3_declare_vtab(db, Rows::declaration().c_str()); code != SQLITE_OK)
            return code;
        sqlite3_vtab_config(db, SQLITE_VTAB_DIRECTONLY);
        auto* incoming = new IncomingTable{};
        incoming->rows = static_cast<const IncomingEntries*>(rows);
        *table = incoming;
        return SQLITE_OK;
    };
    module.xBestIndex = [](sqlite3_vtab* table, sqlite3_index_info* info) {
        double rows = static_cast<double>(Rows::size(*static_cast<IncomingTable*>(table)->rows));
        int bound[2] = {-1, -1}; // the constraints seq >= and seq <
        for (int i = 0; i < info->nConstraint; ++i) {
            const auto& constraint = info->aConstraint[i];
            const int which = constraint.op == SQLITE_INDEX_CONSTRAINT_GE   ? 0
                              : constraint.op == SQLITE_INDEX_CONSTRAINT_LT ? 1
                                                                            : -1;
            if (constraint.usable && constraint.iColumn == 0 && which >= 0)
                bound[which] = i;
        }
        int arguments = 0;
        for (const int which : {0, 1}) {
            if (bound[which] < 0)
                continue;
            info->idxNum |= which == 0 ? kFirstSeq : kEndSeq;
            info->aConstraintUsage[bound[which]].argvIndex = ++arguments;
            info->aConstraintUsage[bound[which]].omit = 1;
            rows /= 4; // a part is cheaper than the whole
        }
        info->estimatedCost = rows;
        info->estimatedRows = static_cast<sqlite3_int64>(rows);
        return SQLITE_OK;
    };
    module.xDisconnect = [](sqlite3_vtab* table) {
        delete static_cast<IncomingTable*>(table);
        return SQLITE_OK;
    };
    module.xOpen = [](sqlite3_vtab*, sqlite3_vtab_cursor** cursor) {
        *cursor = new IncomingCursor{};
        return SQLITE_OK;
    };
    module.xClose = [](sqlite3_vtab_cursor* cursor) {
        delete static_cast<IncomingCursor*>(cursor);
        return SQLITE_OK;
    };
    module.xFilter = [](sqlite3_vtab_cursor* cursor, int bounds, const char*, int, sqlite3_value** values) {
        const std::size_t size = Rows::size(*static_cast<IncomingTable*>(cursor->pVtab)->rows);
        const auto place = [size](sqlite3_value* value) {
            return static_cast<std::size_t>(
                std::clamp<sqlite3_int64>(sqlite3_value_int64(value), 0, static_cast<sqlite3_int64>(size)));
        };
        auto* at = static_cast<IncomingCursor*>(cursor);
        at->at = (bounds & kFirstSeq) != 0 ? place(*values++) : 0;
        at->end = (bounds & kEndSeq) != 0 ? place(*values) : size;
        return SQLITE_OK;
    };
    module.xNext = [](sqlite3_vtab_cursor* cursor) {
        ++static_cast<IncomingCursor*>(cursor)->at;
        return SQLITE_OK;
    };
    module.xEof = [](sqlite3_vtab_cursor* cursor) {
        const auto* at = static_cast<IncomingCursor*>(cursor);
        return at->at >= at->end ? 1 : 0;
    };
    module.xColumn = [](sqlite3_vtab_cursor* cursor, sqlite3_context* context, int column) {
        const std::size_t seq = static_cast<IncomingCursor*>(cursor)->at;
        if (column == 0)
            return sqlite3_result_int64(context, static_cast<sqlite3_int64>(seq)), SQLITE_OK;
        Rows::column(*static_cast<IncomingTable*>(cursor->pVtab)->rows, seq, column, context);
        return SQLITE_OK;
    };
    module.xRowid = [](sqlite3_vtab_cursor* cursor, sqlite3_int64* rowid) {
        *rowid = static_cast<sqlite3_int64>(static_cast<IncomingCursor*>(cursor)->at);
        return SQLITE_OK;
    };
    return module;
}();

// The entries: incoming (seq, key, text, copies, ts, order_time, order_rank, the list's columns, member_id,
// item_id).
struct EntryRows {
    static const std::string& declaration() {
        static const std::string declared =
            "CREATE TABLE x (seq, key, text, copies, ts, order_time, order_rank, type, member, item, member_fold, "
            "item_fold, money, item_count, tab, member_id, item_id)";
        return declared;
    }
    static std::size_t size(const IncomingEntries& rows) { return rows.entries.size(); }
    static void column(const IncomingEntries& rows, std::size_t seq, int column, sqlite3_context* context) {
        const PasteEntry& entry = rows.entries[seq];
        switch (column) {
        case 1:
            return sqlite3_result_blob64(context, (*rows.keys)[seq].data(), (*rows.keys)[seq].size(), SQLITE_STATIC);
        case 2:
            return sqlite3_result_blob64(context, entry.text.empty() ? "" : entry.text.data(), entry.text.size(),
                                         SQLITE_STATIC);
        case 3:
            return sqlite3_result_int64(context, static_cast<sqlite3_int64>(entry.copies));
        case 4:
            if (entry.ts)
                sqlite3_result_int64(context, *entry.ts);
            return; // null without a result
        case 5:
            return sqlite3_result_int64(context, entry.order.time);
        case 6:
            return sqlite3_result_int64(context, entry.order.rank);
        case 15:
        case 16:
            if (seq < rows.nameIds.size())
                sqlite3_result_int64(context, rows.nameIds[seq][column - 15]);
            return; // null without a result
        default:
            return ListColumn(context, rows.fields->view(seq), column - 7, SQLITE_STATIC);
        }
    }
};

// The names: incoming_name (seq, name, fold, the sums' columns of each role).
struct NameRows {
    static const std::string& declaration() {
        static const std::string declared = [] {
            std::string columns = "CREATE TABLE x (seq, name, fold";
            for (const char* role : kNameRoles)
                for (const std::string& sum : NameSumColumns(role))
                    columns += ", " + sum;
            return columns + ")";
        }();
        return declared;
    }
    static std::size_t size(const IncomingEntries& rows) { return rows.names.size(); }
    static void column(const IncomingEntries& rows, std::size_t seq, int column, sqlite3_context* context) {
        const IncomingName& name = rows.names[seq];
        if (column <= 2) {
            const std::string_view bytes = column == 1 ? name.name : std::string_view(name.fold);
            return sqlite3_result_blob64(context, bytes.empty() ? "" : bytes.data(), bytes.size(), SQLITE_STATIC);
        }
        const auto at = static_cast<std::size_t>(column - 3);
        sqlite3_result_int64(context, CountedValues(name.gains[at / kCountedValues])[at % kCountedValues]);
    }
};

// Sizes the page cache for an add: the pages it reads more than once are those of the indexes it looks
// into, a share of the file; the pages it writes go to the log as the cache fills. Half the file, from 8
// to 128 MiB: an add to a small ledger takes little memory beside its paste, one to a large ledger keeps
// the indexes it looks into.
void SizeCacheForAdd(SqliteDatabase& db) {
    constexpr std::int64_t kLeastKiB = 8 * 1024, kMostKiB = 128 * 1024;
    SqliteStatement size(db, "SELECT page_count * page_size FROM pragma_page_count(), pragma_page_size()");
    const std::int64_t kib = std::clamp<std::int64_t>((size.step() ? size.integer(0) : 0) / 2048, kLeastKiB, kMostKiB);
    db.execute(("PRAGMA cache_size = -" + std::to_string(kib)).c_str());
}

// coffer_list_sums(type, money, item_count, copies), of SqlDialect::listSums: the five sums of the list's
// totals in one call per row, where a sum with a filter for each would read and compare every row five
// times. A sum past 64 bits fails, as SQLite's own sum() does.
struct ListSumsState {
    ListTotals sums;
    bool overflow = false;
};

void AddToListSums(sqlite3_context* context, int, sqlite3_value** values) {
    auto* state = static_cast<ListSumsState*>(sqlite3_aggregate_context(context, sizeof(ListSumsState)));
    if (state == nullptr)
        return sqlite3_result_error_nomem(context);
    const auto integer = [](sqlite3_value* value) {
        return sqlite3_value_type(value) == SQLITE_INTEGER ? std::optional(sqlite3_value_int64(value)) : std::nullopt;
    };
    state->overflow = state->overflow || !AddToTotals(state->sums, integer(values[0]), integer(values[1]),
                                                      integer(values[2]), sqlite3_value_int64(values[3]));
}

void ListSumsResult(sqlite3_context* context) {
    const auto* state = static_cast<const ListSumsState*>(sqlite3_aggregate_context(context, 0));
    if (state != nullptr && state->overflow)
        return sqlite3_result_error(context, "integer overflow", -1);
    unsigned char bytes[8 * std::size(kListSums)] = {};
    for (std::size_t at = 0; state != nullptr && at < std::size(kListSums); ++at)
        for (std::size_t byte = 0; byte < 8; ++byte)
            bytes[8 * at + byte] =
                static_cast<unsigned char>(static_cast<std::uint64_t>(state->sums.*kListSums[at].sum) >> (8 * byte));
    sqlite3_result_blob(context, bytes, sizeof bytes, SQLITE_TRANSIENT);
}

} // namespace

void AddListFunctions(SqliteDatabase& db) {
    sqlite3_create_function_v2(db.handle(), "coffer_list_sums", 4,
                               SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY, nullptr, nullptr, &AddToListSums,
                               &ListSumsResult, nullptr);
    // coffer_marked(map, id), of SqlDialect::marked: a look into the bytes where they are, where substr()
    // would copy one for every entry a search reads.
    sqlite3_create_function_v2(
        db.handle(), "coffer_marked", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY, nullptr,
        [](sqlite3_context* context, int, sqlite3_value** values) {
            const auto* map = static_cast<const unsigned char*>(sqlite3_value_blob(values[0]));
            const sqlite3_int64 size = sqlite3_value_bytes(values[0]), id = sqlite3_value_int64(values[1]);
            sqlite3_result_int(context,
                               sqlite3_value_type(values[1]) == SQLITE_INTEGER && id >= 0 && id < size && map[id] == 1);
        },
        nullptr, nullptr, nullptr);
}

void ListColumn(sqlite3_context* context, const EntryFieldsView& fields, int index, void (*names)(void*)) {
    const auto number = [context](const std::optional<std::int64_t>& value) {
        if (value)
            sqlite3_result_int64(context, *value);
        // else null without a result
    };
    switch (index) {
    case 0:
        return number(fields.type);
    case 5:
        return number(fields.money);
    case 6:
        return number(fields.itemCount);
    case 7:
        if (!fields.tab.empty())
            sqlite3_result_blob64(context, fields.tab.data(), fields.tab.size(), names);
        return;
    default:
        break;
    }
    const std::string_view name = index % 2 == 1 ? fields.member : fields.item;
    if (index <= 2)
        return sqlite3_result_blob64(context, name.data(), name.size(), names);
    const std::string folded = FoldedCase(name);
    sqlite3_result_blob64(context, folded.data(), folded.size(), SQLITE_TRANSIENT);
}

AddOutcome SqliteLedger::add(const LedgerAddition& addition) {
    // Eponymous tables, known to this connection only: nothing of it goes into the file.
    if (!incomingTable_ && (sqlite3_create_module_v2(db_.handle(), "incoming", &kIncomingModule<EntryRows>, &incoming_,
                                                     nullptr) != SQLITE_OK ||
                            sqlite3_create_module_v2(db_.handle(), "incoming_name", &kIncomingModule<NameRows>,
                                                     &incoming_, nullptr) != SQLITE_OK))
        throw LedgerError(LedgerErrorKind::Other,
                          db_.path() + ": cannot add to the ledger: " + sqlite3_errmsg(db_.handle()));
    incomingTable_ = true;
    SizeCacheForAdd(db_);
    SqliteTransaction transaction(db_);
    SqliteSql sql(db_, incoming_);
    AddOutcome outcome = AddEntries(sql, addition);
    transaction.commit();
    return outcome;
}

std::vector<PasteRecord> SqliteLedger::pastes() {
    if (!hasTables_)
        return {};
    SqliteSql sql(db_, incoming_);
    return ReadPastes(sql);
}

} // namespace coffer

namespace coffer {

bool SqliteLedger::withListSql(const std::function<void(LedgerSql& sql, ListNames& names)>& read) {
    if (!hasTables_ || !hasListColumns_)
        return false;
    SqliteSql sql(db_, incoming_);
    read(sql, listNames_);
    return true;
}

} // namespace coffer
