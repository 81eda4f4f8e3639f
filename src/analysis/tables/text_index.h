#pragma once
// Distinct texts, each held once and numbered in the order they first came: a table column's texts,
// the members of a run. Finding a text touches one flat array, not a node per text.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace coffer {

class TextIndex {
  public:
    TextIndex() = default;
    // A copy's views point into its own texts; a move keeps the texts where they are.
    TextIndex(const TextIndex& other);
    TextIndex& operator=(const TextIndex& other);
    TextIndex(TextIndex&&) noexcept = default;
    TextIndex& operator=(TextIndex&&) noexcept = default;
    ~TextIndex() = default;

    // The text's number, the next one when it is new.
    std::uint32_t intern(std::string_view text);
    const std::deque<std::string>& texts() const { return texts_; }
    // Cuts each text to the size `kept` gives it, where that is shorter; two texts may then be equal.
    void cut(const std::function<std::size_t(std::string_view)>& kept);

  private:
    void grow();
    // Enters the text of this number in the index, at the first free slot from its hash's.
    void place(std::uint32_t number, std::uint32_t tag);

    std::deque<std::string> texts_; // never moved as it grows
    // The same texts in one flat array: a look-up compares against them without the deque's
    // arithmetic to find a text's block.
    std::vector<std::string_view> views_;
    // Open addressing over the texts, at most half full: an entry holds the low half of the text's hash
    // above its number + 1 (0: empty), so a text is compared only when the hashes agree.
    std::vector<std::uint64_t> index_;
    // The text of the last look-up: texts often come again at once (a value, a type, a member's run
    // of entries), and a comparison is far cheaper than a look-up.
    std::uint32_t last_ = 0;
};

} // namespace coffer
