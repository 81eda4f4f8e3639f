// SPDX-License-Identifier: MIT
#pragma once
// What an add makes of its entries before they go to the ledger: the list's fields, made on two threads,
// one for each half of the entries, before the add goes on; and each entry's key, made on a thread of its
// own while the add goes on, its statements waiting for the keys they read.

#include "ledger/ledger_sql.h"

#include <atomic>
#include <exception>
#include <functional>
#include <span>
#include <thread>

namespace coffer {

// Calls `look` on the calling thread every kEntriesPerLook entries of its half with how many entries both
// threads have made; `look` may throw, which stops the other thread and leaves through this call. An
// exception of the other thread leaves through it too.
IncomingFields MakeIncomingFields(std::span<const PasteEntry> entries,
                                  const std::function<void(std::size_t made)>& look);

// The keys of the entries, made in their order on a thread that starts with the maker and is stopped and
// joined as it goes; then whether two of them are the same.
class KeysMaker {
  public:
    KeysMaker(std::span<const PasteEntry> entries, EntryKeyFunction entryKey);
    KeysMaker(const KeysMaker&) = delete;
    KeysMaker& operator=(const KeysMaker&) = delete;

    // The keys, of which the first `count` are made: waits for them. Throws what making them threw.
    const EntryKeys& upTo(std::size_t count);
    // Whether two of the keys are the same, once all are made.
    bool anyTwice();

  private:
    // Past every count of keys: all are made and compared; or making one threw.
    static constexpr std::size_t kChecked = SIZE_MAX - 1, kFailed = SIZE_MAX;

    EntryKeys keys_;
    std::atomic<std::size_t> made_ = 0; // the keys made, as told
    std::exception_ptr failure_;
    bool twice_ = false;
    std::jthread thread_; // last: it starts once the rest is made
};

} // namespace coffer
