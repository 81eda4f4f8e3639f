// SPDX-License-Identifier: MIT
#include "ledger/paste.h"

#include "analysis/scan/bank_log_scanner.h"
#include "analysis/scan/concurrent_scan.h"
#include "analysis/tables/open_addressing.h"
#include "ledger/entry_identity.h"
#include "ledger/ledger_error.h"

#include <algorithm>
#include <limits>
#include <numeric>

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

// Where each identity stands in a paste's entries: found by its hash, compared in full. Open
// addressing over a table at most half full, so that a paste of many entries allocates a few arrays
// rather than a node for each.
class EntryIndex {
  public:
    explicit EntryIndex(const std::vector<PasteEntry>& entries) : entries_(entries) { rebuild(1024); }

    // The place of the entry of this identity in the entries; their number when there is none, which
    // the next add() then puts there. An entry of the same hash has its identity made again from its
    // text: mostly the same entry on another page.
    std::size_t find(std::uint64_t hash, std::string_view identity) {
        slot_ = ProbeSlot(slots_, hash, IsFree, [&](std::uint32_t place) {
            return entries_[place].hash == hash && EntryIdentity(entries_[place].text) == identity;
        });
        return IsFree(slots_[slot_]) ? entries_.size() : slots_[slot_];
    }

    // Takes the entry just appended at the place find() returned for it.
    void add() {
        slots_[slot_] = static_cast<std::uint32_t>(entries_.size() - 1);
        if (entries_.size() * 2 > slots_.size())
            rebuild(slots_.size() * 2);
    }

  private:
    static constexpr std::uint32_t kFree = std::numeric_limits<std::uint32_t>::max();
    static constexpr auto IsFree = [](std::uint32_t place) { return place == kFree; };

    void rebuild(std::size_t size) {
        slots_.assign(size, kFree);
        for (std::size_t place = 0; place < entries_.size(); ++place)
            slots_[FreeSlot(slots_, entries_[place].hash, IsFree)] = static_cast<std::uint32_t>(place);
    }

    const std::vector<PasteEntry>& entries_;
    std::vector<std::uint32_t> slots_;
    std::size_t slot_ = 0;
};

// Ranks each entry among the distinct entries of its order time, in paste order from 0.
void RankByTime(std::vector<PasteEntry>& entries) {
    std::vector<std::uint32_t> byTime(entries.size());
    std::iota(byTime.begin(), byTime.end(), 0u);
    std::ranges::stable_sort(byTime, {}, [&](std::uint32_t place) { return entries[place].order.time; });
    for (std::size_t i = 0; i < byTime.size(); ++i) {
        EntryOrder& order = entries[byTime[i]].order;
        order.rank =
            i > 0 && entries[byTime[i - 1]].order.time == order.time ? entries[byTime[i - 1]].order.rank + 1 : 0;
    }
}

} // namespace

Paste ReadPaste(std::string_view text, const std::function<bool()>& stop,
                const std::function<bool(std::uint64_t read, std::uint64_t size)>& progress) {
    Paste paste;
    paste.entries.reserve(text.size() / 128);
    EntryIndex index(paste.entries);
    std::vector<std::uint64_t> onPage;   // by entry: its copies on the current page
    std::vector<std::size_t> seenOnPage; // the entries counted there
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
        if (++paste.elements % kEntriesPerLook == 0 &&
            ((stop && stop()) || (progress && !progress(scanned.textEnd, text.size()))))
            throw AddCancelled();
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
        const std::string identity = EntryIdentity(elementText);
        const std::uint64_t hash = IdentityHash(identity);
        const std::size_t place = index.find(hash, identity);
        // The element's text where the paste holds it, if the paste holds it so.
        const std::string_view inPaste = text.substr(std::min<std::uint64_t>(scanned.textBegin, text.size()));
        const auto kept = [&] {
            return inPaste.starts_with(elementText) ? inPaste.substr(0, elementText.size())
                                                    : std::string_view(paste.ownTexts.emplace_back(elementText));
        };
        if (place == paste.entries.size()) {
            paste.entries.push_back({kept(), hash, 0, ts, {pageTime, 0}});
            index.add();
            onPage.push_back(0);
        }
        PasteEntry& entry = paste.entries[place];
        if (entry.copies > 0 && elementText < entry.text)
            entry.text = kept();
        if (onPage[place]++ == 0)
            seenOnPage.push_back(place);
        entry.copies = std::max(entry.copies, onPage[place]);
    };
    ScanBankLogElementsConcurrently(text, guild, hooks);
    RankByTime(paste.entries);
    paste.digest = Digest(paste.entries);
    return paste;
}

bool IsStoredElement(std::string_view text, const std::optional<std::int64_t>& ts) {
    int elements = 0;
    bool same = false;
    GuildIdentity guild;
    ElementTextHooks hooks;
    hooks.element = [&](const BankLogEntry& scanned, std::string_view elementText, bool closed) {
        same = ++elements == 1 && closed && elementText == text && StorableTime(scanned.ts) == ts;
    };
    ScanBankLogElements(text, guild, hooks);
    return elements == 1 && same;
}

} // namespace coffer
