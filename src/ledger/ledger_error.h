// SPDX-License-Identifier: MIT
#pragma once
// What keeps an action on a ledger from being done, for the programs to act on and the user to read.

#include <stdexcept>
#include <string>

namespace coffer {

// What kept an action on a ledger from being done, for the programs to act on; both stores set it.
enum class LedgerErrorKind {
    Locked,         // another program holds a lock the action may not wait for
    BusyTimeout,    // another program kept the ledger locked past the wait
    NotALedger,     // not a Coffer ledger, or none there yet
    NewerVersion,   // a ledger of a newer program
    Damaged,        // a ledger whose content breaks its rules
    CannotWrite,    // read-only file or folder, or no right to write
    PasswordNeeded, // the server wants a password that was not given
    ServerRefused,  // the server could not be reached or refused the connection
    ServerLost,     // the connection to the server was lost
    ServerTimeout,  // the server did not answer in time
    RefusedGuild,   // the guild rule refuses the paste
    EmptyName,      // no ledger named
    SameFile,       // a ledger merged into itself
    Other,          // anything else: the text says
};

// Anything that keeps an action on a ledger from being done; the message is for the user.
class LedgerError : public std::runtime_error {
  public:
    LedgerError(LedgerErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
    LedgerErrorKind kind() const { return kind_; }

  private:
    LedgerErrorKind kind_;
};

// An add that its progress function stopped; the ledger is as it was before the add.
class AddCancelled : public LedgerError {
  public:
    AddCancelled() : LedgerError(LedgerErrorKind::Other, "The add was cancelled; the ledger is as it was.") {}
};

// A server database without the ledger's tables, opened for reading: a ledger not there yet, as an
// absent file (an add or a merge creates them).
class LedgerNotThereYet : public LedgerError {
  public:
    explicit LedgerNotThereYet(const std::string& message) : LedgerError(LedgerErrorKind::NotALedger, message) {}
};

} // namespace coffer
