// SPDX-License-Identifier: MIT
#include "analysis/lookup/site_addresses.h"

#include "analysis/text/web_text.h"

namespace coffer {
namespace {

constexpr std::string_view kMemberPage = "/character-sheet.xml";

} // namespace

std::string MemberPageAddress(std::string_view armoryBase, std::string_view realm, std::string_view name) {
    return std::string(armoryBase) + std::string(kMemberPage) + "?r=" + EncodeForAddress(realm, SpaceAs::Percent20) +
           "&n=" + EncodeForAddress(name, SpaceAs::Percent20);
}

std::string ReportMemberAddress(std::string_view armoryBase, std::string_view name, std::string_view realm) {
    return std::string(armoryBase) + std::string(kMemberPage) + "?n=" + EncodeForAddress(name, SpaceAs::Percent20) +
           "&r=" + EncodeForAddress(realm, SpaceAs::Plus);
}

std::string ItemSearchAddress(std::string_view base, std::string_view itemName) {
    return std::string(base) + "/?search=" + EncodeForAddress(itemName, SpaceAs::Plus);
}

std::string ItemPageAddress(std::string_view base, std::string_view itemNumber) {
    return std::string(base) + "/?item=" + EncodeForAddress(itemNumber, SpaceAs::Percent20);
}

} // namespace coffer
