// SPDX-License-Identifier: MIT
#pragma once
// What a page fetched from the armory is, by its elements: the bank log, whole; a page that is none
// (the sign-in, the armory's error page for a character it cannot show); or a bank log cut off on its
// way. Tag names count in any letter case, as the scanner reads them. A paste the user gives is not
// held to this: it may be a part of a page, or several.

#include <string_view>

namespace coffer {

enum class FetchedPageKind { BankLog, NoBankLog, CutShort };

// A bank log holds a `guildKey` element and a `banklogs` element (empty or not); one whose `banklogs`
// or document element is not closed was cut short.
FetchedPageKind KindOfFetchedPage(std::string_view page);

} // namespace coffer
