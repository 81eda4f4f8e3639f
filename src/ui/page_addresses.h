#pragma once
// Addresses of a member's armory page and of an item's search page on the item database site.

#include <string>
#include <string_view>

namespace coffer {

// armoryBase + "/character-sheet.xml?r=" + realm + "&n=" + name; both percent-encoded, blanks as "%20".
std::string MemberPageAddress(std::string_view armoryBase, std::string_view realm, std::string_view name);

// itemDatabaseBase + "/?search=" + the name percent-encoded with blanks as "+".
std::string ItemSearchAddress(std::string_view itemDatabaseBase, std::string_view itemName);

} // namespace coffer
