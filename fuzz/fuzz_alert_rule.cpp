// SPDX-License-Identifier: MIT
// Alert rules' texts: any text is a rule or none; a rule's written form is short printable text that reads
// back as the same rule. Any text is tried as a zone's name too, and any moment shown in the zones found.
#include "ledger/alert_rule.h"
#include "ledger/zone_calendar.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace coffer;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const std::optional<AlertRule> rule = ParseAlertRule(text)) {
        const std::string written = AlertRuleText(*rule);
        if (written.size() > 100 || ParseAlertRule(written) != rule)
            __builtin_trap();
        for (const char c : written)
            if (c < ' ' || c > '~' || (c >= 'A' && c <= 'Z'))
                __builtin_trap();
    }
    std::int64_t moment = 0;
    std::memcpy(&moment, data, std::min(size, sizeof moment));
    for (const std::string& zone : {std::string(text), std::string("Pacific/Chatham")})
        if (const std::optional<ZoneCalendar> calendar = ZoneCalendar::Named(zone))
            if (calendar->timeText(moment).size() < 19 || calendar->weekText(moment).size() < 8)
                __builtin_trap();
    return 0;
}
