// SPDX-License-Identifier: MIT
#pragma once
// The progress of an upgrade, the same for both stores: the work is counted in units whose total is
// reckoned before it starts. What the watch hears only grows and stays below the total until the work
// is done, however far a reckoning was off, then reaches it.

#include "ledger/ledger_store.h"

#include <cstdint>

namespace coffer {

class UpgradeMeter {
  public:
    UpgradeMeter(const UpgradeWatch& watch, std::uint64_t total) : watch_(watch), total_(total) {}
    // Counts `units` more of work done; false once the watch has asked to stop, and from then on.
    bool advance(std::uint64_t units);
    // The same, throwing AddCancelled where the watch asks to stop.
    void advanceOrStop(std::uint64_t units);
    // The work is done: the watch hears of the total.
    void finish();
    bool stopped() const { return stopped_; }

  private:
    const UpgradeWatch& watch_;
    std::uint64_t total_, done_ = 0;
    bool stopped_ = false;
};

} // namespace coffer
