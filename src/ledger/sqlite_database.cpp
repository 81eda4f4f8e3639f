// SPDX-License-Identifier: MIT
#include "ledger/sqlite_database.h"

#include "analysis/text/web_text.h"
#include "ledger/file_change_look.h"
#include "ledger/ledger_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <utility>

namespace coffer {
namespace {

std::string WaitText(std::chrono::milliseconds wait) {
    return wait >= std::chrono::seconds(1) ? std::to_string(wait.count() / 1000) + " seconds"
                                           : std::to_string(wait.count()) + " milliseconds";
}

// The cause in the user's words; the system's error number says more than SQLite's "disk I/O error".
std::string Reason(sqlite3* db, int code, std::chrono::milliseconds busyTimeout) {
    // SQLite keeps the error number only where the failing call reported it: after a failed write of
    // the write-ahead log it says 0, while errno still holds the cause (EFBIG past a file size limit).
    const int lastError = errno;
    int systemError = db != nullptr ? sqlite3_system_errno(db) : 0;
    if (systemError == 0 && (code & 0xff) == SQLITE_IOERR)
        systemError = lastError;
    switch (code & 0xff) {
    case SQLITE_FULL: // said without an error number when the disk is full
        return std::strerror(systemError != 0 ? systemError : ENOSPC);
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "another program kept the ledger locked for more than " + WaitText(busyTimeout);
    case SQLITE_READONLY:
        return "the ledger cannot be written (read-only file or folder)";
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return "the file is damaged";
    case SQLITE_INTERRUPT:
        return "the statement was stopped";
    default:
        break;
    }
    if (systemError != 0)
        return std::strerror(systemError);
    return db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
}

LedgerErrorKind KindOf(int code) {
    switch (code & 0xff) {
    case SQLITE_BUSY:
        return LedgerErrorKind::BusyTimeout;
    case SQLITE_LOCKED:
        return LedgerErrorKind::Locked;
    case SQLITE_READONLY:
        return LedgerErrorKind::CannotWrite;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return LedgerErrorKind::Damaged;
    default:
        return LedgerErrorKind::Other;
    }
}

// The file as a URI with these parameters.
std::string FileUri(const std::string& path, const char* parameters) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error)
        throw LedgerError(LedgerErrorKind::Other, path + ": cannot open the ledger: " + error.message());
    return "file:" + PercentEncode(absolute.string(), SpaceAs::Percent20) + "?" + parameters;
}

// A read stops past 16 steps of SQLite's virtual machine for each byte of the file and its log, and
// never before 100 million (about a second): a full read of a ledger takes well under one step a byte.
// The bound is counted in looks, of SqliteDatabase::kStepsPerLook steps each.
constexpr std::uint64_t kMinimumReadTicks = 100'000, kReadTicksPerKilobyte = 16;

} // namespace

bool LedgerFileUnwritable(const std::string& path) {
    const std::filesystem::path file(path);
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
    std::error_code error;
    return ::access(folder.c_str(), W_OK) != 0 ||
           (std::filesystem::exists(file, error) && ::access(file.c_str(), W_OK) != 0);
}

SqliteDatabase::SqliteDatabase(const std::string& path, Access access, std::chrono::milliseconds busyTimeout,
                               LockWait lockWait)
    : path_(path), busyTimeout_(busyTimeout), lockWait_(std::move(lockWait)) {
    // A name the system cannot look at (a link loop, a name too long, a folder that cannot be entered)
    // is refused with its own reason before any test of whether it may be written.
    std::error_code error;
    const bool logBeside = std::filesystem::exists(path, error) && std::filesystem::exists(path + "-wal", error);
    if (error)
        throw LedgerError(LedgerErrorKind::Other, path + ": cannot open the ledger: " + error.message());
    // A ledger this program cannot write is not opened for writing: SQLite would open it read-only and
    // leave the files of a write-ahead log beside it, or fail to make them, before it refused the add.
    if (access == Access::ReadWrite && path != ":memory:" && LedgerFileUnwritable(path))
        throw LedgerError(LedgerErrorKind::CannotWrite,
                          path + ": cannot read or write the ledger: " + Reason(nullptr, SQLITE_READONLY, busyTimeout));
    // Reading opens the file for writing where the system allows it, but never creates it: the last
    // connection to close then folds the write-ahead log back and removes it and its index file.
    std::string name = path;
    int flags = access == Access::ReadWrite ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READWRITE;
    const char* vfs = nullptr;
    // Read without locks: as immutable while no write-ahead log lies beside the file; with one, through
    // the VFS without locks in exclusive mode, which keeps the log's index in memory and reads its
    // committed content, on a handle that cannot write (exclusive mode on one that can would fold the
    // log into the file as it closes). Were another program to write the file meanwhile, this
    // connection could read stale or half-written pages: so only for a file this program cannot write,
    // or one to inspect, and checkUnchanged() turns such a read into an error.
    const bool unlocked = access == Access::Inspect || (access == Access::ReadOnly && LedgerFileUnwritable(path));
    if (unlocked) {
        name = FileUri(path, logBeside ? "mode=ro" : "immutable=1");
        flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
        vfs = logBeside ? "unix-none" : nullptr;
        unlockedStamp_ = LedgerFileLook(path);
    }
    const int code = sqlite3_open_v2(name.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, vfs);
    if (code != SQLITE_OK) {
        const std::string reason = Reason(db_, code, busyTimeout);
        sqlite3_close_v2(db_); // the constructor throws: no destructor closes it
        throw LedgerError(KindOf(code), path + ": cannot open the ledger: " + reason);
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_handler(db_, &SqliteDatabase::waitForLock, this);
    sqlite3_progress_handler(db_, kStepsPerLook, &SqliteDatabase::lookAtSteps, this);
    // A file is data, never code: no writes to the schema or to SQLite's own tables, and no function
    // with side effects called from a view or trigger of the file.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    // Not even that until the file is known to be a ledger: a file of another program is never written.
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    // Nothing of the file is mapped into memory, whatever SQLite was built to do: a mapped page that
    // another program truncated, or that a network share fails to read, ends the program with SIGBUS
    // where a read gives an error. (A writer's adds are no faster with the file mapped.)
    execute("PRAGMA mmap_size = 0");
    if (access == Access::ReadWrite)
        return;
    std::uint64_t kilobytes = 0;
    for (const std::string& file : {path, path + "-wal"}) {
        const std::uintmax_t size = std::filesystem::file_size(file, error);
        kilobytes += error ? 0 : size / 1024;
    }
    readTickLimit_ = std::max(kMinimumReadTicks, kilobytes * kReadTicksPerKilobyte);
    execute("PRAGMA query_only = 1");
    if (unlocked && logBeside)
        execute("PRAGMA locking_mode = EXCLUSIVE");
}

int SqliteDatabase::lookAtSteps(void* self) {
    auto& db = *static_cast<SqliteDatabase*>(self);
    const bool pastBound = ++db.readTicks_ > db.readTickLimit_ && db.readTickLimit_ > 0;
    const bool meterStopped = db.meter_ != nullptr && !db.meter_->advance(kStepsPerLook);
    return pastBound || meterStopped || (db.stopWhen_ && db.stopWhen_()) ? 1 : 0;
}

void SqliteDatabase::startStatement() {
    if (beforeStatement_)
        beforeStatement_();
    readTicks_ = 0;
    if (stopWhen_ && stopWhen_())
        fail("cannot read or write the ledger", SQLITE_INTERRUPT);
}

bool SqliteDatabase::changedSinceOpen() const {
    return !unlockedStamp_.empty() && LedgerFileLook(path_) != unlockedStamp_;
}

void SqliteDatabase::checkUnchanged() const {
    if (changedSinceOpen())
        throw LedgerError(LedgerErrorKind::Other, path_ + " changed while it was read; read it again.");
}

int SqliteDatabase::waitForLock(void* self, int tries) {
    auto& db = *static_cast<SqliteDatabase*>(self);
    const auto now = std::chrono::steady_clock::now();
    if (tries == 0)
        db.waitStart_ = now;
    const auto waited = now - db.waitStart_;
    if (waited >= db.busyTimeout_ || (waited >= std::chrono::seconds(1) && db.lockWait_ && !db.lockWait_()))
        return 0;
    sqlite3_sleep(tries < 10 ? 2 : 20);
    return 1;
}

void SqliteDatabase::checkpointOnClose() {
    sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
}

SqliteDatabase::~SqliteDatabase() {
    sqlite3_close_v2(db_);
}

void SqliteDatabase::execute(const char* sql) {
    startStatement();
    if (const int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr); code != SQLITE_OK)
        fail("cannot read or write the ledger", code);
}

void SqliteDatabase::endRead(bool completed) {
    // Not stopped as a statement may be: the transaction ends whatever is asked.
    const int code = completed ? sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) : SQLITE_OK;
    if (sqlite3_get_autocommit(db_) == 0) // still open: given up, or its commit failed
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    if (code != SQLITE_OK)
        fail("cannot read the ledger", code);
}

void SqliteDatabase::fail(const std::string& what, int code) const {
    if ((code & 0xff) == SQLITE_INTERRUPT && readTicks_ > readTickLimit_ && readTickLimit_ > 0)
        throw LedgerError(LedgerErrorKind::Damaged,
                          path_ + " took too long to read: it may be damaged or not a Coffer ledger.");
    const std::string reason = Reason(db_, code, busyTimeout_); // first, while errno is the failure's
    throw LedgerError(KindOf(code), path_ + ": " + what + ": " + reason);
}

SqliteStatement::SqliteStatement(SqliteDatabase& db, const char* sql) : db_(db) {
    db.startStatement();
    if (const int code = sqlite3_prepare_v2(db.handle(), sql, -1, &statement_, nullptr); code != SQLITE_OK)
        db.fail("cannot read the ledger", code);
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(statement_);
}

int SqliteStatement::parameterCount() const {
    return sqlite3_bind_parameter_count(statement_);
}

SqliteStatement& SqliteStatement::bind(int index, std::int64_t value) {
    sqlite3_bind_int64(statement_, index, value);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, const std::optional<std::int64_t>& value) {
    if (value)
        return bind(index, *value);
    sqlite3_bind_null(statement_, index);
    return *this;
}

SqliteStatement& SqliteStatement::bindText(int index, std::string_view text) {
    sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_STATIC, SQLITE_UTF8);
    return *this;
}

SqliteStatement& SqliteStatement::bindBlob(int index, std::string_view bytes) {
    // A zero-length blob needs a pointer that is not null to stay a blob.
    sqlite3_bind_blob64(statement_, index, bytes.empty() ? "" : bytes.data(), bytes.size(), SQLITE_STATIC);
    return *this;
}

bool SqliteStatement::step() {
    const int code = sqlite3_step(statement_);
    if (code == SQLITE_ROW)
        return true;
    if (code != SQLITE_DONE)
        db_.fail("cannot read or write the ledger", code);
    db_.checkUnchanged();
    return false;
}

void SqliteStatement::reset() {
    db_.startStatement();
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

std::int64_t SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

std::optional<std::int64_t> SqliteStatement::optionalInteger(int column) const {
    return isNull(column) ? std::nullopt : std::optional(integer(column));
}

std::string_view SqliteStatement::bytes(int column) const {
    const void* data = sqlite3_column_blob(statement_, column);
    const int size = sqlite3_column_bytes(statement_, column);
    return data == nullptr ? std::string_view() : std::string_view(static_cast<const char*>(data), size);
}

bool SqliteStatement::isNull(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

bool SqliteStatement::isInteger(int column) const {
    return sqlite3_column_type(statement_, column) == SQLITE_INTEGER;
}

SqliteTransaction::SqliteTransaction(SqliteDatabase& db) : db_(db) {
    db.execute("BEGIN IMMEDIATE");
}

SqliteTransaction::~SqliteTransaction() {
    if (open_)
        sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteTransaction::commit() {
    db_.execute("COMMIT");
    open_ = false;
}

} // namespace coffer
