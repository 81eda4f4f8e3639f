// SPDX-License-Identifier: MIT
#include "analysis/text/web_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>

namespace coffer {
namespace {

struct Reference {
    std::size_t length = 0; // of the whole reference, "&" to ";"
    std::uint32_t codePoint = 0;
};

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool IsScalarValue(std::uint32_t cp) {
    return cp != 0 && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

// Longest known reference, "&" to ";": "&#1114111;" and "&#x10FFFF;" fit, with room for leading zeros.
constexpr std::size_t kMaxReferenceLength = 13;

// The reference that starts at text[at] (an "&"), if it is one this program knows. Only a short
// stretch is searched for the ";", so a text full of "&" takes linear time.
std::optional<Reference> ReferenceAt(std::string_view text, std::size_t at) {
    const std::size_t found = text.substr(at + 1, kMaxReferenceLength - 1).find(';');
    if (found == std::string_view::npos)
        return std::nullopt;
    const std::size_t semicolon = at + 1 + found;
    const std::string_view body = text.substr(at + 1, semicolon - at - 1);
    const std::size_t length = semicolon - at + 1;
    static constexpr std::array<std::pair<std::string_view, char>, 5> kNamed = {
        {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}}};
    for (const auto& [name, c] : kNamed)
        if (body == name)
            return Reference{length, static_cast<std::uint32_t>(c)};
    if (body.size() < 2 || body[0] != '#')
        return std::nullopt;
    const bool hex = body[1] == 'x' || body[1] == 'X';
    const std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty())
        return std::nullopt;
    std::uint32_t cp = 0;
    for (char c : digits) {
        if (hex ? !IsHex(c) : !(c >= '0' && c <= '9'))
            return std::nullopt;
        const std::uint32_t d = (c >= '0' && c <= '9') ? static_cast<std::uint32_t>(c - '0')
                                                       : static_cast<std::uint32_t>((c | 0x20) - 'a' + 10);
        cp = cp * (hex ? 16 : 10) + d;
        if (cp > 0x10FFFF)
            return std::nullopt;
    }
    if (!IsScalarValue(cp))
        return std::nullopt;
    return Reference{length, cp};
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

} // namespace

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto b0 = static_cast<unsigned char>(text[at]);
    std::size_t n = 0;
    std::uint32_t cp = 0;
    if (b0 < 0x80)
        return 1;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (at + n > text.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(text[at + k]);
        if ((b & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
    return (overlong || !IsScalarValue(cp)) ? 0 : n;
}

bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8SequenceLength(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string DecodeCharacterReferences(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (const auto ref = ReferenceAt(text, i)) {
                AppendUtf8(out, ref->codePoint);
                i += ref->length - 1;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::string PercentEncode(std::string_view text, SpaceAs space) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '_' || c == '.' || c == '~';
        if (unreserved) {
            out += c;
        } else if (c == ' ' && space == SpaceAs::Plus) {
            out += '+';
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        }
    }
    return out;
}

std::string PercentDecode(std::string_view text) {
    const auto hexValue = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && IsHex(text[i + 1]) && IsHex(text[i + 2])) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string EncodeForAddress(std::string_view name, SpaceAs space) {
    return PercentEncode(DecodeCharacterReferences(name), space);
}

std::string EscapeHtmlText(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const char c = name[i];
        const auto b = static_cast<unsigned char>(c);
        if (c == '&') {
            if (const auto ref = ReferenceAt(name, i)) {
                out.append(name.substr(i, ref->length));
                i += ref->length;
            } else {
                out += "&amp;";
                ++i;
            }
            continue;
        }
        if (b < 0x80) {
            if (c == '<')
                out += "&lt;";
            else if (c == '>')
                out += "&gt;";
            else if (c == '"')
                out += "&quot;";
            else if (c == '\'')
                out += "&#39;";
            else if ((b < 0x20 && c != '\t') || b == 0x7F)
                out += kReplacement;
            else
                out += c;
            ++i;
            continue;
        }
        const std::size_t n = Utf8SequenceLength(name, i);
        if (n == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(name.substr(i, n));
            i += n;
        }
    }
    return out;
}

void AppendCleanText(std::string& out, std::string_view text, bool breaksAsSpaces) {
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const bool breakOrTab = c == '\t' || c == '\n' || c == '\r';
        if ((c >= 0x20 && c < 0x7F) || breakOrTab) {
            out += breaksAsSpaces && breakOrTab ? ' ' : c;
            ++i;
            continue;
        }
        const std::size_t n = static_cast<unsigned char>(c) < 0x80 ? 0 : Utf8SequenceLength(text, i);
        // U+0080 to U+009F are control characters as well.
        const bool control = n == 0 || (n == 2 && c == '\xC2' && static_cast<unsigned char>(text[i + 1]) < 0xA0);
        out.append(control ? kReplacement : text.substr(i, n));
        i += std::max<std::size_t>(n, 1);
    }
}

std::string CleanText(std::string_view text) {
    std::string clean;
    AppendCleanText(clean, text, true);
    return clean;
}

} // namespace coffer
