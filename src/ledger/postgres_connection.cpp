// SPDX-License-Identifier: MIT
#include "ledger/postgres_connection.h"

#include "analysis/text/web_text.h"

#include <endian.h>
#include <libpq-fe.h>
#include <poll.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <tuple>

namespace coffer {
namespace {

constexpr Oid kBigint = 20, kBytea = 17;

using ConninfoOptions = std::unique_ptr<PQconninfoOption, decltype(&PQconninfoFree)>;

ConninfoOptions Parse(const std::string& uri, std::string& error) {
    char* message = nullptr;
    ConninfoOptions options(PQconninfoParse(uri.c_str(), &message), &PQconninfoFree);
    if (message != nullptr) {
        error = message;
        PQfreemem(message);
    }
    return options;
}

std::string Value(const ConninfoOptions& options, std::string_view keyword) {
    for (const PQconninfoOption* option = options.get(); option->keyword != nullptr; ++option)
        if (keyword == option->keyword && option->val != nullptr)
            return option->val;
    return {};
}

// Each password the connection is given: libpq may quote any of them in its messages.
std::vector<std::string> GivenPasswords(const std::string& uri) {
    std::vector<std::string> passwords = UriPasswords(uri);
    if (const char* environment = std::getenv("PGPASSWORD"); environment != nullptr && *environment != '\0')
        passwords.insert(passwords.end(), {environment, PercentDecode(environment)});
    return passwords;
}

} // namespace

std::string PgDisplayName(const std::string& uri) {
    std::string error;
    const ConninfoOptions options = Parse(uri, error);
    // One libpq cannot read goes without its password parameters: a "password=" kept would take in what
    // a message adds after the name.
    if (!options)
        return WithoutPasswords(UriWithoutPassword(uri));
    const std::string user = Value(options, "user"), host = Value(options, "host"), port = Value(options, "port");
    const std::string userPart = user.empty() ? "" : user + "@", dbname = Value(options, "dbname");
    if (host.starts_with('/')) // a Unix socket's folder
        return WithoutPasswords("postgresql://" + userPart + "/" + dbname + "?host=" + host +
                                (port.empty() ? "" : "&port=" + port));
    return WithoutPasswords("postgresql://" + userPart + host + (port.empty() ? "" : ":" + port) + "/" + dbname);
}

PgParams& PgParams::add(std::int64_t value) {
    const std::uint64_t big = htobe64(static_cast<std::uint64_t>(value));
    values_.emplace_back(reinterpret_cast<const char*>(&big), sizeof big);
    null_.push_back(false);
    types_.push_back(kBigint);
    return *this;
}

PgParams& PgParams::add(const std::optional<std::int64_t>& value) {
    if (value)
        return add(*value);
    values_.emplace_back();
    null_.push_back(true);
    types_.push_back(kBigint);
    return *this;
}

PgParams& PgParams::add(std::nullopt_t) {
    values_.emplace_back();
    null_.push_back(true);
    types_.push_back(0);
    return *this;
}

PgParams& PgParams::add(std::string_view bytes) {
    values_.emplace_back(bytes);
    null_.push_back(false);
    types_.push_back(kBytea);
    return *this;
}

PgResult::~PgResult() {
    PQclear(result_);
}

int PgResult::rows() const {
    return PQntuples(result_);
}

bool PgResult::isNull(int row, int column) const {
    return PQgetisnull(result_, row, column) != 0;
}

std::int64_t PgResult::integer(int row, int column) const {
    // A row or column that is not there, or a NULL, has no eight bytes to read.
    if (PQgetlength(result_, row, column) != sizeof(std::uint64_t))
        throw LedgerError(LedgerErrorKind::Damaged, "the server answered without a whole number where one belongs");
    std::uint64_t big = 0;
    std::memcpy(&big, PQgetvalue(result_, row, column), sizeof big);
    return static_cast<std::int64_t>(be64toh(big));
}

std::optional<std::int64_t> PgResult::optionalInteger(int row, int column) const {
    return isNull(row, column) ? std::nullopt : std::optional(integer(row, column));
}

std::string_view PgResult::bytes(int row, int column) const {
    return {PQgetvalue(result_, row, column), static_cast<std::size_t>(PQgetlength(result_, row, column))};
}

PgConnection::PgConnection(const std::string& uri, bool readOnly, const PgTimeouts& timeouts)
    : name_(PgDisplayName(uri)), passwords_(GivenPasswords(uri)), timeouts_(timeouts) {
    std::string error;
    const ConninfoOptions options = Parse(uri, error);
    if (!options)
        throw PgError(name_ + ": not a connection URI that PostgreSQL reads: " + error, {}, passwords_);
    std::vector<const char*> keywords, values;
    for (const PQconninfoOption* option = options.get(); option->keyword != nullptr; ++option)
        if (option->val != nullptr)
            keywords.push_back(option->keyword), values.push_back(option->val);
    const std::string connectTimeout = std::to_string(timeouts.connectSeconds);
    if (Value(options, "connect_timeout").empty())
        keywords.push_back("connect_timeout"), values.push_back(connectTimeout.c_str());
    keywords.push_back("fallback_application_name"), values.push_back("coffer");
    keywords.push_back(nullptr), values.push_back(nullptr);
    conn_.reset(PQconnectdbParams(keywords.data(), values.data(), 0));
    if (PQstatus(conn_.get()) != CONNECTION_OK) {
        const bool needsPassword = PQconnectionNeedsPassword(conn_.get()) != 0;
        const std::string reason = PQerrorMessage(conn_.get());
        if (needsPassword)
            throw PgError(LedgerErrorKind::PasswordNeeded,
                          name_ + ": cannot connect to the server: the server wants a password: give it in ~/.pgpass "
                                  "or a service file",
                          "08001", passwords_);
        throw PgError(name_ + ": cannot connect to the server: " + reason, "08001", passwords_);
    }
    // The server's notices (a table that exists already) are not for the user.
    PQsetNoticeProcessor(
        conn_.get(), [](void*, const char*) {}, nullptr);
    PQsetnonblocking(conn_.get(), 1);
    execute("SET statement_timeout = " + std::to_string(timeouts.statement.count()) +
            (readOnly ? "; SET default_transaction_read_only = on" : "; SET temp_buffers = '256MB'"));
}

PgConnection::~PgConnection() = default;

void PgConnection::Closer::operator()(pg_conn* conn) const {
    PQfinish(conn);
}

bool PgConnection::inTransaction() const {
    switch (conn_ ? PQtransactionStatus(conn_.get()) : PQTRANS_UNKNOWN) {
    case PQTRANS_IDLE:
        return false;
    case PQTRANS_INTRANS:
        return true;
    case PQTRANS_INERROR:
        fail("cannot read or write the ledger", "a statement of the transaction failed before");
    default:
        fail("cannot read or write the ledger", "the connection to the server was lost", "08006");
    }
}

LedgerErrorKind PgError::KindOf(std::string_view sqlState) {
    if (sqlState == "08001")
        return LedgerErrorKind::ServerRefused;
    if (sqlState.starts_with("08") || sqlState.starts_with("57P"))
        return LedgerErrorKind::ServerLost;
    if (sqlState == "57014")
        return LedgerErrorKind::ServerTimeout;
    if (sqlState == "55P03")
        return LedgerErrorKind::Locked;
    if (sqlState == "42501" || sqlState == "25006")
        return LedgerErrorKind::CannotWrite;
    return LedgerErrorKind::Other;
}

void PgConnection::fail(const std::string& what, const std::string& reason, std::string sqlState) const {
    throw PgError(name_ + ": " + what + ": " + reason, std::move(sqlState), passwords_);
}

void PgConnection::startCall(bool stoppable) {
    if (beforeCall_)
        beforeCall_();
    if (conn_ == nullptr)
        fail("cannot read or write the ledger", "the connection to the server was closed", "08003");
    deadline_ = std::chrono::steady_clock::now() + timeouts_.deadline;
    // A stopped call's cancel request still on its way would stop this call instead.
    if (stopSent_.valid() && stopSent_.wait_until(deadline_) != std::future_status::ready)
        giveUp();
    stopSent_ = {};
    stoppable_ = stoppable && stopWhen_;
    stopped_ = false;
    if (stopsNow())
        fail("cannot read or write the ledger", "the call was stopped");
}

bool PgConnection::stopsNow() {
    if (!stoppable_ || stopped_ || !stopWhen_())
        return false;
    stopped_ = true;
    return true;
}

std::future<void> PgConnection::sendCancel() {
    auto sent = std::make_shared<std::promise<void>>();
    std::future<void> taken = sent->get_future();
    std::thread([cancel = PQgetCancel(conn_.get()), sent] {
        char error[256];
        PQcancel(cancel, error, sizeof error);
        PQfreeCancel(cancel);
        sent->set_value();
    }).detach();
    return taken;
}

void PgConnection::giveUp() {
    std::ignore = sendCancel(); // the connection is closed at once
    conn_.reset();
    fail("cannot read or write the ledger",
         "the server did not answer within " + std::to_string(timeouts_.deadline.count() / 1000) +
             " s; the call was cancelled",
         "57014");
}

void PgConnection::wait(bool forWrite) {
    // How often a call that may be stopped asks whether it is.
    constexpr std::chrono::milliseconds kStopLook{20};
    pollfd socket{PQsocket(conn_.get()), static_cast<short>(POLLIN | (forWrite ? POLLOUT : 0)), 0};
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            giveUp();
        const bool stoppable = stoppable_ && !stopped_;
        const int ready = poll(&socket, 1, static_cast<int>((stoppable ? std::min(left, kStopLook) : left).count()));
        if (ready > 0)
            break;
        if (ready == 0 && stopsNow())
            stopSent_ = sendCancel(); // the call ends with the server's error
        if (ready < 0 && errno != EINTR)
            fail("cannot read or write the ledger", std::strerror(errno));
    }
    if ((socket.revents & POLLIN) != 0 && PQconsumeInput(conn_.get()) == 0)
        fail("cannot read or write the ledger", "the connection to the server was lost", "08006");
}

void PgConnection::flush() {
    for (int left; (left = PQflush(conn_.get())) != 0;) {
        if (left < 0)
            fail("cannot read or write the ledger", "the connection to the server was lost", "08006");
        wait(true);
    }
}

pg_result* PgConnection::nextResult() {
    while (PQisBusy(conn_.get()) != 0)
        wait(false);
    return PQgetResult(conn_.get());
}

pg_result* PgConnection::finish() {
    flush();
    PGresult* last = nullptr;
    PGresult* error = nullptr;
    while (PGresult* result = nextResult()) {
        if (PQresultStatus(result) == PGRES_COPY_IN) {
            PQclear(last);
            return result;
        }
        PGresult*& slot = PQresultStatus(result) == PGRES_FATAL_ERROR && error == nullptr ? error : last;
        PQclear(slot);
        slot = result;
    }
    if (error == nullptr && PQstatus(conn_.get()) == CONNECTION_BAD)
        PQclear(last), fail("cannot read or write the ledger", "the connection to the server was lost", "08006");
    if (error == nullptr)
        return last;
    PQclear(last);
    const char* state = PQresultErrorField(error, PG_DIAG_SQLSTATE);
    const char* message = PQresultErrorField(error, PG_DIAG_MESSAGE_PRIMARY);
    std::string sqlState = state != nullptr ? state : "";
    std::string reason = message != nullptr ? message : PQresultErrorMessage(error);
    PQclear(error);
    if (PQstatus(conn_.get()) == CONNECTION_BAD)
        sqlState = "08006", reason = "the connection to the server was lost (" + reason + ")";
    else if (sqlState == "42501")
        reason += rightsHint_;
    else if (sqlState == "57014" && stopped_)
        reason = "the call was stopped", sqlState.clear();
    else if (sqlState == "57014")
        reason = "the server took longer than " + std::to_string(timeouts_.statement.count() / 1000) + " s";
    fail("cannot read or write the ledger", reason, std::move(sqlState));
}

void PgConnection::run(const std::string& sql, bool stoppable) {
    startCall(stoppable);
    if (PQsendQuery(conn_.get(), sql.c_str()) == 0)
        fail("cannot read or write the ledger", PQerrorMessage(conn_.get()), "08006");
    PQclear(finish());
}

PgResult PgConnection::query(const std::string& sql, const PgParams& params) {
    startCall(true);
    std::vector<const char*> values;
    std::vector<int> lengths, formats(params.values_.size(), 1);
    for (std::size_t i = 0; i < params.values_.size(); ++i) {
        values.push_back(params.null_[i] ? nullptr : params.values_[i].data());
        lengths.push_back(static_cast<int>(params.values_[i].size()));
    }
    if (PQsendQueryParams(conn_.get(), sql.c_str(), static_cast<int>(values.size()), params.types_.data(),
                          values.data(), lengths.data(), formats.data(), 1) == 0)
        fail("cannot read or write the ledger", PQerrorMessage(conn_.get()), "08006");
    return PgResult(finish());
}

void PgConnection::copyIn(const std::string& sql, std::string_view data) {
    startCall(true);
    if (PQsendQuery(conn_.get(), sql.c_str()) == 0)
        fail("cannot read or write the ledger", PQerrorMessage(conn_.get()), "08006");
    PQclear(finish());
    // A stop while the data waits sends a cancel request, which fails the COPY on the server: the rest of
    // the data is not sent, and its end says why.
    constexpr std::size_t kPiece = 1 << 16;
    for (std::size_t sent = 0; sent < data.size() && !stopped_;) {
        const std::size_t size = std::min(kPiece, data.size() - sent);
        const int queued = PQputCopyData(conn_.get(), data.data() + sent, static_cast<int>(size));
        if (queued < 0)
            fail("cannot write the ledger", "the connection to the server was lost", "08006");
        if (queued == 0)
            wait(true), flush();
        else
            sent += size;
    }
    for (int ended; (ended = PQputCopyEnd(conn_.get(), stopped_ ? "stopped" : nullptr)) != 1;) {
        if (ended < 0 && stopped_)
            break; // the server's error ended the COPY already
        if (ended < 0)
            fail("cannot write the ledger", "the connection to the server was lost", "08006");
        wait(true);
    }
    PQclear(finish());
}

PgTransaction::PgTransaction(PgConnection& db, Kind kind) : db_(db), kind_(kind) {
    if (db.inTransaction()) {
        if (kind == Kind::Write)
            db.fail("cannot write the ledger", "a change cannot begin inside another transaction");
        return;
    }
    db.run(kind == Kind::Write ? "BEGIN ISOLATION LEVEL READ COMMITTED"
                               : "BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY",
           false);
    open_ = true;
}

PgTransaction::~PgTransaction() {
    if (!open_)
        return;
    try {
        db_.run("ROLLBACK", false);
    } catch (const PgError&) {
        // A lost connection rolls the transaction back on the server.
    }
}

void PgTransaction::commit() {
    if (!std::exchange(open_, false))
        return;
    try {
        db_.run("COMMIT", false);
    } catch (const PgError& error) {
        if (kind_ == Kind::Read || (!error.sqlState().starts_with("08") && error.sqlState() != "57014"))
            throw;
        throw PgError(std::string(error.what()) +
                          "; whether the change went in is unknown: adding the same again counts nothing twice",
                      error.sqlState());
    }
}

} // namespace coffer
