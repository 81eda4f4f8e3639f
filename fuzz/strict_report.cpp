// SPDX-License-Identifier: MIT
// The fuzz target's check of a report: only the report's own tags and attributes, only http and https
// addresses, and no text of the log that could open a tag, leave an attribute or stand as a bare "&".
// Built without coverage feedback, so that the fuzzer steers by the engine's branches, not the check's.
#include "strict_report.h"

#include "reference_web_text.h"

#include <cctype>
#include <initializer_list>

namespace {

[[noreturn]] void Fail() {
    __builtin_trap();
}

void Require(bool condition) {
    if (!condition)
        Fail();
}

bool SameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool OneOf(std::string_view word, std::initializer_list<std::string_view> words) {
    for (const std::string_view w : words)
        if (SameNoCase(word, w))
            return true;
    return false;
}

// An "&" in the report's text always begins a character reference.
void RequireEscaped(std::string_view text) {
    for (std::size_t at = text.find('&'); at != std::string_view::npos; at = text.find('&', at + 1))
        Require(coffer::reference::ReferenceLength(text, at) > 0);
    Require(text.find_first_of("<>\"") == std::string_view::npos);
}

// `tag` is what stands between "<" and ">".
void RequireOwnTag(std::string_view tag) {
    const bool closing = !tag.empty() && tag.front() == '/';
    if (closing)
        tag.remove_prefix(1);
    const std::size_t nameEnd = std::min(tag.find(' '), tag.size());
    const std::string_view name = tag.substr(0, nameEnd);
    Require(OneOf(
        name, {"html", "head", "meta", "title", "script", "body", "center", "h1", "br", "a", "b", "i", "img", "font"}));
    std::string_view rest = tag.substr(nameEnd);
    if (rest.empty())
        return;
    Require(!closing && rest.front() == ' ');
    rest.remove_prefix(1);
    const std::size_t eq = rest.find('=');
    Require(eq != std::string_view::npos);
    const std::string_view attribute = rest.substr(0, eq);
    std::string_view value = rest.substr(eq + 1);
    if (OneOf(attribute, {"color"})) {
        Require(OneOf(value, {"green", "red"}));
        return;
    }
    Require(OneOf(attribute, {"href", "src", "charset"}) && value.size() >= 2);
    const char quote = value.front();
    Require((quote == '\'' || quote == '"') && value.back() == quote);
    value = value.substr(1, value.size() - 2);
    Require(value.find('\'') == std::string_view::npos && value.find('"') == std::string_view::npos);
    if (SameNoCase(attribute, "charset")) {
        Require(value == "utf-8");
        return;
    }
    Require(value.starts_with("http://") || value.starts_with("https://"));
    // The member link joins its two query parts with a bare "&r=".
    for (std::size_t at = value.find('&'); at != std::string_view::npos; at = value.find('&', at + 1))
        Require(value.substr(at, 3) == "&r=" || coffer::reference::ReferenceLength(value, at) > 0);
}

} // namespace

void RequireStrictReport(std::string_view report) {
    std::size_t pos = 0;
    while (pos < report.size()) {
        const std::size_t open = report.find('<', pos);
        RequireEscaped(report.substr(pos, open - pos));
        if (open == std::string_view::npos)
            return;
        const std::size_t close = report.find('>', open);
        Require(close != std::string_view::npos);
        RequireOwnTag(report.substr(open + 1, close - open - 1));
        pos = close + 1;
    }
}
