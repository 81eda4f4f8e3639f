// SPDX-License-Identifier: MIT
#pragma once
// Distinct texts, each held once and numbered in the order they first came: a table column's texts,
// the members of a run. Finding a text touches one flat array, not a node per text.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace coffer {

class TextIndex {
  public:
    TextIndex() = default;
    // A copy's views point into its own texts; a move keeps the texts where they are and leaves an
    // empty index behind.
    TextIndex(const TextIndex& other);
    TextIndex& operator=(const TextIndex& other);
    TextIndex(TextIndex&& other) noexcept { swap(other); }
    TextIndex& operator=(TextIndex&& other) noexcept;
    ~TextIndex() = default;

    // The text's number, the next one when it is new.
    std::uint32_t intern(std::string_view text);
    // The number of a text already held (the first, where a cut made texts equal).
    std::optional<std::uint32_t> find(std::string_view text) const;
    // Every text by its number. A text stays where it is until the index is cut or goes; the span is
    // good until a text is added.
    std::span<const std::string_view> texts() const { return views_; }
    // Cuts each text to the size `kept` gives it, where that is shorter; two texts may then be equal.
    void cut(const std::function<std::size_t(std::string_view)>& kept);

  private:
    void swap(TextIndex& other) noexcept;
    // A copy of the text in the blocks, where it stays until the index is cut or destroyed.
    std::string_view store(std::string_view text);
    // The slot that holds the text, or the empty slot where it would go.
    std::size_t slotOf(std::string_view text, std::uint32_t tag) const;
    void grow();
    // Enters the text of this number in the index, at the first free slot from its hash's.
    void place(std::uint32_t number, std::uint32_t tag);

    // The texts' bytes, one after another in blocks that never move: a short text costs its bytes, not
    // a string's 32 and an allocation. A text larger than a block has a block of its own.
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* free_ = nullptr;
    std::size_t room_ = 0; // bytes left at free_
    std::size_t blockSize_ = 0;
    std::vector<std::string_view> views_;
    // Open addressing over the texts, at most three quarters full: an entry holds the low half of the
    // text's hash above its number + 1 (0: empty), so a text is compared only when the hashes agree.
    std::vector<std::uint64_t> index_;
    // The text of the last look-up: texts often come again at once (a value, a type, a member's run
    // of entries), and a comparison is far cheaper than a look-up.
    std::uint32_t last_ = 0;
};

} // namespace coffer
