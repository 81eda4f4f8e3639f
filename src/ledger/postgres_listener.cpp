// SPDX-License-Identifier: MIT
#include "ledger/postgres_listener.h"

#include <libpq-fe.h>

namespace coffer {

PostgresListener::PostgresListener(const std::string& uri) : db_(uri, true, {}) {
    db_.execute(std::string("LISTEN ") + kLedgerChannel);
}

int PostgresListener::socket() const {
    return PQsocket(db_.conn_.get());
}

int PostgresListener::takeNotices() {
    if (PQconsumeInput(db_.conn_.get()) == 0 || PQstatus(db_.conn_.get()) != CONNECTION_OK)
        db_.fail("lost the connection that listens for changes", PQerrorMessage(db_.conn_.get()), "08006");
    int notices = 0;
    while (PGnotify* notice = PQnotifies(db_.conn_.get())) {
        notices += std::string_view(notice->relname) == kLedgerChannel ? 1 : 0;
        PQfreemem(notice);
    }
    return notices;
}

} // namespace coffer
