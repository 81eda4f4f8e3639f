// SPDX-License-Identifier: MIT
#include "ledger/ledger_log.h"

#include "ledger/entry_order.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>

namespace coffer {

namespace {
// Each chunk twice the one before, up to a size where a million entries take a few chunks of whole huge
// pages: a small period asks for little memory, everything for few blocks.
constexpr std::size_t kFirstChunkBytes = std::size_t{64} << 10, kLargestChunkBytes = std::size_t{32} << 20;
} // namespace

void LedgerLogWriter::add(const LedgerEntry& entry) {
    const std::size_t size = entry.text.size() + entry.key.size();
    if (chunks_.empty() || chunks_.back().capacity() - chunks_.back().size() < size) {
        const std::size_t next =
            chunks_.empty() ? kFirstChunkBytes : std::min(kLargestChunkBytes, chunks_.back().capacity() * 2);
        chunks_.emplace_back().reserve(std::max(next, size));
    }
    Chunk& chunk = chunks_.back();
    const char* const at = chunk.data() + chunk.size();
    chunk.insert(chunk.end(), entry.text.begin(), entry.text.end());
    chunk.insert(chunk.end(), entry.key.begin(), entry.key.end());
    placed_.push_back({.order = entry.order,
                       .text = std::string_view(at, entry.text.size()),
                       .key = std::string_view(at + entry.text.size(), entry.key.size()),
                       .copies = entry.copies});
    copies_ += entry.copies;
    bytes_ += (entry.text.size() + 1) * entry.copies;
}

HugeText LedgerLogWriter::text(const std::optional<GuildIdentity>& guild) {
    std::ranges::sort(placed_,
                      [](const Placed& a, const Placed& b) { return ComesBefore(a.order, a.key, b.order, b.key); });
    std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    // The scanner reads a guild key's values between quotes, which they therefore never hold.
    if (guild)
        head += "<guildKey name=\"" + guild->name + "\" realm=\"" + guild->realm + "\"/>\n";
    HugeText text(head.size() + bytes_);
    std::memcpy(text.data(), head.data(), head.size());
    const auto write = [this](std::size_t from, std::size_t to, char* out) {
        for (std::size_t i = from; i < to; ++i)
            for (std::uint64_t copy = 0; copy < placed_[i].copies; ++copy) {
                out = std::copy(placed_[i].text.begin(), placed_[i].text.end(), out);
                *out++ = '\n';
            }
    };
    // The second half on a thread of its own: touching the fresh memory for the first time costs as much
    // as the copy, and both halves of the work are independent.
    const std::size_t half = placed_.size() / 2;
    std::size_t firstHalfBytes = 0;
    for (std::size_t i = 0; i < half; ++i)
        firstHalfBytes += (placed_[i].text.size() + 1) * placed_[i].copies;
    char* const start = text.data() + head.size();
    {
        std::jthread second(write, half, placed_.size(), start + firstHalfBytes);
        write(0, half, start);
    }
    return text;
}

} // namespace coffer
