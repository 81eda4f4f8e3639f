#pragma once
// Bank log XML for tests, laid out as the armory writes it.

#include <string>
#include <vector>

namespace coffer::testing {

struct Entry {
    std::string player;
    std::string type;     // "1", "2", "4", ...
    std::string itemName; // as the XML attribute writes it ("Salt &amp; Pepper"); empty: no item
    int count = 1;
    int money = 0;
};

std::string BankLog(const std::vector<Entry>& entries);

} // namespace coffer::testing
