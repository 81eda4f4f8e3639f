// SPDX-License-Identifier: MIT
#include "ledger/incoming_columns.h"

#include <atomic>
#include <exception>
#include <thread>
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

// The columns of a part of the entries, with places of names of its own.
struct Part {
    EntryKeys keys;
    std::vector<IncomingFields::Row> rows;
    NamePlaces names, tabs;
};

// Makes the part's columns, asking `goOn` with how many are made every kEntriesPerLook entries.
void MakePart(std::span<const PasteEntry> entries, EntryKeyFunction entryKey, Part& part,
              const std::function<bool(std::size_t made)>& goOn) {
    part.rows.reserve(entries.size());
    for (const PasteEntry& entry : entries) {
        if (const std::size_t made = part.rows.size(); made > 0 && made % kEntriesPerLook == 0 && !goOn(made))
            return;
        const std::string key = entryKey(EntryIdentity(entry.text), entry.ts);
        if (part.keys.size() == 0)
            part.keys.reserve(entries.size(), key.size());
        part.keys.push_back(key);
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

} // namespace

IncomingColumns MakeIncomingColumns(std::span<const PasteEntry> entries, EntryKeyFunction entryKey,
                                    const std::function<void(std::size_t made)>& look) {
    const std::size_t half = entries.size() / 2;
    Part first, second;
    std::atomic<std::size_t> secondMade = 0;
    std::exception_ptr secondFailed;
    {
        // Asked to stop and joined as the look's exception leaves.
        std::jthread other([&](std::stop_token stop) {
            try {
                MakePart(entries.subspan(half), entryKey, second, [&](std::size_t made) {
                    secondMade = made;
                    return !stop.stop_requested();
                });
            } catch (...) {
                secondFailed = std::current_exception();
            }
        });
        MakePart(entries.first(half), entryKey, first, [&](std::size_t made) {
            look(made + secondMade);
            return true;
        });
        other.join();
    }
    if (secondFailed)
        std::rethrow_exception(secondFailed);
    IncomingColumns columns{.keys = std::move(first.keys), .fields = {}};
    for (std::size_t place = 0; place < second.keys.size(); ++place)
        columns.keys.push_back(second.keys[place]);
    const std::vector<std::uint32_t> names = Moved(second.names, first.names), tabs = Moved(second.tabs, first.tabs);
    std::vector<IncomingFields::Row>& rows = columns.fields.rows;
    rows = std::move(first.rows);
    rows.reserve(entries.size());
    for (IncomingFields::Row row : second.rows) {
        row.member = names[row.member];
        row.item = names[row.item];
        row.tab = tabs[row.tab];
        rows.push_back(row);
    }
    columns.fields.names = std::move(first.names.names());
    columns.fields.tabs = std::move(first.tabs.names());
    return columns;
}

} // namespace coffer
