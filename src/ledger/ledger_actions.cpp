#include "ledger/ledger_actions.h"

#include "ledger/entry_identity.h"
#include "ledger/ledger_log.h"

#include <algorithm>

namespace coffer {

AddReport AddToLedger(LedgerStore& store, std::string_view text, const std::string& fileName, std::int64_t addedAt,
                      const AddProgress& progress) {
    Paste paste = ReadPaste(text);
    PasteRecord record;
    record.addedAt = addedAt;
    record.entries = paste.elements;
    record.firstTs = paste.firstTs;
    record.lastTs = paste.lastTs;
    if (paste.guilds.size() == 1)
        record.guild = paste.guilds[0];
    record.fileName = fileName;
    record.digest = paste.digest;

    const std::vector<TimeGap> before = FindGaps(store.pastes());
    AddReport report;
    report.outcome = store.add({std::move(paste.entries), paste.guilds, {record}, true, progress});
    report.entries = paste.elements;
    report.namesGuild = !paste.guilds.empty();
    report.unfinished = paste.unfinished;
    for (const TimeGap& gap : FindGaps(store.pastes()))
        if (std::ranges::find(before, gap) == before.end())
            report.openedGaps.push_back(gap);
    return report;
}

AddOutcome MergeLedger(LedgerStore& store, LedgerStore& other) {
    LedgerAddition addition;
    for (LedgerEntry& entry : other.entries(std::nullopt)) {
        std::string identity = EntryIdentity(entry.text);
        const std::uint64_t hash = IdentityHash(identity);
        addition.entries.push_back(
            {std::move(identity), std::move(entry.text), hash, entry.copies, entry.ts, entry.order});
    }
    if (std::optional<GuildIdentity> guild = other.guild())
        addition.guilds.push_back(*guild);
    addition.pastes = other.pastes();
    addition.countCopiesAdded = false;
    return store.add(addition);
}

std::vector<std::string> AddStatusLines(const std::string& pasteName, const AddReport& report) {
    std::vector<std::string> lines{pasteName + ": " + std::to_string(report.entries) + " entries, " +
                                   std::to_string(report.outcome.copiesAdded) + " new to the ledger" +
                                   (report.outcome.listed ? "" : "; the ledger lists this paste already")};
    if (report.unfinished > 0)
        lines.push_back(pasteName + " ends inside an entry, which was left out");
    if (!report.namesGuild)
        lines.push_back(pasteName + " names no guild; its entries were added to the ledger's guild");
    return lines;
}

LedgerLog ReadLedgerLog(LedgerStore& store, const std::optional<TimeRange>& period, const StepProgress& progress) {
    struct Stopped {};
    const std::optional<LedgerTotals> totals = period || progress.done ? std::optional(store.totals()) : std::nullopt;
    constexpr std::uint64_t kEntriesPerTelling = 4096;
    std::uint64_t visited = 0, copies = 0; // the share read counts every copy, as the totals do
    LedgerLogWriter writer;
    try {
        store.forEachEntry(period, [&](const LedgerEntry& entry) {
            if (progress.stop.stop_requested())
                throw Stopped{};
            writer.add(entry);
            copies += entry.copies;
            if (progress.done && ++visited % kEntriesPerTelling == 0)
                progress.tell(static_cast<double>(copies) / static_cast<double>(totals->entries));
        });
    } catch (const Stopped&) {
        return {};
    }
    LedgerLog log;
    log.text = writer.text(store.guild());
    if (period) {
        log.undated = totals->untimed;
        log.leftOut = totals->entries - totals->untimed - writer.copies();
    }
    progress.tell(1);
    return log;
}

std::string UndatedLeftOutText(std::uint64_t entries) {
    return std::to_string(entries) +
           " entries without a readable time were left out: they are in no period, only in a report of everything";
}

} // namespace coffer
