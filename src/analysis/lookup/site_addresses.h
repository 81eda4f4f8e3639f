// SPDX-License-Identifier: MIT
#pragma once
// The addresses of the two sites' pages: a member's armory page, an item's page and the item search
// on the item database site. Names go in percent-encoded (see EncodeForAddress); the base addresses
// are always given, never assumed.

#include <string>
#include <string_view>

namespace coffer {

// armoryBase + "/character-sheet.xml?r=" + realm + "&n=" + name; both with blanks as "%20".
std::string MemberPageAddress(std::string_view armoryBase, std::string_view realm, std::string_view name);
// The report's form of the same page: armoryBase + "/character-sheet.xml?n=" + name (blanks as "%20")
// + "&r=" + realm (blanks as "+").
std::string ReportMemberAddress(std::string_view armoryBase, std::string_view name, std::string_view realm);
// base + "/?search=" + the name, spaces as "+".
std::string ItemSearchAddress(std::string_view base, std::string_view itemName);
// base + "/?item=" + the item number.
std::string ItemPageAddress(std::string_view base, std::string_view itemNumber);

} // namespace coffer
