// SPDX-License-Identifier: MIT
#pragma once
// What a window shows of an add that another program makes to the ledger it has open: within five seconds
// the panel's totals, pastes, time line and count of entries follow, with a line in the panel's status,
// while the Entries list keeps the row at the top of its view and its selected rows, whatever their
// numbers become; the window's own add says nothing of the kind.

#include "tests/ui/support/main_window_harness.h"

#include <QString>
#include <functional>
#include <string>

namespace coffer::test {

// With an empty ledger in use, the window adds a page of 301 rows itself, rows of the Entries list are
// chosen, and `addElsewhere` adds a page of 23 rows more through another program or connection, among and
// above those rows (one more copy of an entry included). Tells what the window did not show as it should;
// "" when it showed everything.
QString SeeAnAddElsewhere(MainWindowHarness& harness, const std::function<void(const std::string& page)>& addElsewhere);

} // namespace coffer::test
