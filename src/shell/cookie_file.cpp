// SPDX-License-Identifier: MIT
#include "shell/cookie_file.h"

#include "analysis/text/text_util.h"
#include "shell/output_files.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace coffer {
namespace {

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

// A host name's, an IPv4 address's or a bracketed IPv6 address's.
bool IsDomainChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == ':' ||
           c == '[' || c == ']';
}

// "TRUE" or "FALSE", in any letter case.
bool ReadFlag(std::string_view text, bool& flag) {
    flag = EqualsNoCase(text, "TRUE");
    return flag || EqualsNoCase(text, "FALSE");
}

bool ReadCookieLine(std::string_view line, Cookie& cookie) {
    // Six fields before the value, which is the rest of the line, tabs and all; an exporter may leave
    // out an empty value with its tab.
    std::vector<std::string_view> field;
    for (std::size_t tab = line.find('\t'); field.size() < 6 && tab != std::string_view::npos; tab = line.find('\t')) {
        field.push_back(line.substr(0, tab));
        line.remove_prefix(tab + 1);
    }
    field.push_back(line);
    if (field.size() < 6)
        return false;
    const std::string_view expiry = field[4];
    const auto [end, error] = std::from_chars(expiry.data(), expiry.data() + expiry.size(), cookie.expiry);
    if (error != std::errc() || end != expiry.data() + expiry.size() || expiry.empty() ||
        !ReadFlag(field[1], cookie.includeSubdomains) || !ReadFlag(field[3], cookie.secure) || field[5].empty())
        return false;
    cookie.domain = FoldedCase(field[0].starts_with('.') ? field[0].substr(1) : field[0]);
    cookie.path = field[2].empty() ? "/" : std::string(field[2]);
    cookie.name = field[5];
    cookie.value = field.size() == 7 ? field[6] : std::string_view();
    // A control character (a carriage return or a NUL) is no cookie's: sent on, it would break the request.
    const auto plain = [](std::string_view text) {
        return std::ranges::none_of(text, [](char c) { return (c >= 0 && c < ' ' && c != '\t') || c == 0x7f; });
    };
    return !cookie.domain.empty() && !cookie.domain.starts_with('.') &&
           std::ranges::all_of(cookie.domain, IsDomainChar) && plain(cookie.path) && plain(cookie.name) &&
           plain(cookie.value);
}

} // namespace

CookieFile ReadCookieFile(std::string_view text) {
    CookieFile file;
    for (std::size_t number = 1; !text.empty(); ++number) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        const bool httpOnly = line.starts_with(kHttpOnlyPrefix);
        if (httpOnly)
            line.remove_prefix(kHttpOnlyPrefix.size());
        else if (line.starts_with('#') || line.find_first_not_of(" \t") == std::string_view::npos)
            continue;
        Cookie cookie;
        cookie.httpOnly = httpOnly;
        if (ReadCookieLine(line, cookie))
            file.cookies.push_back(std::move(cookie));
        else
            file.unreadLines.push_back(number);
    }
    return file;
}

std::string CookieFileText(const std::vector<Cookie>& cookies) {
    const auto flag = [](bool on) { return on ? "TRUE" : "FALSE"; };
    std::string text = "# Netscape HTTP Cookie File\n";
    for (const Cookie& cookie : cookies)
        text += (cookie.httpOnly ? std::string(kHttpOnlyPrefix) : std::string()) + cookie.domain + '\t' +
                flag(cookie.includeSubdomains) + '\t' + cookie.path + '\t' + flag(cookie.secure) + '\t' +
                std::to_string(cookie.expiry) + '\t' + cookie.name + '\t' + cookie.value + '\n';
    return text;
}

CookieFile LoadCookieFile(const std::string& path) {
    const auto cannotRead = [&] { return std::runtime_error("cannot read " + path + ": " + std::strerror(errno)); };
    const auto notACookieFile = [&](const char* reason) {
        return std::runtime_error(path + " is not a cookie file: " + reason);
    };
    // A pipe without a writer opens at once, and a terminal does not become the program's own; the type is
    // that of what was opened, so nothing can be swapped in between.
    struct Descriptor {
        int fd;
        ~Descriptor() {
            if (fd >= 0)
                ::close(fd);
        }
    } const opened{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    struct stat status {};
    if (opened.fd < 0 || ::fstat(opened.fd, &status) != 0)
        throw cannotRead();
    if (!S_ISREG(status.st_mode))
        throw notACookieFile(S_ISDIR(status.st_mode)    ? "it is a folder"
                             : S_ISFIFO(status.st_mode) ? "it is a pipe"
                                                        : "it is a device");
    constexpr const char* kTooLarge = "it is larger than 1 MiB";
    if (static_cast<std::uint64_t>(status.st_size) > kMaxCookieFileBytes)
        throw notACookieFile(kTooLarge);
    // At most one byte past the limit, for a file that grows as it is read.
    std::string text;
    char piece[1 << 16];
    while (text.size() <= kMaxCookieFileBytes) {
        const ssize_t got = ::read(opened.fd, piece, std::min(sizeof piece, kMaxCookieFileBytes + 1 - text.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw cannotRead();
        if (got == 0)
            break;
        text.append(piece, static_cast<std::size_t>(got));
    }
    if (text.size() > kMaxCookieFileBytes)
        throw notACookieFile(kTooLarge);
    CookieFile file = ReadCookieFile(text);
    file.othersCanRead = (status.st_mode & (S_IRGRP | S_IROTH)) != 0;
    return file;
}

std::string SaveCookieFile(const std::string& path, const std::vector<Cookie>& cookies) {
    return WriteFileReplacing(path, CookieFileText(cookies), S_IRUSR | S_IWUSR);
}

bool CookieMatches(const Cookie& cookie, bool https, std::string_view host, std::string_view path, std::int64_t now) {
    const std::string lowerHost = FoldedCase(host);
    const bool domainMatches =
        lowerHost == cookie.domain ||
        (cookie.includeSubdomains && lowerHost.size() > cookie.domain.size() && lowerHost.ends_with(cookie.domain) &&
         lowerHost[lowerHost.size() - cookie.domain.size() - 1] == '.');
    const bool pathMatches =
        path.starts_with(cookie.path) &&
        (path.size() == cookie.path.size() || cookie.path.ends_with('/') || path[cookie.path.size()] == '/');
    return domainMatches && pathMatches && (cookie.expiry == 0 || cookie.expiry > now) && (https || !cookie.secure);
}

} // namespace coffer
