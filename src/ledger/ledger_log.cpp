#include "ledger/ledger_log.h"

#include <algorithm>

namespace coffer {

void SortForAnalysis(std::vector<LedgerEntry>& entries) {
    std::ranges::sort(entries, [](const LedgerEntry& a, const LedgerEntry& b) {
        if (a.order.time != b.order.time)
            return a.order.time > b.order.time;
        if (a.order.rank != b.order.rank)
            return a.order.rank < b.order.rank;
        return a.text < b.text;
    });
}

std::string LedgerLogText(const std::vector<LedgerEntry>& sorted, const std::optional<GuildIdentity>& guild) {
    std::size_t size = 256;
    for (const LedgerEntry& entry : sorted)
        size += (entry.text.size() + 1) * entry.copies;
    std::string text;
    text.reserve(size);
    text += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    // The scanner reads a guild key's values between quotes, which they therefore never hold.
    if (guild)
        text += "<guildKey name=\"" + guild->name + "\" realm=\"" + guild->realm + "\"/>\n";
    for (const LedgerEntry& entry : sorted)
        for (std::uint64_t copy = 0; copy < entry.copies; ++copy)
            text.append(entry.text).append(1, '\n');
    return text;
}

std::string GuildText(const GuildIdentity& guild) {
    return guild.name + " of " + guild.realm;
}

std::string GuildRefusal(const std::optional<GuildIdentity>& ledgerGuild, const std::vector<GuildIdentity>& named) {
    if (named.size() > 1) {
        std::string names;
        for (const GuildIdentity& guild : named)
            names += (names.empty() ? "" : ", ") + GuildText(guild);
        return "The paste names more than one guild (" + names + "); a ledger holds one guild.";
    }
    if (ledgerGuild && named.size() == 1 &&
        (named[0].name != ledgerGuild->name || named[0].realm != ledgerGuild->realm))
        return "The paste is of the guild " + GuildText(named[0]) + ", but the ledger holds the guild " +
               GuildText(*ledgerGuild) + ".";
    return {};
}

} // namespace coffer
