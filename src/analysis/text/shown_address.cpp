// SPDX-License-Identifier: MIT
#include "analysis/text/shown_address.h"

#include "analysis/text/text_util.h"
#include "analysis/text/web_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>

namespace coffer {
namespace {

constexpr std::string_view kUnreadable = "(an address that cannot be read)";

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ' || c == '\x7f';
}

bool IsSchemeChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '+' || c == '-' || c == '.';
}

// What a host name may hold: letters, digits, the few marks an address allows there, percent-encoded
// bytes and UTF-8 ones.
bool IsHostChar(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || std::isalnum(byte) != 0 ||
           std::string_view("-._~%!$&'()*+,;=").find(c) != std::string_view::npos;
}

bool HostRead(std::string_view host) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        return std::ranges::all_of(host.substr(1, host.size() - 2), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.';
        });
    return !host.empty() && std::ranges::all_of(host, IsHostChar);
}

// What follows the host: nothing, or ':' and a port of at most five digits (none: the scheme's own).
bool PortRead(std::string_view afterHost) {
    return afterHost.empty() || (afterHost[0] == ':' && afterHost.size() <= 6 && AllDigits(afterHost.substr(1)));
}

struct HostPart {
    std::string_view host, afterHost; // afterHost: ":" and the port, as written
};

// The host and port of an authority, without any user information before its last '@'.
HostPart ReadHostPart(std::string_view authority) {
    const std::size_t at = authority.rfind('@');
    const std::string_view hostAndPort = at == std::string_view::npos ? authority : authority.substr(at + 1);
    // An IPv6 address in brackets holds colons of its own.
    const std::size_t hostEnd = hostAndPort.starts_with('[')
                                    ? std::min(hostAndPort.find(']'), hostAndPort.size() - 1) + 1
                                    : std::min(hostAndPort.find(':'), hostAndPort.size());
    return {.host = hostAndPort.substr(0, hostEnd), .afterHost = hostAndPort.substr(hostEnd)};
}

struct AddressParts {
    std::string_view scheme;
    HostPart host;
    std::string_view rest; // the path and the query, without the fragment
    bool whole = false;    // an http:// or https:// address read whole
};

std::optional<AddressParts> ReadAddress(std::string_view address) {
    const std::size_t schemeEnd = address.find("://");
    if (schemeEnd == std::string_view::npos || schemeEnd == 0 ||
        std::isalpha(static_cast<unsigned char>(address[0])) == 0 ||
        !std::ranges::all_of(address.substr(0, schemeEnd), IsSchemeChar))
        return std::nullopt;
    const auto authorityEnd = [&](std::size_t start) {
        return std::min(address.find_first_of("/?#", start), address.size());
    };
    std::size_t start = schemeEnd + 3, end = authorityEnd(start);
    HostPart host = ReadHostPart(address.substr(start, end - start));
    // A password with an unencoded '/', '?' or '#' cuts the user part short there: the rest of it reads
    // as a host with a port that is no number, and its '@' comes after.
    const std::size_t laterAt = address.find('@', end);
    const bool userPartCut =
        address.substr(start, end - start).find('@') == std::string_view::npos && host.afterHost.starts_with(':') &&
        (host.afterHost.size() == 1 || !PortRead(host.afterHost)) && laterAt != std::string_view::npos;
    if (userPartCut) {
        start = laterAt + 1;
        end = authorityEnd(start);
        host = ReadHostPart(address.substr(start, end - start));
    }
    const std::string_view scheme = address.substr(0, schemeEnd);
    return AddressParts{.scheme = scheme,
                        .host = host,
                        .rest = address.substr(end, std::min(address.find('#', end), address.size()) - end),
                        .whole = !userPartCut && (EqualsNoCase(scheme, "http") || EqualsNoCase(scheme, "https")) &&
                                 HostRead(host.host) && PortRead(host.afterHost) &&
                                 std::ranges::none_of(address, IsBlankOrControl)};
}

bool IsSecretName(std::string_view name) {
    static constexpr std::array<std::string_view, 7> kSecretWords = {"pass", "pwd",  "token", "secret",
                                                                     "key",  "auth", "sid"};
    const std::string folded = FoldedCase(PercentDecode(name));
    return std::ranges::any_of(kSecretWords,
                               [&](std::string_view word) { return folded.find(word) != std::string::npos; });
}

// The path and query with the value of each secret parameter as "***".
std::string WithSecretsStarred(std::string_view rest) {
    const std::size_t query = rest.find('?');
    if (query == std::string_view::npos)
        return std::string(rest);
    std::string shown(rest.substr(0, query + 1));
    for (std::size_t begin = query + 1;;) {
        const std::size_t end = std::min(rest.find_first_of("&;", begin), rest.size());
        const std::string_view parameter = rest.substr(begin, end - begin);
        const std::size_t equals = parameter.find('=');
        if (equals != std::string_view::npos && IsSecretName(parameter.substr(0, equals)))
            shown.append(parameter.substr(0, equals + 1)).append("***");
        else
            shown.append(parameter);
        if (end == rest.size())
            return shown;
        shown += rest[end];
        begin = end + 1;
    }
}

} // namespace

bool IsWebAddress(std::string_view address) {
    const std::optional<AddressParts> parts = ReadAddress(address);
    return parts && parts->whole;
}

std::string ShownAddress(std::string_view address) {
    const std::optional<AddressParts> parts = ReadAddress(address);
    if (!parts || !HostRead(parts->host.host))
        return std::string(kUnreadable);
    std::string shown = std::string(parts->scheme) + "://" + std::string(parts->host.host);
    // An empty port (a lone ':') is left out: shown again, it could read as a user part cut short.
    if (parts->whole)
        shown.append(parts->host.afterHost.size() > 1 ? parts->host.afterHost : "")
            .append(WithSecretsStarred(parts->rest));
    return shown;
}

std::string ShownPasteName(std::string_view name) {
    const bool address = EqualsNoCase(name.substr(0, 7), "http://") || EqualsNoCase(name.substr(0, 8), "https://");
    return address ? ShownAddress(name) : std::string(name);
}

} // namespace coffer
