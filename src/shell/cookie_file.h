// SPDX-License-Identifier: MIT
#pragma once
// The cookies of a Netscape cookie file (as curl, wget and browser extensions export them) and which
// of them a request carries. A line holds seven tab-separated fields: domain, include-subdomains,
// path, secure, expiry (seconds since 1970 UTC, 0 for a session cookie), name and value. A line that
// starts with "#HttpOnly_" is a cookie all the same; any other line that starts with '#' is a comment.
// The window writes such a file for the command line: the sign-in it holds is a secret, so the file is
// made readable by its owner alone from the moment it exists.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace coffer {

struct Cookie {
    std::string domain; // lower case, without a leading '.'
    bool includeSubdomains = false;
    std::string path;
    bool secure = false;
    std::int64_t expiry = 0;
    std::string name;
    std::string value;
    bool httpOnly = false; // its line starts with "#HttpOnly_"
};

struct CookieFile {
    std::vector<Cookie> cookies;
    std::vector<std::size_t> unreadLines; // line numbers (from 1) of lines that are neither cookie nor comment
    bool othersCanRead = false;           // its mode lets other users read it (LoadCookieFile)
};

CookieFile ReadCookieFile(std::string_view text);

// A cookie file holds some kilobytes: anything much larger is not one.
constexpr std::size_t kMaxCookieFileBytes = std::size_t{1} << 20;
// Reads the cookie file at `path`, links followed, without waiting: a pipe or a device is refused as it
// is opened. Throws std::runtime_error: "cannot read PATH: REASON" when it cannot be opened or read, and
// "PATH is not a cookie file: REASON" for anything but a regular file of at most kMaxCookieFileBytes.
CookieFile LoadCookieFile(const std::string& path);

// The file's text: a header line, then one line per cookie, which ReadCookieFile reads as that cookie.
std::string CookieFileText(const std::vector<Cookie>& cookies);
// Writes the text to `path` as every output file is written (output_files.h), of mode 0600 from its
// creation on; the error, or "".
std::string SaveCookieFile(const std::string& path, const std::vector<Cookie>& cookies);

// Whether a request to `host` for `path` carries the cookie at `now` (seconds since 1970 UTC): the host
// is its domain, or a subdomain of it when the cookie says so (letter case ignored); its path is the
// request's or a prefix that ends at a '/' of it; it has not expired; and a secure one goes only over
// https.
bool CookieMatches(const Cookie& cookie, bool https, std::string_view host, std::string_view path, std::int64_t now);

} // namespace coffer
