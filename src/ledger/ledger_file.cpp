#include "ledger/ledger_file.h"

#include "ledger/ledger_log.h"

#include <filesystem>

namespace coffer {
namespace {

std::string TimeOrNone(const std::optional<std::int64_t>& ms) {
    return ms ? LocalTimeText(*ms) : "-";
}

} // namespace

SqliteLedger OpenExistingLedger(const std::string& file, const LockWait& lockWait) {
    if (!std::filesystem::exists(file))
        throw LedgerError(file + ": there is no such ledger");
    return SqliteLedger(file, SqliteDatabase::Access::ReadOnly, lockWait);
}

std::uint64_t LedgerFileSize(const std::string& file) {
    std::uint64_t size = 0;
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::error_code error;
        const auto part = std::filesystem::file_size(file + suffix, error);
        size += error ? 0 : part;
    }
    return size;
}

LedgerSummary ReadLedgerSummary(LedgerStore& store, const std::string& file) {
    LedgerSummary summary{store.guild(), store.totals(), store.pastes(), {}, LedgerFileSize(file)};
    summary.gaps = FindGaps(summary.pastes);
    return summary;
}

std::vector<std::string> LedgerTotalsLines(const LedgerSummary& summary) {
    return {"Guild: " + (summary.guild ? GuildText(*summary.guild) : "none named yet"),
            "Entries: " + std::to_string(summary.totals.entries) + " (" + std::to_string(summary.totals.untimed) +
                " without a readable time)",
            "First entry: " + TimeOrNone(summary.totals.firstTs), "Last entry: " + TimeOrNone(summary.totals.lastTs),
            "File size: " + std::to_string(summary.fileSize) + " bytes"};
}

PasteFields PasteFieldTexts(const PasteRecord& paste) {
    return {LocalTimeText(paste.addedAt),
            std::to_string(paste.entries),
            std::to_string(paste.copiesAdded),
            TimeOrNone(paste.firstTs),
            TimeOrNone(paste.lastTs),
            paste.guild ? GuildText(*paste.guild) : "no guild named",
            paste.fileName.empty() ? "pasted text" : paste.fileName};
}

} // namespace coffer
