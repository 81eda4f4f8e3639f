#include "ui/page_addresses.h"

#include "analysis/web_text.h"

namespace coffer {

std::string MemberPageAddress(std::string_view armoryBase, std::string_view realm, std::string_view name) {
    return std::string(armoryBase) + "/character-sheet.xml?r=" + EncodeForAddress(realm, SpaceAs::Percent20) +
           "&n=" + EncodeForAddress(name, SpaceAs::Percent20);
}

} // namespace coffer
