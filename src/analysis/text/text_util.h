// SPDX-License-Identifier: MIT
#pragma once
// Text helpers shared by the scanner, the tables and the report. Letter case is folded for ASCII
// only: the log is UTF-8 and other bytes compare as they are.

#include <string>
#include <string_view>
#include <vector>

namespace coffer {

inline char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The text with A to Z folded to a to z.
std::string FoldedCase(std::string_view text);

// Tab, line feed, vertical tab, form feed, carriage return or space: what separates an element's words.
inline bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Position of the first occurrence of needle in haystack, letter case ignored; npos when absent.
std::size_t FindNoCase(std::string_view haystack, std::string_view needle, std::size_t from = 0);

inline bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
    return FindNoCase(haystack, needle) != std::string_view::npos;
}

// Removes every occurrence of needle (letter case ignored), scanning left to right.
std::string RemoveAllNoCase(std::string_view text, std::string_view needle);
// The same, appended to `out`.
void AppendWithoutNoCase(std::string_view text, std::string_view needle, std::string& out);

// Whether every character is one of 0 to 9 (true for the empty text).
bool AllDigits(std::string_view text);

// The text without any of the given characters at either end.
std::string_view TrimChars(std::string_view text, std::string_view chars);

// Removes every occurrence of any of the given characters.
std::string RemoveChars(std::string_view text, std::string_view chars);

// The pieces of a text between exact occurrences of the separator, into `pieces` (cleared first, so
// that a caller can reuse its memory). A text without the separator is one piece.
void SplitAt(std::string_view text, std::string_view separator, std::vector<std::string_view>& pieces);

// Three-way comparison of two texts byte by byte with letter case ignored; a prefix sorts first.
int CompareNoCase(std::string_view a, std::string_view b);

// Inline: the scanner asks it for every key of every token.
inline bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

} // namespace coffer
