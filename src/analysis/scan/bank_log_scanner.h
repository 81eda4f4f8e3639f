// SPDX-License-Identifier: MIT
#pragma once
// The line-and-token scanner of the bank log. It is deliberately not an XML parser: it reads the
// guild key line for the guild's name and realm and turns every "<banklog " element into one
// BankLogEntry, in text order, handing each on before reading further.

#include "analysis/scan/bank_log_entry.h"
#include "analysis/scan/line_reader.h"

#include <functional>
#include <stop_token>
#include <string>
#include <string_view>

namespace coffer {

using EntryHandler = std::function<void(BankLogEntry&)>;

// The weight text of a raw quality index ("3" gives "00050"); other texts stay as they are.
std::string QualityWeight(std::string_view rawQuality);

// Scans every line of the reader, or until a stop is requested. A later guild key line replaces what
// an earlier one set.
void ScanBankLog(LineReader& lines, GuildIdentity& guild, const EntryHandler& onEntry, std::stop_token stop);

// The same, filling for each element the entry `nextEntry` gives (every field is set anew, and the
// strings keep their memory) before `onEntry` gets it. An element that is skipped leaves its entry to
// the next one.
void ScanBankLog(LineReader& lines, GuildIdentity& guild, const std::function<BankLogEntry&()>& nextEntry,
                 const EntryHandler& onEntry, std::stop_token stop);

// Whether two element texts have the same words, whitespace (line breaks included) aside: the texts
// the element hash takes as equal.
bool SameWords(std::string_view a, std::string_view b);

// What a scan that keeps the log itself hears besides the entries: the guild after each guild key line,
// and each element's text (its lines as the log has them, line breaks included; a view valid only
// during the call) with the entry read from it and whether it closed (false for one the text ends in).
struct ElementTextHooks {
    std::function<void(const GuildIdentity&)> guildKey;
    std::function<void(const BankLogEntry&, std::string_view elementText, bool closed)> element;
};

// Scans every line as ScanBankLog does, telling the hooks instead of an entry handler.
void ScanBankLogElements(std::string_view text, GuildIdentity& guild, const ElementTextHooks& hooks);

// Whether a text may be a bank log at all: it must contain "?xml" (letter case ignored).
bool LooksLikeBankLog(std::string_view text);

} // namespace coffer
