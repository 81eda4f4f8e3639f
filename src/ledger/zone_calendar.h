// SPDX-License-Identifier: MIT
#pragma once
// Days and ISO weeks of a named time zone (IANA, "Europe/Berlin"), read from the system's zone files: an
// alert rule keeps the zone of the officer who set it, so every officer of a shared ledger counts the
// same days, whatever the zone of the machine that adds.

#include <cstdint>
#include <optional>
#include <string>

namespace date {
class time_zone;
}

namespace coffer {

// The IANA name of this machine's time zone, as the officer who sets a rule means their days: TZ where it
// names a zone (":Europe/Berlin", "Europe/Berlin", or a path into the zone files), else the zone file that
// /etc/localtime links to, else /etc/timezone, else UTC where the system has no zone set. None where TZ
// holds something else (a rule such as "CET-1CEST") or the zone set is not one the system knows.
std::optional<std::string> MachineZoneName();

class ZoneCalendar {
  public:
    // The zone of this name; none when the system knows no such zone.
    static std::optional<ZoneCalendar> Named(const std::string& zone);

    const std::string& name() const { return name_; }
    // Of a moment in milliseconds since 1970 (UTC): its day "2008-12-03", its ISO week "2008-W49"
    // (weeks begin on Monday; the first holds the year's first Thursday), its time "2008-12-03 21:10:00".
    std::string dayText(std::int64_t ms) const;
    std::string weekText(std::int64_t ms) const;
    std::string timeText(std::int64_t ms) const;
    // The day or ISO week that holds a moment, as the moments it spans: from its first to the first of the
    // next, in milliseconds since 1970 (UTC). A day that a clock change shortens or lengthens spans that.
    struct Span {
        std::int64_t first = 0, end = 0;
        bool contains(std::int64_t ms) const { return ms >= first && ms < end; }
    };
    Span daySpan(std::int64_t ms) const;
    Span weekSpan(std::int64_t ms) const;

  private:
    ZoneCalendar(const date::time_zone* zone, std::string name) : zone_(zone), name_(std::move(name)) {}
    const date::time_zone* zone_;
    std::string name_;
};

} // namespace coffer
