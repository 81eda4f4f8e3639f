// SPDX-License-Identifier: MIT
#include "analysis/tables/text_index.h"

#include "analysis/tables/open_addressing.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

namespace coffer {
namespace {

// An index slot holds the text's tag and its number plus one: 0 is a free slot.
constexpr auto IsFree = [](std::uint64_t entry) { return entry == 0; };

// Blocks grow from the first size to the largest, so a column of a few texts stays small.
constexpr std::size_t kFirstBlock = 256;
constexpr std::size_t kLargestBlock = 64 * 1024;

std::uint32_t Tag(std::string_view text) {
    return static_cast<std::uint32_t>(std::hash<std::string_view>{}(text));
}

std::uint64_t Entry(std::uint32_t tag, std::uint32_t number) {
    return std::uint64_t{tag} << 32 | (number + 1);
}

} // namespace

TextIndex::TextIndex(const TextIndex& other) : index_(other.index_), last_(other.last_) {
    views_.reserve(other.views_.size());
    for (const std::string_view text : other.views_)
        views_.push_back(store(text));
}

TextIndex& TextIndex::operator=(const TextIndex& other) {
    if (this != &other)
        *this = TextIndex(other);
    return *this;
}

TextIndex& TextIndex::operator=(TextIndex&& other) noexcept {
    TextIndex taken(std::move(other));
    swap(taken);
    return *this;
}

void TextIndex::swap(TextIndex& other) noexcept {
    std::swap(blocks_, other.blocks_);
    std::swap(free_, other.free_);
    std::swap(room_, other.room_);
    std::swap(blockSize_, other.blockSize_);
    std::swap(views_, other.views_);
    std::swap(index_, other.index_);
    std::swap(last_, other.last_);
}

std::uint32_t TextIndex::intern(std::string_view text) {
    if (last_ < views_.size() && views_[last_] == text)
        return last_;
    if ((views_.size() + 1) * 4 > index_.size() * 3)
        grow();
    const std::uint32_t tag = Tag(text);
    const std::size_t slot = slotOf(text, tag);
    if (index_[slot] != 0)
        return last_ = static_cast<std::uint32_t>(index_[slot]) - 1;
    last_ = static_cast<std::uint32_t>(views_.size());
    index_[slot] = Entry(tag, last_);
    views_.push_back(store(text));
    return last_;
}

std::optional<std::uint32_t> TextIndex::find(std::string_view text) const {
    if (index_.empty())
        return std::nullopt;
    const std::uint64_t entry = index_[slotOf(text, Tag(text))];
    if (entry == 0)
        return std::nullopt;
    return static_cast<std::uint32_t>(entry) - 1;
}

std::size_t TextIndex::slotOf(std::string_view text, std::uint32_t tag) const {
    return ProbeSlot(index_, tag, IsFree, [&](std::uint64_t entry) {
        return entry >> 32 == tag && views_[static_cast<std::uint32_t>(entry) - 1] == text;
    });
}

std::string_view TextIndex::store(std::string_view text) {
    if (text.size() > room_) {
        const std::size_t next = std::clamp(blockSize_ * 2, kFirstBlock, kLargestBlock);
        if (text.size() > next / 4) { // a block of its own, and the current block keeps its room
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(text.size()));
            std::memcpy(blocks_.back().get(), text.data(), text.size());
            return {blocks_.back().get(), text.size()};
        }
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(next));
        blockSize_ = next;
        free_ = blocks_.back().get();
        room_ = next;
    }
    if (text.empty())
        return {};
    std::memcpy(free_, text.data(), text.size());
    const std::string_view stored(free_, text.size());
    free_ += text.size();
    room_ -= text.size();
    return stored;
}

void TextIndex::cut(const std::function<std::size_t(std::string_view)>& kept) {
    if (std::none_of(views_.begin(), views_.end(), [&](std::string_view text) { return kept(text) < text.size(); }))
        return;
    // The texts move to new blocks at their kept sizes; the old blocks, and the bytes cut, go at the end.
    const std::vector<std::unique_ptr<char[]>> whole = std::exchange(blocks_, {});
    free_ = nullptr;
    room_ = 0;
    blockSize_ = 0;
    for (std::string_view& text : views_)
        text = store(text.substr(0, kept(text)));
    // Of texts the cut made equal, only the first is entered: it is the one every look-up finds.
    std::fill(index_.begin(), index_.end(), 0);
    for (std::uint32_t number = 0; number < views_.size(); ++number) {
        const std::uint32_t tag = Tag(views_[number]);
        if (const std::size_t slot = slotOf(views_[number], tag); index_[slot] == 0)
            index_[slot] = Entry(tag, number);
    }
}

void TextIndex::place(std::uint32_t number, std::uint32_t tag) {
    index_[FreeSlot(index_, tag, IsFree)] = Entry(tag, number);
}

void TextIndex::grow() {
    std::vector<std::uint64_t> old(std::max<std::size_t>(16, index_.size() * 2), 0);
    old.swap(index_);
    for (const std::uint64_t entry : old)
        if (entry != 0)
            place(static_cast<std::uint32_t>(entry) - 1, static_cast<std::uint32_t>(entry >> 32));
}

} // namespace coffer
