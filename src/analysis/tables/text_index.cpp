#include "analysis/tables/text_index.h"

#include <algorithm>
#include <functional>

namespace coffer {
namespace {

std::uint32_t Tag(std::string_view text) {
    return static_cast<std::uint32_t>(std::hash<std::string_view>{}(text));
}

std::uint64_t Entry(std::uint32_t tag, std::uint32_t number) {
    return std::uint64_t{tag} << 32 | (number + 1);
}

} // namespace

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
    const std::uint32_t tag = Tag(text);
    const std::size_t mask = index_.size() - 1;
    std::size_t slot = tag & mask;
    for (; index_[slot] != 0; slot = (slot + 1) & mask) {
        const auto number = static_cast<std::uint32_t>(index_[slot]) - 1;
        if (index_[slot] >> 32 == tag && views_[number] == text)
            return last_ = number;
    }
    last_ = static_cast<std::uint32_t>(texts_.size());
    index_[slot] = Entry(tag, last_);
    views_.push_back(texts_.emplace_back(text));
    return last_;
}

void TextIndex::cut(const std::function<std::size_t(std::string_view)>& kept) {
    bool changed = false;
    for (std::size_t number = 0; number < texts_.size(); ++number) {
        if (const std::size_t size = kept(views_[number]); size < views_[number].size()) {
            texts_[number].resize(size);
            views_[number] = texts_[number];
            changed = true;
        }
    }
    if (!changed)
        return;
    std::fill(index_.begin(), index_.end(), 0);
    for (std::uint32_t number = 0; number < texts_.size(); ++number)
        place(number, Tag(views_[number]));
}

void TextIndex::place(std::uint32_t number, std::uint32_t tag) {
    const std::size_t mask = index_.size() - 1;
    std::size_t slot = tag & mask;
    while (index_[slot] != 0)
        slot = (slot + 1) & mask;
    index_[slot] = Entry(tag, number);
}

void TextIndex::grow() {
    std::vector<std::uint64_t> old(std::max<std::size_t>(16, index_.size() * 2), 0);
    old.swap(index_);
    for (const std::uint64_t entry : old)
        if (entry != 0)
            place(static_cast<std::uint32_t>(entry) - 1, static_cast<std::uint32_t>(entry >> 32));
}

} // namespace coffer
