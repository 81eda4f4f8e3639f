// SPDX-License-Identifier: MIT
#pragma once
// The one probing scheme of the hash tables of the engine and the ledger (the text index, the set of
// elements seen, a paste's entries): a power-of-two array of slots, searched from the hash onwards one
// slot at a time. Each table keeps its own slots, fill limit and growth.

#include <cstddef>
#include <cstdint>

namespace coffer {

// The first slot from `hash` on that is empty or holds a match: where the key is, or where it goes.
template <typename Slots, typename IsEmpty, typename Matches>
std::size_t ProbeSlot(const Slots& slots, std::uint64_t hash, IsEmpty isEmpty, Matches matches) {
    const std::size_t mask = slots.size() - 1;
    std::size_t slot = static_cast<std::size_t>(hash) & mask;
    while (!isEmpty(slots[slot]) && !matches(slots[slot]))
        slot = (slot + 1) & mask;
    return slot;
}

// The first empty slot from `hash` on: where a key known to be absent goes (as when a table grows).
template <typename Slots, typename IsEmpty>
std::size_t FreeSlot(const Slots& slots, std::uint64_t hash, IsEmpty isEmpty) {
    return ProbeSlot(slots, hash, isEmpty, [](const auto&) { return false; });
}

} // namespace coffer
