#include "ledger/paste.h"

#include "analysis/bank_log_scanner.h"
#include "ledger/entry_identity.h"

#include <algorithm>
#include <limits>
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

// A sum of each entry's mixed hash and copies: the same whatever the order of the entries.
std::uint64_t Digest(const std::vector<PasteEntry>& entries) {
    std::uint64_t digest = 0;
    for (const PasteEntry& entry : entries) {
        __extension__ using Wide = unsigned __int128;
        const Wide product =
            static_cast<Wide>(entry.hash ^ (entry.copies * 0x9E3779B97F4A7C15ULL)) * 0xD6E8FEB86659FD93ULL;
        digest += static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
    }
    return digest;
}

} // namespace

Paste ReadPaste(std::string_view text) {
    Paste paste;
    std::unordered_multimap<std::uint64_t, std::size_t> withHash; // identity hash -> places in paste.entries
    withHash.reserve(text.size() / 128);
    std::vector<std::uint64_t> onPage;                       // by entry: its copies on the current page
    std::vector<std::size_t> seenOnPage;                     // the entries counted there
    std::unordered_map<std::int64_t, std::int64_t> nextRank; // order time -> the next distinct entry's rank
    std::uint64_t page = 0;
    std::int64_t pageTime = -1; // the time of the last timed entry on the page
    GuildIdentity guild;
    ElementTextHooks hooks;
    hooks.guildKey = [&](const GuildIdentity& named) {
        if (std::ranges::none_of(paste.guilds, [&](const GuildIdentity& g) { return SameGuild(g, named); }))
            paste.guilds.push_back(named);
    };
    hooks.element = [&](const BankLogEntry& scanned, std::string_view elementText, bool closed) {
        // Cut off by the end of the paste: a later paste holds it whole, and each is one entry.
        if (!closed) {
            ++paste.unfinished;
            return;
        }
        ++paste.elements;
        if (scanned.page != page) {
            page = scanned.page;
            pageTime = -1;
            for (const std::size_t seen : seenOnPage)
                onPage[seen] = 0;
            seenOnPage.clear();
        }
        const std::optional<std::int64_t> ts = StorableTime(scanned.ts);
        if (ts) {
            pageTime = *ts;
            paste.firstTs = std::min(paste.firstTs.value_or(*ts), *ts);
            paste.lastTs = std::max(paste.lastTs.value_or(*ts), *ts);
        }
        std::string identity = EntryIdentity(elementText);
        const std::uint64_t hash = IdentityHash(identity);
        std::size_t index = paste.entries.size();
        for (auto [at, end] = withHash.equal_range(hash); at != end && index == paste.entries.size(); ++at)
            if (paste.entries[at->second].identity == identity)
                index = at->second;
        if (index == paste.entries.size()) {
            withHash.emplace(hash, index);
            paste.entries.push_back({std::move(identity), std::string(elementText), hash, 0, ts,
                                     EntryOrder{pageTime, nextRank[pageTime]++}});
            onPage.push_back(0);
        }
        PasteEntry& entry = paste.entries[index];
        if (entry.copies > 0 && elementText < entry.text)
            entry.text = elementText;
        if (onPage[index]++ == 0)
            seenOnPage.push_back(index);
        entry.copies = std::max(entry.copies, onPage[index]);
    };
    ScanBankLogElements(text, guild, hooks);
    paste.digest = Digest(paste.entries);
    return paste;
}

} // namespace coffer
