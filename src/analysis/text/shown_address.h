// SPDX-License-Identifier: MIT
#pragma once
// Web addresses as the program prints and stores them: a fetch's address in its lines, in the paste
// record it leaves in the ledger and in every copy of that record. An address may carry a sign-in (a
// password in its user part, a session or a token in its query); none of it is shown.

#include <string>
#include <string_view>

namespace coffer {

// Whether the address is an http:// or https:// one, read whole: a host (a name, an IPv4 address or an
// IPv6 one in brackets) with at most a port of digits after it, and no blank or control character
// anywhere.
bool IsWebAddress(std::string_view address);

// The address without its user information or fragment, the value of each query parameter whose name
// holds "pass", "pwd", "token", "secret", "key", "auth" or "sid" (letter case ignored, percent-encoded
// or not) as "***". Any other address is shown as its scheme and host only or, when even these cannot
// be told, as "(an address that cannot be read)". A text shown once is shown again as it is.
std::string ShownAddress(std::string_view address);

// A paste's name as shown: an http:// or https:// address as ShownAddress shows it, anything else (a
// file's path) as it is.
std::string ShownPasteName(std::string_view name);

} // namespace coffer
