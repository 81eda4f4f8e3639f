// SPDX-License-Identifier: MIT
#pragma once
// Names from the log as they go into web pages and addresses. The log keeps XML character
// references ("&amp;") in names as written; the item database's pages write them the same way.

#include <string>
#include <string_view>

namespace coffer {

// Replaces the character references &amp; &lt; &gt; &quot; &apos; and &#N; / &#xN; by the
// characters they stand for (UTF-8). Anything else stays as written.
std::string DecodeCharacterReferences(std::string_view text);

// Text as an address component: every byte outside A-Z a-z 0-9 - _ . ~ percent-encoded; a space
// becomes "+" or "%20".
enum class SpaceAs { Plus, Percent20 };
std::string PercentEncode(std::string_view text, SpaceAs space);
// Text with each "%" and two hex digits as the byte they stand for; a "%" without them stays as written.
std::string PercentDecode(std::string_view text);

// A name as an address component: references decoded, then percent-encoded.
std::string EncodeForAddress(std::string_view name, SpaceAs space);

// A name as text of an HTML page: "<", ">", '"', "'" and every "&" that does not begin one of the
// references above are escaped, so no name can open a tag or leave an attribute. Bytes that are not
// valid UTF-8, NUL and other control characters become U+FFFD.
std::string EscapeHtmlText(std::string_view name);

// Text as a file or a terminal may show it: NUL and other control characters (tab, CR and LF aside) and
// bytes that are not UTF-8 become U+FFFD; tabs and line breaks become spaces where `breaksAsSpaces`.
void AppendCleanText(std::string& out, std::string_view text, bool breaksAsSpaces);
// The same, tabs and line breaks as spaces: a name read from a file, on one line of a message.
std::string CleanText(std::string_view text);

// Length of the valid UTF-8 sequence at text[at], or 0.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);
// Whether the whole text is valid UTF-8.
bool IsUtf8(std::string_view text);

} // namespace coffer
