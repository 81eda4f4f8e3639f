// SPDX-License-Identifier: MIT
#pragma once
// A ledger store whose SQL a test runs statements of its own on, through the connection the store reads
// with.

#include "ledger/ledger_sql.h"
#include "ledger/ledger_store.h"

namespace coffer::testing {

template <class Ledger> class StoreSql : public Ledger {
  public:
    using Ledger::Ledger;
    using Ledger::withListSql;
};

} // namespace coffer::testing
