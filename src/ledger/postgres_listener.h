// SPDX-License-Identifier: MIT
#pragma once
// Hears of the adds to a server ledger as they commit: a connection of its own listens on the channel that
// every add notifies in its transaction, so that the notice arrives only once the add is in. A program
// watches socket() for input and then calls takeNotices(), which never waits. Writers of older versions
// notify nothing: a listener is a quicker way to hear of a change, never the only one.

#include "ledger/postgres_connection.h"

#include <string>

namespace coffer {

// The channel every add to a server ledger notifies as it commits.
inline constexpr const char* kLedgerChannel = "coffer_ledger";

class PostgresListener {
  public:
    // Connects as a reading PgConnection does, and listens; waits for the server (not on a window's
    // thread), and throws a PgError when it cannot.
    explicit PostgresListener(const std::string& uri);

    // The connection's socket, to watch for input.
    int socket() const;
    // Takes in what the server sent, without waiting: the number of notices of adds among it. Throws a
    // PgError once the connection is lost.
    int takeNotices();

  private:
    PgConnection db_;
};

} // namespace coffer
