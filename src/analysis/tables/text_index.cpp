#include "analysis/tables/text_index.h"

#include <algorithm>
#include <functional>

namespace coffer {

TextIndex::TextIndex(const TextIndex& other) : texts_(other.texts_), index_(other.index_), last_(other.last_) {
    views_.assign(texts_.begin(), texts_.end());
}

TextIndex& TextIndex::operator=(const TextIndex& other) {
    if (this != &other)
        *this = TextIndex(other);
    return *this;
}

std::uint32_t TextIndex::intern(std::string_view text) {
    if (last_ < views_.size() && views_[last_] == text)
        return last_;
    if ((texts_.size() + 1) * 2 > index_.size())
        grow();
    const auto tag = static_cast<std::uint32_t>(std::hash<std::string_view>{}(text));
    const std::size_t mask = index_.size() - 1;
    std::size_t slot = tag & mask;
    for (; index_[slot] != 0; slot = (slot + 1) & mask) {
        const auto number = static_cast<std::uint32_t>(index_[slot]) - 1;
        if (index_[slot] >> 32 == tag && views_[number] == text)
            return last_ = number;
    }
    last_ = static_cast<std::uint32_t>(texts_.size());
    index_[slot] = std::uint64_t{tag} << 32 | (last_ + 1);
    views_.push_back(texts_.emplace_back(text));
    return last_;
}

std::deque<std::string> TextIndex::takeTexts() {
    std::deque<std::string> texts = std::move(texts_);
    *this = TextIndex();
    return texts;
}

void TextIndex::grow() {
    std::vector<std::uint64_t> old(std::max<std::size_t>(16, index_.size() * 2), 0);
    old.swap(index_);
    const std::size_t mask = index_.size() - 1;
    for (const std::uint64_t entry : old) {
        if (entry == 0)
            continue;
        std::size_t slot = (entry >> 32) & mask;
        while (index_[slot] != 0)
            slot = (slot + 1) & mask;
        index_[slot] = entry;
    }
}

} // namespace coffer
