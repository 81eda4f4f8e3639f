// SPDX-License-Identifier: MIT
#include "analysis/tables/entry_selection.h"

#include "analysis/scan/bank_log_scanner.h"
#include "analysis/tables/open_addressing.h"

#include <algorithm>
#include <ctime>
#include <utility>

namespace coffer {
namespace {

// Hash 0 marks a free slot: an element's own hash 0 is kept as 1.
constexpr auto IsFree = [](const ElementText& slot) { return slot.hash == 0; };

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

std::string_view ElementSet::wordsOf(const ElementText& element) const {
    // The scanned copy may end with a line break the text does not have.
    const std::size_t begin = std::min<std::uint64_t>(element.begin, text_.size());
    return text_.substr(begin, std::min<std::uint64_t>(element.end, text_.size()) - begin);
}

std::size_t ElementSet::slotOf(const ElementText& element) const {
    return ProbeSlot(slots_, element.hash, IsFree, [&](const ElementText& slot) {
        return slot.hash == element.hash && SameWords(wordsOf(slot), wordsOf(element));
    });
}

void ElementSet::prefetch(std::uint64_t hash) const {
    if (!slots_.empty())
        __builtin_prefetch(&slots_[static_cast<std::size_t>(hash == 0 ? 1 : hash) & (slots_.size() - 1)]);
}

bool ElementSet::contains(const ElementText& element) const {
    ElementText key = element;
    key.hash = key.hash == 0 ? 1 : key.hash;
    return !slots_.empty() && slots_[slotOf(key)].hash != 0;
}

void ElementSet::reserve(std::size_t elements) {
    std::size_t slots = std::max<std::size_t>(64, slots_.size());
    // At most three quarters full: probes stay short, and a log of very many short elements keeps its
    // table within the memory it may take.
    while (slots * 3 < elements * 4)
        slots *= 2;
    if (slots == slots_.size())
        return;
    decltype(slots_) old(slots);
    old.swap(slots_);
    size_ = 0;
    // The old elements differ from each other: each goes to the first empty slot, with no comparing.
    for (const ElementText& element : old) {
        if (element.hash == 0)
            continue;
        slots_[FreeSlot(slots_, element.hash, IsFree)] = element;
        ++size_;
    }
}

void ElementSet::insert(const ElementText& element) {
    if ((size_ + 1) * 4 > slots_.size() * 3)
        reserve(std::max<std::size_t>(48, slots_.size()));
    ElementText key = element;
    key.hash = key.hash == 0 ? 1 : key.hash;
    ElementText& slot = slots_[slotOf(key)];
    if (slot.hash != 0)
        return;
    slot = key;
    ++size_;
}

bool EntryFilter::seenOnEarlierPage(const BankLogEntry& entry) {
    if (entry.page != page_) {
        if (!thisPage_.empty()) // a page has ended: the set is needed from now on
            earlierPages_.reserve(std::exchange(expected_, 0));
        constexpr std::size_t kAhead = 8; // inserts under way while one waits for memory
        for (std::size_t i = 0; i < thisPage_.size(); ++i) {
            if (i + kAhead < thisPage_.size())
                earlierPages_.prefetch(thisPage_[i + kAhead].hash);
            if (!thisPageEarlier_[i])
                earlierPages_.insert(thisPage_[i]);
        }
        thisPage_.clear();
        thisPageEarlier_.clear();
        page_ = entry.page;
    }
    const ElementText element{entry.textHash, entry.textBegin, entry.textEnd};
    const bool earlier = earlierPages_.contains(element);
    thisPage_.push_back(element);
    thisPageEarlier_.push_back(earlier);
    return earlier;
}

bool EntryFilter::admit(const BankLogEntry& entry) {
    const bool repeated = seenOnEarlierPage(entry);
    repeated_ += repeated ? 1 : 0;
    const bool inPeriod = !selection_.period || (entry.ts && selection_.period->contains(*entry.ts));
    outsidePeriod_ += inPeriod ? 0 : 1;
    return inPeriod && !(repeated && selection_.countRepeatedOnce);
}

} // namespace coffer
