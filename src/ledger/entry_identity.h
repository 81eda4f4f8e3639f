// SPDX-License-Identifier: MIT
#pragma once
// What makes two bank log elements the same transaction in a ledger: the attributes of the element and
// of its item, each as its name (letter case ignored) and exact value, in name order. Left out: "rank"
// (a member's rank may change between two pastes of one transaction), empty values (a site may write
// otab="" or omit it), and an item's attributes other than its id when it has one (a game update may
// rename or re-icon an item). An element whose attributes cannot be read as name="value" pairs is
// identified by its text with every run of whitespace as one space.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace coffer {

// The element's identity as bytes that compare equal exactly when the identities are equal.
std::string EntryIdentity(std::string_view elementText);

// A stable 64-bit hash of an identity (the same on every system and in every version): a paste looks
// identities up by it and then compares them in full, and sums it into its digest.
std::uint64_t IdentityHash(std::string_view identity);

// An entry's key in a ledger, unique among its entries: the 32 bytes of the SHA-256 of a mark of its
// time (0, or 1 and the time as 8 bytes, most significant first) followed by its identity. A server
// ledger computes the same in SQL when it upgrades.
[[nodiscard]] std::string EntryKey(std::string_view identity, const std::optional<std::int64_t>& ts);

// How an add computes keys: EntryKey, or in a test one that makes two identities meet.
using EntryKeyFunction = std::string (*)(std::string_view identity, const std::optional<std::int64_t>& ts);

} // namespace coffer
