// SPDX-License-Identifier: MIT
#pragma once
// Plain reference versions of the web text functions, written for the fuzz targets to check the
// engine's versions against: slow and obvious rather than fast.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace coffer::reference {

// The code point a reference body (between "&" and ";") stands for, or 0 when it is none.
inline std::uint32_t CodePointOf(std::string_view body) {
    if (body == "amp")
        return '&';
    if (body == "lt")
        return '<';
    if (body == "gt")
        return '>';
    if (body == "quot")
        return '"';
    if (body == "apos")
        return '\'';
    if (body.size() < 2 || body[0] != '#')
        return 0;
    const bool hex = body[1] == 'x' || body[1] == 'X';
    std::string digits(body.substr(hex ? 2 : 1));
    const std::string allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
    if (digits.empty() || digits.find_first_not_of(allowed) != std::string::npos)
        return 0;
    digits.erase(0, digits.find_first_not_of('0') == std::string::npos ? digits.size() - 1
                                                                       : digits.find_first_not_of('0'));
    if (digits.size() > 7)
        return 0;
    const unsigned long cp = std::strtoul(digits.c_str(), nullptr, hex ? 16 : 10);
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return static_cast<std::uint32_t>(cp);
}

// Length of the reference ("&" to ";", at most 13 bytes) that begins at text[at], or 0.
inline std::size_t ReferenceLength(std::string_view text, std::size_t at) {
    for (std::size_t end = at + 1; end < text.size() && end - at < 13; ++end)
        if (text[end] == ';')
            return CodePointOf(text.substr(at + 1, end - at - 1)) != 0 ? end - at + 1 : 0;
    return 0;
}

inline std::string Utf8(std::uint32_t cp) {
    std::string out;
    if (cp < 0x80)
        return std::string(1, static_cast<char>(cp));
    const int extra = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
    const unsigned lead[] = {0, 0xC0, 0xE0, 0xF0};
    out += static_cast<char>(lead[extra] | (cp >> (6 * extra)));
    for (int k = extra - 1; k >= 0; --k)
        out += static_cast<char>(0x80 | ((cp >> (6 * k)) & 0x3F));
    return out;
}

inline std::string Decode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t n = text[i] == '&' ? ReferenceLength(text, i) : 0) {
            out += Utf8(CodePointOf(text.substr(i + 1, n - 2)));
            i += n;
        } else {
            out += text[i++];
        }
    }
    return out;
}

// Length of the valid UTF-8 character at text[i] (shortest form, a scalar value), or 0.
inline std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto b = static_cast<unsigned char>(text[i]);
    const std::size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > text.size())
        return 0;
    std::uint32_t cp = n == 1 ? b : b & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = cp << 6 | (c & 0x3F);
    }
    const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < smallest[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

inline std::string Escape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const auto b = static_cast<unsigned char>(c);
        std::size_t n = 1;
        if (c == '&' && ReferenceLength(text, i) > 0) {
            n = ReferenceLength(text, i);
            out += text.substr(i, n);
        } else if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (c == '\'') {
            out += "&#39;";
        } else if (c == 0x7F || (b < 0x20 && c != '\t') || Utf8Length(text, i) == 0) {
            out += "\xEF\xBF\xBD";
        } else {
            n = Utf8Length(text, i);
            out += text.substr(i, n);
        }
        i += n;
    }
    return out;
}

inline std::string Encode(std::string_view text, bool spaceAsPlus) {
    const std::string unreserved = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_.~";
    std::string out;
    for (const char c : Decode(text)) {
        if (unreserved.find(c) != std::string::npos) {
            out += c;
        } else if (c == ' ' && spaceAsPlus) {
            out += '+';
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", static_cast<unsigned char>(c));
            out += hex;
        }
    }
    return out;
}

} // namespace coffer::reference
