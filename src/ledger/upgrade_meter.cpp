// SPDX-License-Identifier: MIT
#include "ledger/upgrade_meter.h"

#include <algorithm>
#include <tuple>

namespace coffer {

bool UpgradeMeter::advance(std::uint64_t units) {
    if (stopped_ || !watch_.progress || total_ == 0)
        return !stopped_;
    done_ = std::min(done_ + units, total_ - 1);
    stopped_ = !watch_.progress(done_, total_);
    return !stopped_;
}

void UpgradeMeter::advanceOrStop(std::uint64_t units) {
    if (!advance(units))
        throw AddCancelled();
}

void UpgradeMeter::finish() {
    if (watch_.progress && total_ != 0 && !stopped_)
        std::ignore = watch_.progress(total_, total_);
}

} // namespace coffer
