// SPDX-License-Identifier: MIT
// A cookie file as --fetch reads it: each cookie read, written back by the writer, reads as itself; its
// unread lines are in order and within the text; a cookie goes to its own domain and path over https
// while it has not expired. An address as lines and paste records show it holds no fragment, user
// information or secret, shows as itself again, and names what a fetch takes.
#include "analysis/text/shown_address.h"
#include "shell/cookie_file.h"
#include "shell/fetch_address.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace coffer;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const CookieFile file = ReadCookieFile(text);
    const auto lines = static_cast<std::size_t>(std::ranges::count(text, '\n')) + 1;
    if (!std::ranges::is_sorted(file.unreadLines) || (!file.unreadLines.empty() && file.unreadLines.back() > lines) ||
        file.cookies.size() + file.unreadLines.size() > lines)
        __builtin_trap();
    for (const Cookie& cookie : file.cookies) {
        if (cookie.domain.empty() || cookie.domain.starts_with('.') || cookie.path.empty() || cookie.name.empty() ||
            std::ranges::any_of(cookie.domain, [](char c) { return c >= 'A' && c <= 'Z'; }))
            __builtin_trap();
        const CookieFile again = ReadCookieFile(CookieFileText({cookie}));
        if (again.cookies.size() != 1 || again.cookies[0].value != cookie.value ||
            again.cookies[0].domain != cookie.domain || again.cookies[0].path != cookie.path ||
            again.cookies[0].httpOnly != cookie.httpOnly || again.cookies[0].expiry != cookie.expiry)
            __builtin_trap();
        const std::int64_t now = cookie.expiry > INT64_MIN ? cookie.expiry - 1 : cookie.expiry;
        if (CookieMatches(cookie, true, cookie.domain, cookie.path, now) != (cookie.expiry == 0 || cookie.expiry > now))
            __builtin_trap();
    }
    const std::string shown = ShownAddress(text);
    const std::size_t authority = shown.find("://") + 3;
    if (ShownAddress(shown) != shown || shown.find('#') != std::string::npos ||
        (authority > 2 &&
         shown.substr(authority, shown.find_first_of("/?", authority) - authority).find('@') != std::string::npos) ||
        FetchRecordAddress(text) != (IsWebAddress(text) ? std::optional(shown) : std::nullopt))
        __builtin_trap();
    // A password in the user part, cut short by an unencoded '/', '?' or '#' or not, and a secret query
    // parameter never show: their marks ('~') appear nowhere else.
    std::string rest(text);
    std::erase(rest, '~');
    const char cut = "/?#!"[rest.empty() ? 0 : static_cast<unsigned char>(rest[0]) % 4];
    for (const std::string& planted :
         {"http://officer:~s" + std::string(1, cut) + "3~@" + rest, "https://a.example/" + rest + "?x&token=~k~"})
        if (ShownAddress(planted).find('~') != std::string::npos)
            __builtin_trap();
    static_cast<void>(ReadFetchSpan(text));
    return 0;
}
