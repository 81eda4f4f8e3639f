#include "analysis/entry_selection.h"

#include <algorithm>
#include <ctime>

namespace coffer {
namespace {

// Seconds since 1970 UTC of local midnight starting the day (a day past the month's end rolls over).
std::int64_t LocalMidnight(const LocalDate& date, int dayOffset) {
    std::tm fields{};
    fields.tm_year = date.year - 1900;
    fields.tm_mon = date.month - 1;
    fields.tm_mday = date.day + dayOffset;
    fields.tm_isdst = -1; // the zone's rule for that day, not today's
    return std::mktime(&fields);
}

std::uint64_t Milliseconds(std::int64_t seconds) {
    return seconds <= 0 ? 0 : static_cast<std::uint64_t>(seconds) * 1000;
}

} // namespace

TimeRange LocalDaysRange(std::optional<LocalDate> firstDay, std::optional<LocalDate> lastDay) {
    TimeRange range;
    if (firstDay)
        range.first = Milliseconds(LocalMidnight(*firstDay, 0));
    if (lastDay) {
        const std::uint64_t nextDay = Milliseconds(LocalMidnight(*lastDay, 1));
        range.last = nextDay == 0 ? 0 : nextDay - 1;
    }
    return range;
}

std::size_t HashSet::slotOf(std::uint64_t key) const {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = static_cast<std::size_t>(key) & mask;
    while (slots_[slot] != 0 && slots_[slot] != key)
        slot = (slot + 1) & mask;
    return slot;
}

void HashSet::prefetch(std::uint64_t hash) const {
    if (!slots_.empty())
        __builtin_prefetch(&slots_[static_cast<std::size_t>(hash == 0 ? 1 : hash) & (slots_.size() - 1)]);
}

bool HashSet::contains(std::uint64_t hash) const {
    const std::uint64_t key = hash == 0 ? 1 : hash;
    return !slots_.empty() && slots_[slotOf(key)] == key;
}

void HashSet::reserve(std::size_t hashes) {
    std::size_t slots = std::max<std::size_t>(64, slots_.size());
    while (slots < hashes * 2) // at most half full: probes stay short
        slots *= 2;
    if (slots == slots_.size())
        return;
    decltype(slots_) old(slots, 0);
    old.swap(slots_);
    size_ = 0;
    for (const std::uint64_t key : old)
        if (key != 0)
            insert(key);
}

void HashSet::insert(std::uint64_t hash) {
    if ((size_ + 1) * 2 > slots_.size())
        reserve(std::max<std::size_t>(32, slots_.size()));
    const std::uint64_t key = hash == 0 ? 1 : hash;
    std::uint64_t& slot = slots_[slotOf(key)];
    size_ += slot == 0 ? 1 : 0;
    slot = key;
}

bool EntryFilter::seenOnEarlierPage(const BankLogEntry& entry) {
    if (entry.page != page_) {
        constexpr std::size_t kAhead = 8; // inserts under way while one waits for memory
        for (std::size_t i = 0; i < thisPage_.size(); ++i) {
            if (i + kAhead < thisPage_.size())
                earlierPages_.prefetch(thisPage_[i + kAhead]);
            earlierPages_.insert(thisPage_[i]);
        }
        thisPage_.clear();
        page_ = entry.page;
    }
    thisPage_.push_back(entry.textHash);
    return earlierPages_.contains(entry.textHash);
}

bool EntryFilter::admit(const BankLogEntry& entry) {
    const bool repeated = seenOnEarlierPage(entry);
    repeated_ += repeated ? 1 : 0;
    const bool inPeriod = !selection_.period || (entry.ts && selection_.period->contains(*entry.ts));
    outsidePeriod_ += inPeriod ? 0 : 1;
    return inPeriod && !(repeated && selection_.countRepeatedOnce);
}

} // namespace coffer
