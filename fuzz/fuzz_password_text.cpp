// SPDX-License-Identifier: MIT
// Passwords out of any text: the places found lie within the text, in order; the text without them is
// on one line and no longer; and a password planted in a URI's user part and in a password= parameter
// after the text never shows, neither in the text nor in a URI as settings keep it; nor does one a
// connection was given, in a message that quotes it.
#include "analysis/text/web_text.h"
#include "ledger/password_free_text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace coffer;
    std::string text(reinterpret_cast<const char*>(data), size);
    std::size_t last = 0;
    for (const TextRange& range : PasswordRanges(text)) {
        if (range.begin < last || range.begin > range.end || range.end > text.size())
            __builtin_trap();
        last = range.begin;
    }
    const std::string shown = WithoutPasswords(text);
    if (shown.size() > text.size() || shown.find_first_of("\t\n\r\v\f") != std::string::npos)
        __builtin_trap();

    // The secret's marks (\x01) appear nowhere else; its middle is the input's first letters and digits.
    std::ranges::replace(text, '\x01', '.');
    std::string secret = "\x01";
    std::copy_if(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(text.size(), 8)),
                 std::back_inserter(secret), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
    secret += '\x01';
    const std::string planted = text + " postgresql://officer:" + secret + "@db/coffer?password=" + secret + " " + text;
    if (WithoutPasswords(planted).find(secret) != std::string::npos)
        __builtin_trap();
    // A URI as settings keep it: never longer, and without a password planted in both places.
    const std::string uri = "postgresql://officer:" + secret + "@db/coffer?" + text + "&password=" + secret;
    if (UriWithoutPassword(text).size() > text.size() || UriWithoutPassword(uri).find(secret) != std::string::npos)
        __builtin_trap();
    // A password a connection was given, percent-encoded in its URI, never shows in a message that quotes
    // it as written or decoded.
    const std::string encoded = PercentEncode(secret, SpaceAs::Percent20);
    const std::string message = text + " \"" + secret + "\" '" + encoded + "' " + text;
    const std::string given = WithoutPasswords(message, UriPasswords("postgresql://officer:" + encoded + "@db/coffer"));
    if (given.find(secret) != std::string::npos || given.find(encoded) != std::string::npos)
        __builtin_trap();
    return 0;
}
