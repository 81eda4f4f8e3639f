// SPDX-License-Identifier: MIT
#pragma once
// A thin hold on the sqlite3 C API for the ledger file: the connection, statements that are finalized
// when they go out of scope (no statement stays open between two actions: an open read would block the
// write-ahead log's checkpoints), and one write transaction at a time. Every failure throws a
// LedgerError that names its cause.

#include "ledger/ledger_store.h"
#include "ledger/upgrade_meter.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

struct sqlite3;
struct sqlite3_stmt;

namespace coffer {

// Whether this program may not write the ledger file (where there is one already), or create the files of
// the write-ahead log beside it.
bool LedgerFileUnwritable(const std::string& path);

class SqliteDatabase {
  public:
    // Inspect reads the file as it lies and writes nothing, neither into it nor beside it (no index of
    // the write-ahead log): to look at a file before it is known to be a ledger.
    enum class Access { ReadOnly, ReadWrite, Inspect };
    // Opens (ReadWrite: creates when missing) the file. ReadOnly writes nothing, and also opens a file
    // that this program may not write, or that lies in a folder it may not write, as Inspect does. Every
    // connection is defensive and trusts nothing in the file's schema. A statement of a connection that
    // only reads stops past a bound set by the file's size: a crafted file cannot keep it busy for ever.
    // An action waits up to `busyTimeout` for another program's lock, asking `lockWait` on the way.
    SqliteDatabase(const std::string& path, Access access, std::chrono::milliseconds busyTimeout,
                   LockWait lockWait = {});
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    void execute(const char* sql);
    // Lets the connection fold the write-ahead log back into the file when it closes: for a file known
    // to be a ledger.
    void checkpointOnClose();
    sqlite3* handle() const { return db_; }
    const std::string& path() const { return path_; }
    // Throws a LedgerError: "what" failed, and why, from the result code and the system's error number.
    [[noreturn]] void fail(const std::string& what, int code) const;
    // Asked as each statement begins, and every kStepsPerLook steps of SQLite's virtual machine as it runs:
    // true stops the statement, which then fails. Gives back what was asked before.
    std::function<bool()> stopStatementsWhen(std::function<bool()> stop) {
        return std::exchange(stopWhen_, std::move(stop));
    }
    // Called as each statement begins, while set (see LedgerStore::beforeEachStatement).
    void beforeEachStatement(std::function<void()> hook) { beforeStatement_ = std::move(hook); }
    // A read transaction: begun (deferred: its moment is that of its first read), then ended, `completed`
    // or given up after a failure, which throws nothing.
    void beginRead() { execute("BEGIN"); }
    void endRead(bool completed);
    // Told of every kStepsPerLook steps of every statement, while set: an upgrade's work is counted in them.
    // A meter that has stopped stops the statement, which then fails.
    void meterSteps(UpgradeMeter* meter) { meter_ = meter; }
    static constexpr int kStepsPerLook = 1000;
    // A statement begins: the bound of a read counts from here. Throws a LedgerError when the stop says so.
    void startStatement();
    // Throws a LedgerError when a file read without locks changed since it was opened.
    void checkUnchanged() const;
    // Whether a file read without locks changed since it was opened (another program wrote it, or
    // folded its log back as it closed).
    [[nodiscard]] bool changedSinceOpen() const;

  private:
    // SQLite's busy handler: waits out the busy time-out, asking lockWait_ on the way.
    static int waitForLock(void* self, int tries);
    // SQLite's progress handler, the connection's only one: tells the meter, and stops the statement past
    // the read bound, or when the meter or stopWhen_ says so.
    static int lookAtSteps(void* self);

    sqlite3* db_ = nullptr;
    std::string path_;
    std::chrono::milliseconds busyTimeout_;
    LockWait lockWait_;
    std::function<bool()> stopWhen_;
    std::function<void()> beforeStatement_;
    UpgradeMeter* meter_ = nullptr;
    std::chrono::steady_clock::time_point waitStart_;
    std::uint64_t readTicks_ = 0, readTickLimit_ = 0; // in steps of SQLite's virtual machine, by thousands
    std::string unlockedStamp_; // of a file read without locks: its and its log's size and time of change
};

class SqliteStatement {
  public:
    SqliteStatement(SqliteDatabase& db, const char* sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Parameters count from 1: the highest index of the statement's parameters (N of ?N).
    int parameterCount() const;
    SqliteStatement& bind(int index, std::int64_t value);
    SqliteStatement& bind(int index, const std::optional<std::int64_t>& value);
    SqliteStatement& bindText(int index, std::string_view text);
    SqliteStatement& bindBlob(int index, std::string_view bytes);
    // True while a row is there to read.
    bool step();
    // Ready for new parameters and another run.
    void reset();

    // Columns count from 0.
    std::int64_t integer(int column) const;
    std::optional<std::int64_t> optionalInteger(int column) const;
    std::string_view bytes(int column) const;
    bool isNull(int column) const;
    bool isInteger(int column) const;

  private:
    SqliteDatabase& db_;
    sqlite3_stmt* statement_ = nullptr;
};

// A write transaction begun with BEGIN IMMEDIATE: the write lock is taken at once (waiting out the busy
// time-out), so no other program's commit can make it fail half-way. Rolled back unless committed.
class SqliteTransaction {
  public:
    explicit SqliteTransaction(SqliteDatabase& db);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;
    void commit();

  private:
    SqliteDatabase& db_;
    bool open_ = true;
};

} // namespace coffer
