#include "ui/page_addresses.h"

#include "analysis/web_text.h"

namespace coffer {

std::string MemberPageAddress(std::string_view armoryBase, std::string_view realm, std::string_view name) {
    return std::string(armoryBase) + "/character-sheet.xml?r=" + EncodeForAddress(realm, SpaceAs::Percent20) +
           "&n=" + EncodeForAddress(name, SpaceAs::Percent20);
}

std::string ItemSearchAddress(std::string_view itemDatabaseBase, std::string_view itemName) {
    return std::string(itemDatabaseBase) + "/?search=" + EncodeForAddress(itemName, SpaceAs::Plus);
}

} // namespace coffer
