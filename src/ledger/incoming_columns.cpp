// SPDX-License-Identifier: MIT
#include "ledger/incoming_columns.h"

#include "analysis/tables/open_addressing.h"

#include <bit>
#include <limits>
#include <unordered_map>

namespace coffer {
namespace {

// Names, each kept once, by their places in the order they came.
class NamePlaces {
  public:
    std::uint32_t place(std::string&& name) {
        const auto [at, added] = places_.try_emplace(std::move(name), static_cast<std::uint32_t>(names_.size()));
        if (added)
            names_.push_back(at->first);
        return at->second;
    }
    std::vector<std::string>& names() { return names_; }

  private:
    std::unordered_map<std::string, std::uint32_t> places_;
    std::vector<std::string> names_;
};

// The fields of a part of the entries, with places of names of its own.
struct Part {
    std::vector<IncomingFields::Row> rows;
    NamePlaces names, tabs;
};

// Makes the part's fields, asking `goOn` with how many are made every kEntriesPerLook entries.
void MakePart(std::span<const PasteEntry> entries, Part& part, const std::function<bool(std::size_t made)>& goOn) {
    part.rows.reserve(entries.size());
    for (const PasteEntry& entry : entries) {
        if (const std::size_t made = part.rows.size(); made > 0 && made % kEntriesPerLook == 0 && !goOn(made))
            return;
        EntryFields fields = ReadEntryFields(entry.text);
        part.rows.push_back({.type = fields.type,
                             .money = fields.money,
                             .itemCount = fields.itemCount,
                             .member = part.names.place(std::move(fields.member)),
                             .item = part.names.place(std::move(fields.item)),
                             .tab = part.tabs.place(std::move(fields.tab))});
    }
}

// The places in `into` of the names of `from`, by their places in `from`.
std::vector<std::uint32_t> Moved(NamePlaces& from, NamePlaces& into) {
    std::vector<std::uint32_t> places;
    places.reserve(from.names().size());
    for (std::string& name : from.names())
        places.push_back(into.place(std::move(name)));
    return places;
}

// Whether two of the keys are the same: each looked for among those before it by its hash, in one array of
// places at most half full.
bool AnyKeyTwice(const EntryKeys& keys) {
    constexpr std::uint32_t kFree = std::numeric_limits<std::uint32_t>::max();
    const auto isFree = [](std::uint32_t place) { return place == kFree; };
    std::vector<std::uint32_t> slots(std::bit_ceil(2 * keys.size() + 1), kFree);
    for (std::uint32_t place = 0; place < keys.size(); ++place) {
        const std::string_view key = keys[place];
        const std::size_t slot = ProbeSlot(slots, std::hash<std::string_view>{}(key), isFree,
                                           [&](std::uint32_t other) { return keys[other] == key; });
        if (!isFree(slots[slot]))
            return true;
        slots[slot] = place;
    }
    return false;
}

} // namespace

IncomingFields MakeIncomingFields(std::span<const PasteEntry> entries,
                                  const std::function<void(std::size_t made)>& look) {
    const std::size_t half = entries.size() / 2;
    Part first, second;
    std::atomic<std::size_t> secondMade = 0;
    std::exception_ptr secondFailed;
    {
        // Asked to stop and joined as the look's exception leaves.
        std::jthread other([&](std::stop_token stop) {
            try {
                MakePart(entries.subspan(half), second, [&](std::size_t made) {
                    secondMade = made;
                    return !stop.stop_requested();
                });
            } catch (...) {
                secondFailed = std::current_exception();
            }
        });
        MakePart(entries.first(half), first, [&](std::size_t made) {
            look(made + secondMade);
            return true;
        });
        other.join();
    }
    if (secondFailed)
        std::rethrow_exception(secondFailed);
    IncomingFields fields;
    const std::vector<std::uint32_t> names = Moved(second.names, first.names), tabs = Moved(second.tabs, first.tabs);
    std::vector<IncomingFields::Row>& rows = fields.rows;
    rows = std::move(first.rows);
    rows.reserve(entries.size());
    for (IncomingFields::Row row : second.rows) {
        row.member = names[row.member];
        row.item = names[row.item];
        row.tab = tabs[row.tab];
        rows.push_back(row);
    }
    fields.names = std::move(first.names.names());
    fields.tabs = std::move(first.tabs.names());
    return fields;
}

KeysMaker::KeysMaker(std::span<const PasteEntry> entries, EntryKeyFunction entryKey)
    : keys_(entries.size()), thread_([this, entries, entryKey](std::stop_token stop) {
          try {
              for (const PasteEntry& entry : entries) {
                  keys_.push_back(entryKey(EntryIdentity(entry.text), entry.ts));
                  // Told a part at a time: a statement waits for its part only. The last part is told
                  // with the answer of anyTwice().
                  if (const std::size_t made = keys_.size();
                      made % EntryKeys::kKeysPerPart == 0 && made < entries.size()) {
                      if (stop.stop_requested())
                          return;
                      made_.store(made, std::memory_order_release);
                      made_.notify_all();
                  }
              }
              twice_ = AnyKeyTwice(keys_);
              made_.store(kChecked, std::memory_order_release);
          } catch (...) {
              failure_ = std::current_exception();
              made_.store(kFailed, std::memory_order_release);
          }
          made_.notify_all();
      }) {}

const EntryKeys& KeysMaker::upTo(std::size_t count) {
    std::size_t made = made_.load(std::memory_order_acquire);
    for (; made < count; made = made_.load(std::memory_order_acquire))
        made_.wait(made, std::memory_order_acquire);
    if (made == kFailed)
        std::rethrow_exception(failure_);
    return keys_;
}

bool KeysMaker::anyTwice() {
    upTo(kChecked);
    return twice_;
}

} // namespace coffer
