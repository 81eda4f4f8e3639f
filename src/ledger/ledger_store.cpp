// SPDX-License-Identifier: MIT
#include "ledger/ledger_store.h"

#include "ledger/ledger_log.h"

namespace coffer {

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
