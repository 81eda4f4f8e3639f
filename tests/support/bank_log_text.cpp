#include "support/bank_log_text.h"

namespace coffer::testing {

std::string BankLog(const std::vector<Entry>& entries) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<page>\n"
                       "  <guildKey name=\"Iron Lanterns\" realm=\"Silver Hand\"/>\n  <guildBank>\n    <banklogs>\n";
    long long ts = 1230000000000;
    for (const Entry& entry : entries) {
        text += "      <banklog dtab=\"0\" money=\"" + std::to_string(entry.money) + "\" player=\"" + entry.player +
                "\" rank=\"1\" ts=\"" + std::to_string(ts--) + "\" type=\"" + entry.type + "\">\n";
        if (!entry.itemName.empty())
            text += "        <item count=\"" + std::to_string(entry.count) + "\" icon=\"inv_misc\" id=\"1\" name=\"" +
                    entry.itemName + "\" qi=\"2\" slot=\"1\" subtype=\"\" type=\"0\"/>\n";
        text += "      </banklog>\n";
    }
    return text + "    </banklogs>\n  </guildBank>\n</page>\n";
}

} // namespace coffer::testing
