// SPDX-License-Identifier: MIT
#include "ledger/ledger_file.h"

#include "analysis/text/web_text.h"
#include "ledger/ledger_log.h"
#include "ledger/ledger_open.h"
#include "ledger/local_time_text.h"

#include <filesystem>
#include <initializer_list>

namespace coffer {
namespace {

std::string TimeOrNone(const std::optional<std::int64_t>& ms) {
    return ms ? LocalTimeText(*ms) : "-";
}

std::uint64_t SizeOf(const std::string& file, std::initializer_list<const char*> suffixes) {
    std::uint64_t size = 0;
    for (const char* suffix : suffixes) {
        std::error_code error;
        const auto part = std::filesystem::file_size(file + suffix, error);
        size += error ? 0 : part;
    }
    return size;
}

} // namespace

std::unique_ptr<LedgerStore> OpenExistingLedger(const std::string& name, const LockWait& lockWait) {
    std::error_code error;
    if (!IsServerLedger(name) && !std::filesystem::exists(name, error))
        throw LedgerError(LedgerErrorKind::Other, error ? name + ": cannot open the ledger: " + error.message()
                                                        : name + ": there is no such ledger");
    return OpenLedger(name, LedgerAccess::ReadOnly, lockWait);
}

std::uint64_t LedgerFileSize(const std::string& file) {
    return SizeOf(file, {"", "-wal", "-shm"});
}

std::uint64_t LedgerRecentWritesSize(const std::string& file) {
    return SizeOf(file, {"-wal", "-shm"});
}

LedgerSummary ReadLedgerSummary(LedgerStore& store, const std::string& name) {
    LedgerSummary summary;
    store.readAtOnce([&] {
        summary.guild = store.guild();
        summary.totals = store.totals();
        summary.pastes = store.pastes();
    });
    summary.gaps = FindGaps(summary.pastes);
    if (!IsServerLedger(name)) {
        summary.fileSize = LedgerFileSize(name);
        summary.recentWrites = LedgerRecentWritesSize(name);
    }
    return summary;
}

std::vector<std::string> LedgerTotalsLines(const LedgerSummary& summary) {
    std::vector<std::string> lines = {"Guild: " + (summary.guild ? GuildText(*summary.guild) : "none named yet"),
                                      "Entries: " + std::to_string(summary.totals.entries) + " (" +
                                          std::to_string(summary.totals.untimed) + " without a readable time)",
                                      "First entry: " + TimeOrNone(summary.totals.firstTs),
                                      "Last entry: " + TimeOrNone(summary.totals.lastTs)};
    if (summary.fileSize)
        lines.push_back("File size: " + std::to_string(*summary.fileSize) + " bytes");
    return lines;
}

PasteFields PasteFieldTexts(const PasteRecord& paste) {
    return {LocalTimeText(paste.addedAt),
            std::to_string(paste.entries),
            std::to_string(paste.copiesAdded),
            TimeOrNone(paste.firstTs),
            TimeOrNone(paste.lastTs),
            paste.guild ? GuildText(*paste.guild) : "no guild named",
            paste.fileName.empty() ? "pasted text" : CleanText(paste.fileName)};
}

} // namespace coffer
