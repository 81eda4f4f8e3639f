// SPDX-License-Identifier: MIT
#pragma once
// A hold on one libpq connection for the server ledger. Every call runs against a deadline on this side:
// a server that stops answering (a stopped process, a dead network) is sent a cancel request and the
// call fails with a message in bounded time instead of hanging. Every failure throws a PgError that
// names the ledger without its password.

#include "ledger/ledger_store.h"
#include "ledger/password_free_text.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct pg_conn;
struct pg_result;

namespace coffer {

struct PgTimeouts {
    int connectSeconds = 10;                     // unless the URI sets connect_timeout
    std::chrono::milliseconds statement{60'000}; // the server's statement_timeout
    std::chrono::milliseconds deadline{70'000};  // this side's limit on any one call
};

// A failed call: the message for the user, on one line and without a password whatever libpq's part of
// it holds (each password the connection was given, `given`, starred wherever it stands), and the
// server's SQLSTATE ("" when it gave none).
class PgError : public LedgerError {
  public:
    PgError(const std::string& message, std::string sqlState, const std::vector<std::string>& given = {})
        : LedgerError(KindOf(sqlState), WithoutPasswords(message, given)), sqlState_(std::move(sqlState)) {}
    PgError(LedgerErrorKind kind, const std::string& message, std::string sqlState,
            const std::vector<std::string>& given = {})
        : LedgerError(kind, WithoutPasswords(message, given)), sqlState_(std::move(sqlState)) {}
    const std::string& sqlState() const { return sqlState_; }

  private:
    // The kind of a server's SQLSTATE.
    static LedgerErrorKind KindOf(std::string_view sqlState);
    std::string sqlState_;
};

// A ledger's URI as messages name it: the password, wherever the URI put it, left out.
std::string PgDisplayName(const std::string& uri);

// Parameters of one statement, all sent in binary: bigint and bytea.
class PgParams {
  public:
    PgParams& add(std::int64_t value);
    PgParams& add(const std::optional<std::int64_t>& value);
    PgParams& add(std::string_view bytes);
    // A null of the type the statement gives the parameter.
    PgParams& add(std::nullopt_t);

  private:
    friend class PgConnection;
    std::vector<std::string> values_;
    std::vector<bool> null_;
    std::vector<unsigned> types_;
};

// A statement's rows, read in binary: integer columns must be bigint.
class PgResult {
  public:
    explicit PgResult(pg_result* result) : result_(result) {}
    ~PgResult();
    PgResult(PgResult&& other) noexcept : result_(std::exchange(other.result_, nullptr)) {}
    PgResult(const PgResult&) = delete;
    PgResult& operator=(const PgResult&) = delete;

    int rows() const;
    bool isNull(int row, int column) const;
    std::int64_t integer(int row, int column) const;
    std::optional<std::int64_t> optionalInteger(int row, int column) const;
    std::string_view bytes(int row, int column) const;

  private:
    pg_result* result_;
};

class PgConnection {
  public:
    // Connects as libpq does (service files and ~/.pgpass included); read-only sessions write nothing.
    PgConnection(const std::string& uri, bool readOnly, const PgTimeouts& timeouts);
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // One or more statements without parameters or rows.
    void execute(const std::string& sql) { run(sql, true); }
    PgResult query(const std::string& sql, const PgParams& params = {});
    // COPY ... FROM STDIN with the data in COPY's binary format.
    void copyIn(const std::string& sql, std::string_view data);
    const std::string& name() const { return name_; }
    // Added to the message of a call the server refuses for lack of a right: how to give it.
    void setRightsHint(std::string hint) { rightsHint_ = std::move(hint); }
    // Every call but those of a transaction's begin and end asks `stop` as it starts, and now and then
    // while it waits for the server (a copy's data included): true fails the call, cancelled on the server,
    // with a PgError. A read no one wants any more gives way to the next; an add ends, to be rolled back.
    // Gives back what was asked before.
    std::function<bool()> stopCallsWhen(std::function<bool()> stop) {
        return std::exchange(stopWhen_, std::move(stop));
    }
    // Called as each call begins, while set (see LedgerStore::beforeEachStatement).
    void beforeEachCall(std::function<void()> hook) { beforeCall_ = std::move(hook); }
    // Throws a PgError: "what" failed, and why.
    [[noreturn]] void fail(const std::string& what, const std::string& reason, std::string sqlState = {}) const;
    // Whether a transaction is open on the connection; throws a PgError where one failed, or the
    // connection is lost.
    [[nodiscard]] bool inTransaction() const;
    // A name for a cursor that no other of the connection has.
    std::string cursorName() { return "rows" + std::to_string(++cursors_); }

  private:
    friend class PgTransaction;    // whose begin and end no stop may cut short
    friend class PostgresListener; // which reads the connection's notices as they come
    void run(const std::string& sql, bool stoppable);
    void startCall(bool stoppable);
    // Whether stopWhen_ stops the call now: asked while a stoppable call has not stopped; true once.
    bool stopsNow();
    void flush();
    void wait(bool forWrite);
    pg_result* nextResult();
    // The last result of the call; throws for an error.
    pg_result* finish();
    [[noreturn]] void giveUp();
    // Sends the server a cancel request of the call, from a thread of its own: a stopped server never
    // answers one. The future is ready once the server has taken it.
    std::future<void> sendCancel();

    struct Closer {
        void operator()(pg_conn* conn) const;
    };
    std::unique_ptr<pg_conn, Closer> conn_; // closed however the connection ends, its constructor's throws included
    std::string name_;
    std::vector<std::string> passwords_; // those of the URI and of PGPASSWORD, as written and percent-decoded
    std::string rightsHint_;
    PgTimeouts timeouts_;
    std::chrono::steady_clock::time_point deadline_;
    std::function<bool()> stopWhen_;
    std::function<void()> beforeCall_;
    bool stoppable_ = false;     // whether stopWhen_ applies to the call
    bool stopped_ = false;       // whether stopWhen_ stopped the call
    std::future<void> stopSent_; // the cancel request of a call stopped by stopWhen_
    std::uint64_t cursors_ = 0;
};

// A transaction, rolled back unless committed: a Write at READ COMMITTED (an add, an upgrade), or a Read
// that sees one moment of the ledger whatever commits meanwhile (REPEATABLE READ, READ ONLY). A Read begun
// inside another transaction joins it and leaves its end to it; a Write is refused there, since its commit
// would end the other's.
class PgTransaction {
  public:
    enum class Kind { Write, Read };
    explicit PgTransaction(PgConnection& db, Kind kind = Kind::Write);
    ~PgTransaction();
    PgTransaction(const PgTransaction&) = delete;
    PgTransaction& operator=(const PgTransaction&) = delete;
    // A lost connection here leaves the outcome of a Write unknown, which the message says.
    void commit();

  private:
    PgConnection& db_;
    Kind kind_;
    bool open_ = false; // begun here and not ended yet
};

} // namespace coffer
