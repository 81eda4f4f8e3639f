#include "ledger/paste.h"

#include "analysis/bank_log_scanner.h"
#include "ledger/entry_identity.h"

#include <algorithm>
#include <limits>
#include <map>
#include <unordered_map>

namespace coffer {
namespace {

bool SameGuild(const GuildIdentity& a, const GuildIdentity& b) {
    return a.name == b.name && a.realm == b.realm;
}

// A time a ledger can hold: it stores times as signed 64-bit numbers.
std::optional<std::int64_t> StorableTime(std::optional<std::uint64_t> ts) {
    if (!ts || *ts > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
        return std::nullopt;
    return static_cast<std::int64_t>(*ts);
}

std::uint64_t Digest(const std::vector<PasteEntry>& entries) {
    std::vector<const PasteEntry*> sorted;
    for (const PasteEntry& entry : entries)
        sorted.push_back(&entry);
    std::ranges::sort(sorted, [](const PasteEntry* a, const PasteEntry* b) { return a->identity < b->identity; });
    std::string all;
    for (const PasteEntry* entry : sorted)
        all.append(entry->identity).append(1, '\0').append(std::to_string(entry->copies)).append(1, '\0');
    return IdentityHash(all);
}

} // namespace

Paste ReadPaste(std::string_view text) {
    Paste paste;
    std::unordered_map<std::string, std::size_t> indexOf;  // identity -> its place in paste.entries
    std::unordered_map<std::size_t, std::uint64_t> onPage; // entry -> copies on the current page
    std::map<std::int64_t, std::int64_t> nextRank;         // order time -> the next distinct entry's rank
    std::uint64_t page = 0;
    std::int64_t pageTime = -1; // the time of the last timed entry on the page
    GuildIdentity guild;
    ElementTextHooks hooks;
    hooks.guildKey = [&](const GuildIdentity& named) {
        if (std::ranges::none_of(paste.guilds, [&](const GuildIdentity& g) { return SameGuild(g, named); }))
            paste.guilds.push_back(named);
    };
    hooks.element = [&](const BankLogEntry& scanned, std::string_view elementText) {
        ++paste.elements;
        if (scanned.page != page) {
            page = scanned.page;
            pageTime = -1;
            onPage.clear();
        }
        const std::optional<std::int64_t> ts = StorableTime(scanned.ts);
        if (ts) {
            pageTime = *ts;
            paste.firstTs = std::min(paste.firstTs.value_or(*ts), *ts);
            paste.lastTs = std::max(paste.lastTs.value_or(*ts), *ts);
        }
        std::string identity = EntryIdentity(elementText);
        const auto [found, added] = indexOf.try_emplace(identity, paste.entries.size());
        if (added) {
            PasteEntry& entry = paste.entries.emplace_back();
            entry.identity = std::move(identity);
            entry.text = elementText;
            entry.ts = ts;
            entry.order = {pageTime, nextRank[pageTime]++};
        }
        PasteEntry& entry = paste.entries[found->second];
        if (elementText < entry.text)
            entry.text = elementText;
        entry.copies = std::max(entry.copies, ++onPage[found->second]);
    };
    ScanBankLogElements(text, guild, hooks);
    paste.digest = Digest(paste.entries);
    return paste;
}

} // namespace coffer
