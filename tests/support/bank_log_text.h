// SPDX-License-Identifier: MIT
#pragma once
// Bank log XML for tests, laid out as the armory writes it.

#include <string>
#include <vector>

namespace coffer::testing {

struct Entry {
    std::string player;
    std::string type;     // "1", "2", "4", ...
    std::string itemName; // as the XML attribute writes it ("Salt &amp; Pepper")
    int count = 1;
};

inline std::string BankLog(const std::vector<Entry>& entries) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<page>\n"
                       "  <guildKey name=\"Iron Lanterns\" realm=\"Silver Hand\"/>\n  <guildBank>\n    <banklogs>\n";
    long long ts = 1230000000000;
    for (const Entry& entry : entries)
        text += "      <banklog dtab=\"0\" money=\"0\" player=\"" + entry.player + "\" rank=\"1\" ts=\"" +
                std::to_string(ts--) + "\" type=\"" + entry.type + "\">\n        <item count=\"" +
                std::to_string(entry.count) + "\" icon=\"inv_misc\" id=\"1\" name=\"" + entry.itemName +
                "\" qi=\"2\" slot=\"1\" subtype=\"\" type=\"0\"/>\n      </banklog>\n";
    return text + "    </banklogs>\n  </guildBank>\n</page>\n";
}

} // namespace coffer::testing
