#pragma once
// The address of a member's armory page.

#include <string>
#include <string_view>

namespace coffer {

// armoryBase + "/character-sheet.xml?r=" + realm + "&n=" + name; both percent-encoded, blanks as "%20".
std::string MemberPageAddress(std::string_view armoryBase, std::string_view realm, std::string_view name);

} // namespace coffer
