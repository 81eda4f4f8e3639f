// SPDX-License-Identifier: MIT
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace coffer::testing {

// Sets the process's local time zone (a POSIX TZ text) until the object goes.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            saved_ = old;
        Set(zone);
    }
    ~ScopedTimeZone() { Set(saved_ ? saved_->c_str() : nullptr); }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    static void Set(const char* zone) {
        zone ? setenv("TZ", zone, 1) : unsetenv("TZ");
        tzset();
    }
    std::optional<std::string> saved_;
};

// An hour east of UTC in winter: a local day is not the UTC one.
inline constexpr const char* kCentralEuropeanTime = "CET-1CEST,M3.5.0,M10.5.0/3";

} // namespace coffer::testing
