// SPDX-License-Identifier: MIT
#include "ledger/ledger_actions.h"

#include "ledger/entry_identity.h"
#include "ledger/ledger_log.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace coffer {
namespace {

constexpr std::uint64_t kLatestTime = std::numeric_limits<std::int64_t>::max();

// Why an entry of another ledger is not one that an add stores, or empty.
std::string BadEntryReason(const LedgerEntry& entry) {
    if (entry.copies < 1 || entry.copies > kMaxCopies)
        return kBadCopiesReason;
    // A timed entry is placed at its own time: a period and the list find it there.
    if ((entry.ts && (*entry.ts < 0 || entry.order.time != *entry.ts)) || entry.order.time < -1 || entry.order.rank < 0)
        return "an entry's time is not one that a ledger stores";
    if (!IsStoredElement(entry.text, entry.ts))
        return "an entry's text is not one banklog element of its time";
    return {};
}

// Why a paste record of another ledger is not one that an add stores, or empty.
std::string BadPasteReason(const PasteRecord& paste) {
    if (paste.entries > kLatestTime || paste.copiesAdded > kLatestTime) // read from negative numbers
        return "a paste's counts are negative";
    if (paste.firstTs.has_value() != paste.lastTs.has_value() || (paste.firstTs && *paste.firstTs < 0) ||
        (paste.firstTs && *paste.firstTs > *paste.lastTs))
        return "a paste's first and last times are not times in order";
    return {};
}

} // namespace

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

AddReport AddToLedger(LedgerStore& store, std::string_view text, const std::string& fileName, std::int64_t addedAt,
                      const AddWatch& watch) {
    if (watch.steps)
        watch.steps(AddStep::Scan);
    if (watch.stop && watch.stop())
        throw AddCancelled();
    return AddPasteToLedger(store, ReadPaste(text, watch.stop, watch.progress), fileName, addedAt, watch);
}

AddReport AddPasteToLedger(LedgerStore& store, Paste paste, const std::string& fileName, std::int64_t addedAt,
                           const AddWatch& watch) {
    if (std::ranges::any_of(paste.entries, [](const PasteEntry& entry) { return entry.copies > kMaxCopies; }))
        throw LedgerError(LedgerErrorKind::Other,
                          "The paste repeats an entry more than 1,000,000 times on one page; a ledger holds at most "
                          "1,000,000 copies of an entry.");
    PasteRecord record;
    record.addedAt = addedAt;
    record.entries = paste.elements;
    record.firstTs = paste.firstTs;
    record.lastTs = paste.lastTs;
    if (paste.guilds.size() == 1)
        record.guild = paste.guilds[0];
    record.fileName = fileName;
    record.digest = paste.digest;

    AddReport report;
    report.outcome = store.add({std::move(paste.entries), paste.guilds, {record}, true, watch});
    report.entries = paste.elements;
    report.namesGuild = !paste.guilds.empty();
    report.unfinished = paste.unfinished;
    return report;
}

AddOutcome MergeLedger(LedgerStore& store, LedgerStore& other, const std::string& otherName) {
    const auto refuse = [&](const std::string& reason) {
        if (!reason.empty())
            throw LedgerError(LedgerErrorKind::Damaged, otherName + " is damaged: " + reason);
    };
    LedgerAddition addition;
    // The entries of the addition view these texts.
    std::vector<LedgerEntry> others;
    std::vector<std::string> identities;
    // The other ledger as it was at one moment, whatever its own programs add meanwhile.
    other.readAtOnce([&] {
        other.checkIntact();
        others = other.entries(std::nullopt);
        for (const LedgerEntry& entry : others) {
            refuse(BadEntryReason(entry));
            const std::string& identity = identities.emplace_back(EntryIdentity(entry.text));
            addition.entries.push_back({entry.text, IdentityHash(identity), entry.copies, entry.ts, entry.order});
        }
        if (std::optional<GuildIdentity> guild = other.guild())
            addition.guilds.push_back(*guild);
        addition.pastes = other.pastes();
    });
    std::ranges::sort(identities);
    if (std::ranges::adjacent_find(identities) != identities.end())
        refuse("two entries have one identity");
    for (const PasteRecord& paste : addition.pastes)
        refuse(BadPasteReason(paste));
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
    constexpr std::uint64_t kEntriesPerTelling = 4096;
    std::optional<LedgerTotals> totals;
    std::optional<GuildIdentity> guild;
    std::uint64_t most = std::numeric_limits<std::uint64_t>::max(); // the copies the totals count
    LedgerLogWriter writer;
    try {
        // One moment of the ledger: the totals are those of the entries read.
        store.readAtOnce([&] {
            if (period || progress.done) {
                totals = store.totals();
                most = totals->entries - (period ? totals->untimed : 0); // for a period, the timed ones
            }
            std::uint64_t visited = 0; // the share read counts every copy, as the totals do
            store.forEachEntry(period, [&](const LedgerEntry& entry) {
                if (progress.stop.stop_requested())
                    throw Stopped{};
                writer.add(entry);
                if (writer.copies() > most)
                    throw LedgerError(LedgerErrorKind::Damaged,
                                      store.name() + " is damaged: " + kTotalsBelowEntriesReason);
                if (progress.done && ++visited % kEntriesPerTelling == 0)
                    progress.tell(static_cast<double>(writer.copies()) / static_cast<double>(totals->entries));
            });
            guild = store.guild();
        });
    } catch (const Stopped&) {
        return {};
    }
    LedgerLog log;
    log.text = writer.text(guild);
    if (period) {
        log.undated = totals->untimed;
        log.leftOut = most - writer.copies();
    }
    progress.tell(1);
    return log;
}

std::string UndatedLeftOutText(std::uint64_t entries) {
    return std::to_string(entries) +
           " entries without a readable time were left out: they are in no period, only in a report of everything";
}

} // namespace coffer
