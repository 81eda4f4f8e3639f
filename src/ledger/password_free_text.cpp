// SPDX-License-Identifier: MIT
#include "ledger/password_free_text.h"

#include "analysis/text/text_util.h"
#include "analysis/text/web_text.h"

#include <algorithm>
#include <optional>

namespace coffer {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool EndsToken(char c) {
    return IsBlank(c) || c == '"' || c == '\'' || c == '<' || c == '>' || c == '`';
}

// The first place from `from` on whose byte meets `test`, or the text's end.
template <typename Test> std::size_t FirstWhere(std::string_view text, std::size_t from, Test test) {
    while (from < text.size() && !test(text[from]))
        ++from;
    return from;
}

// A parameter's name that stands for a password: "password" in any letter case, percent-encoded or not.
bool IsPasswordName(std::string_view name) {
    return FoldedCase(PercentDecode(name)) == "password";
}

// The password of a URI's user part as libpq reads it: up to the first '@' before any '/', after a ':'.
std::optional<TextRange> LibpqUserPassword(std::string_view uri) {
    const std::size_t scheme = uri.find("://");
    if (scheme == std::string_view::npos)
        return std::nullopt;
    const std::size_t start = scheme + 3, at = uri.find_first_of("@/", start), colon = uri.find(':', start);
    if (at == std::string_view::npos || uri[at] != '@' || colon >= at)
        return std::nullopt;
    return TextRange{.begin = colon + 1, .end = at};
}

void AddUserPasswords(std::string_view text, std::vector<TextRange>& ranges) {
    for (std::size_t scheme = text.find("://"); scheme != std::string_view::npos;
         scheme = text.find("://", scheme + 3)) {
        const std::size_t start = scheme + 3;
        const std::string_view token = text.substr(start, FirstWhere(text, start, EndsToken) - start);
        const std::size_t firstAt = token.find('@'), lastAt = token.rfind('@'), colon = token.find(':');
        if (firstAt != std::string_view::npos && colon < firstAt)
            ranges.push_back({start + colon + 1, start + lastAt});
    }
}

void AddParameterPasswords(std::string_view text, std::vector<TextRange>& ranges) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool keyStart =
            i == 0 || IsBlank(text[i - 1]) || std::string_view("?&#;,(\"'").find(text[i - 1]) != std::string_view::npos;
        if (!keyStart || IsBlank(text[i]))
            continue;
        const bool inQuery = i > 0 && (text[i - 1] == '?' || text[i - 1] == '&');
        std::size_t at = i;
        while (at < text.size() && text[at] != '=' && text[at] != '&' && !IsBlank(text[at]))
            ++at;
        const std::size_t nameEnd = at;
        while (at < text.size() && IsBlank(text[at]) && text[at] != '\n')
            ++at;
        if (at == text.size() || text[at] != '=' || !IsPasswordName(text.substr(i, nameEnd - i)))
            continue;
        ++at;
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
            ++at;
        const std::size_t begin = at;
        if (at < text.size() && text[at] == '\'') { // quoted, with backslash escapes
            for (++at; at < text.size() && text[at] != '\''; ++at)
                if (text[at] == '\\' && at + 1 < text.size())
                    ++at;
            at = std::min(at + 1, text.size());
        } else {
            while (at < text.size() && !IsBlank(text[at]) && !(inQuery && (text[at] == '&' || text[at] == '#')))
                ++at;
        }
        if (at > begin)
            ranges.push_back({begin, at});
        i = at - 1;
    }
}

} // namespace

std::vector<TextRange> PasswordRanges(std::string_view text) {
    std::vector<TextRange> ranges;
    AddUserPasswords(text, ranges);
    AddParameterPasswords(text, ranges);
    std::ranges::sort(ranges, {}, &TextRange::begin);
    return ranges;
}

std::string WithoutPasswords(std::string_view message, const std::vector<std::string>& given) {
    std::vector<std::string_view> longestFirst;
    for (const std::string& password : given)
        if (!password.empty())
            longestFirst.push_back(password);
    std::ranges::sort(longestFirst, std::ranges::greater{}, &std::string_view::size);
    std::string starred;
    for (std::size_t i = 0; i < message.size();) {
        const auto found = std::ranges::find_if(
            longestFirst, [&](std::string_view password) { return message.substr(i).starts_with(password); });
        if (found == longestFirst.end()) {
            starred += message[i++];
            continue;
        }
        starred += "***";
        i += found->size();
    }
    const std::string_view text = starred;

    std::string kept;
    std::size_t from = 0;
    for (const TextRange& range : PasswordRanges(text)) {
        if (range.begin < from) { // overlaps a range removed already
            from = std::max(from, range.end);
            continue;
        }
        const bool userPart =
            range.begin > from && text[range.begin - 1] == ':' && range.end < text.size() && text[range.end] == '@';
        kept.append(text.substr(from, range.begin - from - (userPart ? 1 : 0)));
        from = range.end;
    }
    kept.append(text.substr(from));

    std::string line;
    for (std::size_t i = 0; i < kept.size();) {
        if (!IsBlank(kept[i])) {
            line += kept[i++];
            continue;
        }
        const std::size_t runEnd = FirstWhere(kept, i, [](char c) { return !IsBlank(c); });
        const std::string_view run = std::string_view(kept).substr(i, runEnd - i);
        const bool breaks = run.find_first_of("\t\n\r\v\f") != std::string_view::npos;
        if (i > 0 && runEnd < kept.size())
            line += breaks ? std::string_view(" ") : run;
        i = runEnd;
    }
    return line;
}

std::vector<std::string> UriPasswords(std::string_view uri) {
    std::vector<TextRange> ranges = PasswordRanges(uri);
    if (const std::optional<TextRange> user = LibpqUserPassword(uri))
        ranges.push_back(*user);
    std::vector<std::string> passwords;
    for (const TextRange& range : ranges) {
        const std::string_view written = uri.substr(range.begin, range.end - range.begin);
        passwords.emplace_back(written);
        passwords.push_back(PercentDecode(written));
    }
    return passwords;
}

std::string UriWithoutPassword(std::string uri) {
    if (uri.find("://") == std::string::npos)
        return uri;
    if (const std::optional<TextRange> user = LibpqUserPassword(uri))
        uri.erase(user->begin - 1, user->end - user->begin + 1); // with its ':'
    const std::size_t query = uri.find('?', uri.find("://") + 3);
    if (query == std::string::npos)
        return uri;
    std::string kept;
    for (std::size_t begin = query + 1; begin <= uri.size();) {
        const std::size_t end = std::min(uri.find('&', begin), uri.size());
        const std::string_view parameter = std::string_view(uri).substr(begin, end - begin);
        if (!IsPasswordName(parameter.substr(0, parameter.find('='))))
            kept.append(kept.empty() ? "" : "&").append(parameter);
        begin = end + 1;
    }
    return uri.substr(0, query) + (kept.empty() ? "" : "?" + kept);
}

} // namespace coffer
