#pragma once
// A ledger's entries as the analysis reads them: one bank log text, in an order that depends only on
// the set of pastes, never on when or by whom they were added.

#include "ledger/ledger_store.h"

#include <optional>
#include <string>
#include <vector>

namespace coffer {

// Newest first; an entry without a time where its page put it; entries of equal time in the order of
// the pastes that list them; where none decides, by text in byte order.
void SortForAnalysis(std::vector<LedgerEntry>& entries);

// The entries, sorted, as one page of bank log under the guild's key line: each entry's text as many
// times as it has copies.
std::string LedgerLogText(const std::vector<LedgerEntry>& sorted, const std::optional<GuildIdentity>& guild);

// "NAME of REALM", as messages name a guild.
std::string GuildText(const GuildIdentity& guild);

} // namespace coffer
