// SPDX-License-Identifier: MIT
#include "analysis/text/text_util.h"

#include <algorithm>

#include <cstring>

namespace coffer {

namespace {

// Knuth-Morris-Pratt with letter case ignored: linear whatever the texts, for needles that come from
// the data (an item name searched for on a page) where the simple search could take n times m.
std::size_t FindLongNoCase(std::string_view haystack, std::string_view needle, std::size_t from) {
    std::vector<std::size_t> border(needle.size() + 1, 0);
    for (std::size_t i = 1, k = 0; i < needle.size(); ++i) {
        while (k > 0 && FoldCase(needle[i]) != FoldCase(needle[k]))
            k = border[k];
        if (FoldCase(needle[i]) == FoldCase(needle[k]))
            ++k;
        border[i + 1] = k;
    }
    for (std::size_t i = from, k = 0; i < haystack.size(); ++i) {
        while (k > 0 && FoldCase(haystack[i]) != FoldCase(needle[k]))
            k = border[k];
        if (FoldCase(haystack[i]) == FoldCase(needle[k]))
            ++k;
        if (k == needle.size())
            return i + 1 - needle.size();
    }
    return std::string_view::npos;
}

// Up to this length the simple search is fast and its cost per byte stays small.
constexpr std::size_t kShortNeedle = 16;

} // namespace

std::string FoldedCase(std::string_view text) {
    std::string folded(text);
    std::ranges::transform(folded, folded.begin(), FoldCase);
    return folded;
}

std::size_t FindNoCase(std::string_view haystack, std::string_view needle, std::size_t from) {
    if (needle.empty())
        return from <= haystack.size() ? from : std::string_view::npos;
    if (from >= haystack.size() || needle.size() > haystack.size() - from)
        return std::string_view::npos;
    if (needle.size() > kShortNeedle)
        return FindLongNoCase(haystack, needle, from);
    const char first = FoldCase(needle.front());
    const bool firstIsLetter = first >= 'a' && first <= 'z';
    const std::size_t last = haystack.size() - needle.size();
    const char* data = haystack.data();
    for (std::size_t i = from; i <= last; ++i) {
        if (!firstIsLetter) {
            // Markers such as "<banklog " start with punctuation: let memchr skip ahead.
            const void* hit = std::memchr(data + i, first, last - i + 1);
            if (hit == nullptr)
                return std::string_view::npos;
            i = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        } else if (FoldCase(data[i]) != first) {
            continue;
        }
        std::size_t k = 1;
        while (k < needle.size() && FoldCase(data[i + k]) == FoldCase(needle[k]))
            ++k;
        if (k == needle.size())
            return i;
    }
    return std::string_view::npos;
}

std::string RemoveAllNoCase(std::string_view text, std::string_view needle) {
    std::string out;
    out.reserve(text.size());
    AppendWithoutNoCase(text, needle, out);
    return out;
}

void AppendWithoutNoCase(std::string_view text, std::string_view needle, std::string& out) {
    if (needle.empty()) {
        out.append(text);
        return;
    }
    std::size_t pos = 0;
    for (std::size_t hit; (hit = FindNoCase(text, needle, pos)) != std::string_view::npos; pos = hit + needle.size())
        out.append(text.substr(pos, hit - pos));
    out.append(text.substr(pos));
}

std::string RemoveChars(std::string_view text, std::string_view chars) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (chars.find(c) == std::string_view::npos)
            out.push_back(c);
    return out;
}

void SplitAt(std::string_view text, std::string_view separator, std::vector<std::string_view>& pieces) {
    pieces.clear();
    std::size_t start = 0;
    for (std::size_t at; (at = text.find(separator, start)) != std::string_view::npos; start = at + separator.size())
        pieces.push_back(text.substr(start, at - start));
    pieces.push_back(text.substr(start));
}

int CompareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(FoldCase(a[i]));
        const auto cb = static_cast<unsigned char>(FoldCase(b[i]));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string_view TrimChars(std::string_view text, std::string_view chars) {
    const std::size_t first = text.find_first_not_of(chars);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(chars) - first + 1);
}

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace coffer
