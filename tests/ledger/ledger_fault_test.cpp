// SPDX-License-Identifier: MIT
// coffer-cli adding to a ledger as a process, under the faults of a real machine: a kill at any moment,
// a file size limit, a read-only file or folder, another program's lock, a damaged file. The ledger
// holds each paste whole or not at all, and a failure says why, with status 2.
#include "genlog/banklog_generator.h"
#include "ledger/ledger_actions.h"
#include "ledger/sqlite_ledger.h"
#include "old_ledger_file.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <tuple>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <grp.h>
#include <map>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>

namespace coffer {
namespace {
namespace fs = std::filesystem;
using testing::ReadFile;
using testing::Start;

// What a reader of the ledger sees: its totals, its pastes and its entries as the analysis reads them.
std::string State(const fs::path& ledger) {
    SqliteLedger store(ledger.string(), SqliteDatabase::Access::ReadOnly);
    return std::to_string(store.totals().entries) + " entries, " + std::to_string(store.pastes().size()) + " pastes\n" +
           std::string(std::string_view(ReadLedgerLog(store, std::nullopt).text));
}

// Every file of the folder by name, with its bytes.
std::map<std::string, std::string> FolderBytes(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        files[entry.path().filename()] = entry.is_symlink()        ? "link"
                                         : entry.is_regular_file() ? ReadFile(entry.path())
                                                                   : "special";
    return files;
}

// Root may write any file: the child runs as nobody, for whom permissions hold.
bool AsOrdinaryUser() {
    return ::geteuid() != 0 || (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0);
}

class LedgerFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::permissions(folder_.path(), fs::perms::group_exec | fs::perms::others_exec, fs::perm_options::add);
        for (const auto& [log, entries] : {std::pair{small_, 500u}, {big_, 20'000u}, {other_, 300u}})
            std::ofstream(log) << bench::GenerateBankLog({.entry_count = entries, .seed = entries});
        ASSERT_EQ(run({"--ledger", ledger_, "--add", small_}).first, 0);
        before_ = State(ledger_);
    }

    // Runs coffer-cli with `args` after `setUp` in the child; its exit status (minus the signal that
    // ended it) and its output.
    std::pair<int, std::string> run(std::vector<std::string> args, const std::function<bool()>& setUp = {}) const {
        args.insert(args.begin(), COFFER_CLI_PATH);
        const fs::path output = folder_ / "output.txt";
        const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int status = 0;
        ::waitpid(Start(args, 0, fd, fd, setUp), &status, 0);
        ::close(fd);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status), ReadFile(output)};
    }

    testing::TempFolder folder_;
    const std::string small_ = folder_ / "small.xml", big_ = folder_ / "big.xml", other_ = folder_ / "other.xml",
                      ledger_ = folder_ / "ledger.sqlite";
    std::string before_; // the ledger of the small log
};

// Waits until the add `pid` has written to the ledger's write-ahead log (true) or has ended (false).
bool AwaitWrite(pid_t pid, const std::string& wal) {
    for (;;) {
        std::error_code error;
        if (const auto size = fs::file_size(wal, error); !error && size > 0)
            return true;
        siginfo_t ended{};
        if (::waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == pid)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

// Kills at random moments: while the add reads its paste, and in every other round while it writes.
TEST_F(LedgerFaults, KillAtAnyMomentOfAnAddLeavesThePasteWholeOrAbsent) {
    const std::string reference = folder_ / "reference.sqlite", killed = folder_ / "killed.sqlite";
    const auto add = [this](const std::string& ledger) {
        return Start({COFFER_CLI_PATH, "--ledger", ledger, "--add", big_, "--quiet"});
    };
    fs::copy_file(ledger_, reference);
    const auto start = std::chrono::steady_clock::now();
    const pid_t first = add(reference);
    ASSERT_TRUE(AwaitWrite(first, reference + "-wal"));
    const auto writing = std::chrono::steady_clock::now();
    int status = 0;
    ::waitpid(first, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    const std::chrono::duration<double> addTime = std::chrono::steady_clock::now() - start,
                                        writeTime = std::chrono::steady_clock::now() - writing;
    const std::string after = State(reference);
    std::mt19937 random(25);
    int cut = 0; // kills that met an add writing (its write-ahead log holds pages)
    for (int round = 0; round < 8; ++round) {
        fs::copy_file(ledger_, killed, fs::copy_options::overwrite_existing);
        fs::remove(killed + "-wal");
        const pid_t pid = add(killed);
        if (round % 2 == 0)
            std::this_thread::sleep_for(addTime * std::uniform_real_distribution(0.2, 1.5)(random));
        else if (AwaitWrite(pid, killed + "-wal"))
            std::this_thread::sleep_for(writeTime * std::uniform_real_distribution(0.0, 0.9)(random));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        cut += WIFSIGNALED(status) && fs::exists(killed + "-wal") && fs::file_size(killed + "-wal") > 0;
        const std::string state = State(killed);
        EXPECT_TRUE(state == before_ || state == after) << "round " << round << ": " << state.substr(0, 30);
        EXPECT_EQ(run({"--ledger", killed, "--info"}).first, 0);
    }
    EXPECT_GE(cut, 2) << "too few kills fell inside an add's writing";
}

// An add or a merge into an older ledger says first, unless quiet, that it brings it up to date; Ctrl-C
// then leaves it as it was, byte for byte: it ends an add at once, and a fetch loop as between fetches.
TEST_F(LedgerFaults, AnUpgradeSaysSoFirstAndCtrlCLeavesTheLedgerAsItWas) {
    const std::string big = folder_ / "big.sqlite", old = folder_ / "old.sqlite";
    ASSERT_EQ(run({"--ledger", big, "--add", big_, "--quiet"}).first, 0);
    const std::string line =
        old + ": bringing the ledger up to date (version 3 to " + std::to_string(LedgerFormatVersion()) + ")\u2026\n";
    const auto writeOld = [&old](const std::string& from) {
        fs::remove(old);
        WriteOldLedgerFile(old, 3, from);
    };
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--ledger", old, "--add", small_},
                                                 {"--ledger", old, "--merge", ledger_},
                                                 {"--ledger", old, "--add", small_, "--quiet"}}) {
        writeOld(ledger_);
        const auto [status, output] = run(args);
        EXPECT_EQ(status, 0) << output;
        EXPECT_EQ(output.starts_with(line), args.back() != "--quiet") << output;
    }
    const std::pair<std::vector<std::string>, bool> stopped[] = {
        {{"--add", small_}, false}, {{"--fetch", "http://127.0.0.1:1/guild-bank-log.xml", "--every", "10s"}, true}};
    for (const auto& [action, endsWithStatus0] : stopped) {
        writeOld(big);
        const std::string before = ReadFile(old), output = folder_ / "upgrade.txt";
        const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> args = {COFFER_CLI_PATH, "--ledger", old};
        args.insert(args.end(), action.begin(), action.end());
        const pid_t pid = Start(args, 0, fd, fd);
        ::close(fd);
        int status = 0;
        while (ReadFile(output).empty() && ::waitpid(pid, &status, WNOHANG) == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        if (::kill(pid, SIGINT) == 0) // not ended yet
            ::waitpid(pid, &status, 0);
        EXPECT_EQ(ReadFile(output), line) << action[0];
        if (endsWithStatus0)
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        else
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
        EXPECT_TRUE(ReadFile(old) == before) << action[0];
    }
}

// Names the file system refuses to look at, as a ledger, a ledger to merge or an output, end with
// status 2 and their reason, never a crash; the ledger stays as it was. The run is an ordinary user's,
// for whom the folder without permissions cannot be entered.
TEST_F(LedgerFaults, PathsTheFileSystemRefusesEndWithTheirReason) {
    const fs::path loop = folder_ / "loop", locked = folder_ / "locked";
    fs::create_symlink(loop, loop);
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::none);
    const std::pair<std::string, std::string> paths[] = {
        {loop.string(), "Too many levels of symbolic links"},
        {(folder_ / std::string(300, 'n')).string(), "File name too long"},
        {(locked / "l.sqlite").string(), "Permission denied"},
    };
    for (const auto& [path, reason] : paths) {
        const std::string ledgerText = "coffer-cli: " + path + ": cannot open the ledger: " + reason + "\n";
        const std::pair<std::vector<std::string>, std::string> commands[] = {
            {{"--ledger", path, "--info"}, ledgerText},
            {{"--ledger", path, "-o", "/dev/null"}, ledgerText},
            {{"--ledger", path, "--add", small_}, ledgerText},
            {{"--ledger", ledger_, "--merge", path}, ledgerText},
            {{small_, "-o", path}, "coffer-cli: Could not write " + path + ": " + reason + "\n"},
        };
        for (const auto& [args, output] : commands)
            EXPECT_EQ(run(args, AsOrdinaryUser), std::pair(2, output)) << args[0] << ' ' << args[2];
    }
    EXPECT_TRUE(fs::is_symlink(loop));
    EXPECT_EQ(State(ledger_), before_);
    fs::permissions(locked, fs::perms::owner_all); // to be removed
}

// A ledger prepared so, the commands run on it with their status and a part of their output. The ledger's
// folder stays byte for byte as it was; a ledger that fails no read holds what it held.
TEST_F(LedgerFaults, FaultsFailWithTheirCauseAndLeaveTheFileAsItWas) {
    const fs::path out = folder_ / "out", readOnly = folder_ / "read-only 100%?#", writable = folder_ / "writable",
                   readOnlyLog = folder_ / "read-only log", full = folder_ / "full";
    for (const fs::path& folder : {out, readOnly, writable, readOnlyLog, full})
        fs::create_directory(folder);
    fs::permissions(out, fs::perms::all);
    fs::permissions(writable, fs::perms::all);
    const rlimit fileSize{1 << 20, 1 << 20};
    const auto unwritable = [](const fs::path& file) {
        fs::permissions(file, fs::perms::owner_write, fs::perm_options::remove);
    };
    const std::vector<std::string> info = {"--info"}, add = {"--add", other_},
                                   report = {"-o", (out / "r.html").string(), "--members", (out / "m.txt").string()};
    const std::string readOnlyText = "the ledger cannot be written (read-only file or folder)";
    const struct {
        fs::path ledger;
        std::function<void(const fs::path&)> prepare;
        std::function<bool()> setUp;
        std::vector<std::tuple<std::vector<std::string>, int, std::string>> commands;
    } cases[] = {
        {full / "l.sqlite",
         {},
         [&] { return ::setrlimit(RLIMIT_FSIZE, &fileSize) == 0; },
         {{{"--add", big_}, 2, "cannot read or write the ledger: File too large"}}},
        {readOnly / "l.sqlite",
         [&](const fs::path& file) {
             fs::permissions(file, fs::perms::all); // only the folder is read-only
             unwritable(readOnly);
         },
         AsOrdinaryUser,
         {{info, 0, "Entries: 500 "}, {report, 0, ""}, {add, 2, readOnlyText}}},
        {writable / "l.sqlite", unwritable, AsOrdinaryUser, {{info, 0, "Entries: 500 "}, {add, 2, readOnlyText}}},
        // The last writer was killed: the committed adds lie in the -wal, and no -shm can be made.
        {readOnlyLog / "l.sqlite",
         [&](const fs::path& file) {
             {
                 SqliteLedger ledger(file, SqliteDatabase::Access::ReadWrite);
                 std::ignore = AddToLedger(ledger, ReadFile(other_), {}, 0);
                 fs::copy_file(file, file.string() + ".killed");
                 fs::copy_file(file.string() + "-wal", file.string() + ".killed-wal");
             }
             fs::rename(file.string() + ".killed", file);
             fs::rename(file.string() + ".killed-wal", file.string() + "-wal");
             for (const fs::path& readable : {file, fs::path(file.string() + "-wal")})
                 fs::permissions(readable, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
             fs::permissions(readOnlyLog, fs::perms::all & ~fs::perms::owner_write & ~fs::perms::group_write &
                                              ~fs::perms::others_write);
         },
         AsOrdinaryUser,
         {{info, 0, "Entries: 800 "}, {report, 0, ""}, {add, 2, readOnlyText}}},
    };
    for (const auto& c : cases) {
        fs::copy_file(ledger_, c.ledger);
        if (c.prepare)
            c.prepare(c.ledger);
        const auto bytes = FolderBytes(c.ledger.parent_path());
        for (const auto& [args, status, output] : c.commands) {
            std::vector<std::string> all = {"--ledger", c.ledger.string()};
            all.insert(all.end(), args.begin(), args.end());
            const auto [actualStatus, actualOutput] = run(all, c.setUp);
            EXPECT_EQ(actualStatus, status) << c.ledger << ' ' << args[0] << ": " << actualOutput;
            EXPECT_NE(actualOutput.find(output), std::string::npos) << actualOutput;
        }
        EXPECT_TRUE(FolderBytes(c.ledger.parent_path()) == bytes) << c.ledger << " or a file beside it was written";
        if (!c.prepare) {
            EXPECT_EQ(State(c.ledger), before_) << c.ledger;
        }
    }
    for (const fs::path& folder : {readOnly, readOnlyLog}) // to be removed
        fs::permissions(folder, fs::perms::owner_write, fs::perm_options::add);
}

// Files crafted to poison, hang or be taken for a ledger, each opened by the commands that read or write
// a ledger: the exact message and status, and the file's folder byte for byte as before. A file is data,
// never code: its schema must be the one this program writes for its version.
TEST_F(LedgerFaults, HostileFilesAreRefusedAndLeftAsTheyWere) {
    enum Form { Info, Report, Merge, Add, Entries, Every };
    const fs::path out = folder_ / "out";
    fs::create_directory(out);
    const auto sql = [](const std::string& statements, bool inLog = false) {
        return [=](const fs::path& file) {
            Craft(file, statements, inLog);
            fs::remove(file.string() + "-shm"); // a file passed on with its log, never opened here
        };
    };
    const auto fresh = [](const std::string& statements) {
        return [=](const fs::path& file) {
            fs::remove(file);
            Craft(file, statements);
        };
    };
    // The ledger as the first version wrote it, then the statements.
    const auto version1 = [](const std::string& statements) {
        return [=](const fs::path& file) {
            WriteOldLedgerFile(file.string() + "1", 1, file.string(), statements);
            fs::rename(file.string() + "1", file);
            fs::remove(file.string() + "-wal");
            fs::remove(file.string() + "-shm");
        };
    };
    // Bytes of the file written over, as another program (or a disk) may.
    const auto bytesAt = [](std::streamoff at, const std::string& bytes) {
        return [=](const fs::path& file) {
            std::fstream(file, std::ios::in | std::ios::out | std::ios::binary).seekp(at) << bytes;
        };
    };
    const auto hotJournal = [](const fs::path& file) {
        std::ofstream(file.string() + "-journal", std::ios::binary)
            << std::string("\xd9\xd5\x05\xf9\x20\xa1\x63\xd7", 8) << std::string(1024, '\0');
    };
    // A page of an index that a merge never reads, written over: only a check of every page sees it.
    const auto indexPageOverwritten = [](const fs::path& file) {
        std::int64_t page = 0, pageSize = 0;
        {
            SqliteDatabase db(file, SqliteDatabase::Access::ReadOnly, {});
            SqliteStatement root(db, "SELECT rootpage FROM sqlite_schema WHERE name = 'entry_by_member'");
            page = root.step() ? root.integer(0) : 0;
            SqliteStatement size(db, "PRAGMA page_size");
            pageSize = size.step() ? size.integer(0) : 0;
        }
        for (const char* companion : {"-wal", "-shm"})
            fs::remove(file.string() + companion);
        std::fstream(file, std::ios::in | std::ios::out | std::ios::binary).seekp((page - 1) * pageSize)
            << std::string(static_cast<std::size_t>(pageSize), '\xa5');
    };
    const std::string foreignHeader = " is damaged: its header is not one this program writes.";
    const std::string damaged = " is damaged: an entry's copies are not a whole number from 1 to 1,000,000";
    const std::string readFailure = ": cannot read or write the ledger: the file is damaged";
    const struct {
        std::string name;
        std::function<void(const fs::path&)> prepare;
        // The message: after the file's name where it starts with ' ' or ':', else a part of the output.
        std::vector<std::tuple<Form, int, std::string>> expected;
    } cases[] = {
        {"trigger",
         sql("CREATE TRIGGER wipe AFTER INSERT ON entry BEGIN DELETE FROM entry WHERE id % 2 = 0; END"),
         {{Every, 2, " is not a Coffer ledger (it holds trigger wipe)."}}},
        {"trigger in the log",
         sql("CREATE TRIGGER wipe AFTER INSERT ON entry BEGIN DELETE FROM entry; END", true),
         {{Every, 2, " is not a Coffer ledger (it holds trigger wipe)."}}},
        {"endless view",
         sql("CREATE VIEW endless AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT x FROM n"),
         {{Every, 2, " is not a Coffer ledger (it holds view endless)."}}},
        {"extra table",
         sql("CREATE TABLE notes (text TEXT)"),
         {{Every, 2, " is not a Coffer ledger (it holds table notes)."}}},
        {"changed column",
         sql("ALTER TABLE paste ADD COLUMN note TEXT"),
         {{Every, 2, " is not a Coffer ledger (it holds table paste)."}}},
        {"missing index",
         sql("DROP INDEX entry_by_member"),
         {{Every, 2, " is not a Coffer ledger (it lacks index entry_by_member)."}}},
        {"foreign table in a version-0 file",
         fresh("PRAGMA application_id = 1131367527; CREATE TABLE accounts (a)"),
         {{Every, 2, " is not a Coffer ledger (it holds table accounts)."}}},
        {"foreign tables", fresh("CREATE TABLE accounts (name TEXT)"), {{Every, 2, " is not a Coffer ledger."}}},
        {"a name that is not UTF-8",
         fresh("PRAGMA application_id = 1131367527; CREATE TABLE \"acc\xff\xfeunts\" (a)"),
         {{Every, 2, " is not a Coffer ledger (it holds table ?)."}}},
        {"foreign application id on an empty file",
         fresh("PRAGMA application_id = 12345"),
         {{Every, 2, " is not a Coffer ledger (it belongs to another program)."}}},
        {"another program's version on an empty file",
         fresh("PRAGMA user_version = 77"),
         {{Every, 2, " is not a Coffer ledger."}}},
        {"schema format 1", bytesAt(44, std::string("\0\0\0\1", 4)), {{Every, 2, foreignHeader}}},
        {"schema format 0 with tables", bytesAt(44, std::string(4, '\0')), {{Every, 2, foreignHeader}}},
        {"UTF-16",
         fresh("PRAGMA encoding = 'UTF-16le'; PRAGMA application_id = 1131367527; CREATE TABLE accounts (a)"),
         {{Every, 2, foreignHeader}}},
        {"reserved bytes", bytesAt(20, "\x08"), {{Every, 2, foreignHeader}}},
        {"a hot journal of another program",
         hotJournal,
         {{Every, 2,
           " was left half-written by another program (" + (folder_ / "a hot journal of another program").string() +
               "/ledger.sqlite-journal); it was not opened."}}},
        {"an index page written over", indexPageOverwritten, {{Merge, 2, readFailure}}},
        {"newer version",
         sql("PRAGMA user_version = 99"),
         {{Every, 2,
           " is a ledger of a newer Coffer (version 99); this program reads ledgers up to version " +
               std::to_string(LedgerFormatVersion()) + "."}}},
        {"named pipe",
         [](const fs::path& file) {
             fs::remove(file);
             ::mkfifo(file.c_str(), 0644);
         },
         {{Every, 2, " is not a Coffer ledger."}}},
        {"not a database",
         [](const fs::path& file) { std::ofstream(file) << "Not a database at all, but long enough for a header.\n"; },
         {{Every, 2, " is not a Coffer ledger."}}},
        {"truncated",
         [](const fs::path& file) { fs::resize_file(file, fs::file_size(file) / 2); },
         {{Every, 2, ": cannot read the ledger: the file is damaged"}}},
        {"damaged",
         [](const fs::path& file) {
             // Every page but the first and the last: whatever a form reads first.
             std::fstream(file, std::ios::in | std::ios::out | std::ios::binary).seekp(16384)
                 << std::string(fs::file_size(file) - 32768, '\xa5');
         },
         {{Every, 2, readFailure}}},
        {"text in a count column of version 1",
         version1("UPDATE entry SET copies = 'many' WHERE id = 1"),
         {{Every, 2, damaged}}},
        {"no copies",
         sql("UPDATE entry SET copies = 0 WHERE id = 1"),
         {{Info, 0, "Entries: 500 "}, {Report, 2, damaged}, {Merge, 2, damaged}, {Entries, 2, damaged}}},
        {"2^63 - 1 copies", // listed one by one, without end
         sql("UPDATE entry SET copies = 9223372036854775807 WHERE id = 1"),
         {{Report, 2, damaged}, {Entries, 2, damaged}}},
        {"2^62 copies twice in version 1",
         version1("UPDATE entry SET copies = 4611686018427387904 WHERE id IN (1, 2)"),
         {{Every, 2, damaged}}},
        {"copies in the totals",
         sql("UPDATE entry_totals SET copies = 'many'"),
         {{Info, 2, " is damaged: its totals are not one row of whole numbers"}}},
        {"no totals",
         sql("DELETE FROM entry_totals"),
         {{Info, 2, " is damaged: its totals are not one row of whole numbers"}}},
        {"an identity twice",
         sql("INSERT INTO entry (key, copies, ts, order_time, order_rank, text) "
             "SELECT key || 'x', copies, ts, order_time, order_rank, text FROM entry WHERE id = 1"),
         {{Merge, 2, " is damaged: two entries have one identity"}}},
        {"a paste out of order",
         sql("UPDATE paste SET first_ts = last_ts + 1"),
         {{Merge, 2, " is damaged: a paste's first and last times are not times in order"}}},
        {"a paste of negative count",
         sql("UPDATE paste SET entries = -1"),
         {{Merge, 2, " is damaged: a paste's counts are negative"}}},
        {"NUL in the guild's name",
         sql("UPDATE guild SET name = 'Iron' || char(0) || 'Lanterns' || char(10)"),
         {{Info, 0, "Guild: Iron\xEF\xBF\xBDLanterns  of "}, {Add, 2, "Iron\xEF\xBF\xBDLanterns  of "}}},
    };
    for (const auto& c : cases) {
        const fs::path folder = folder_ / c.name, file = folder / "ledger.sqlite";
        fs::create_directory(folder);
        fs::copy_file(ledger_, file);
        c.prepare(file);
        const auto before = FolderBytes(folder);
        for (auto [form, status, message] : c.expected) {
            for (const Form each : form == Every ? std::vector{Info, Report, Merge, Add} : std::vector{form}) {
                fs::remove(out / "target.sqlite");
                const std::vector<std::vector<std::string>> args = {
                    {"--ledger", file, "--info"},
                    {"--ledger", file, "-o", out / "r.html"},
                    {"--ledger", out / "target.sqlite", "--merge", file},
                    {"--ledger", file, "--add", other_},
                    {"--ledger", file, "--entries", out / "entries.tsv"}};
                const auto [actualStatus, output] = run(args[each]);
                EXPECT_EQ(actualStatus, status) << c.name << ", form " << each << ": " << output;
                if (message.starts_with(' ') || message.starts_with(':'))
                    EXPECT_EQ(output, "coffer-cli: " + file.string() + message + "\n") << c.name << ", form " << each;
                else
                    EXPECT_NE(output.find(message), std::string::npos) << c.name << ": " << output;
            }
        }
        EXPECT_TRUE(FolderBytes(folder) == before) << c.name << ": the file or its folder changed";
    }
}

// Adds wait for another program's write lock and go in once it is released, two at once both; still
// locked after the store's time-out, an add fails and says why.
TEST_F(LedgerFaults, AddsWaitForTheLockAndBothOfTwoAtOnceGoIn) {
    const std::string reference = folder_ / "reference.sqlite";
    fs::copy_file(ledger_, reference);
    for (const std::string& log : {big_, other_})
        ASSERT_EQ(run({"--ledger", reference, "--add", log}).first, 0);
    SqliteDatabase holder(ledger_, SqliteDatabase::Access::ReadWrite, {});
    holder.execute("BEGIN IMMEDIATE");
    // Each add tells once that it is waiting for the lock; the lock is released when both are.
    std::atomic<int> waiting = 0;
    std::vector<std::future<void>> adds;
    for (const std::string& log : {big_, other_})
        adds.push_back(std::async(std::launch::async, [&, log] {
            bool told = false;
            SqliteLedger ledger(ledger_, SqliteDatabase::Access::ReadWrite, [&] {
                waiting += std::exchange(told, true) ? 0 : 1;
                return true;
            });
            std::ignore = AddToLedger(ledger, ReadFile(log), log, 0);
        }));
    const auto oneEnded = [&adds] {
        return std::ranges::any_of(adds, [](const std::future<void>& add) {
            return add.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        });
    };
    while (waiting < 2 && !oneEnded())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(waiting, 2) << "both adds should wait for the lock";
    holder.execute("ROLLBACK");
    for (std::future<void>& add : adds)
        EXPECT_NO_THROW(add.get());
    EXPECT_EQ(State(ledger_), State(reference));

    holder.execute("BEGIN IMMEDIATE");
    SqliteLedger ledger(ledger_, SqliteDatabase::Access::ReadWrite, {}, std::chrono::milliseconds(100));
    try {
        std::ignore = AddToLedger(ledger, ReadFile(small_), {}, 0);
        ADD_FAILURE() << "added to a locked ledger";
    } catch (const LedgerError& error) {
        EXPECT_NE(
            std::string(error.what()).find("another program kept the ledger locked for more than 100 milliseconds"),
            std::string::npos)
            << error.what();
        EXPECT_EQ(error.kind(), LedgerErrorKind::BusyTimeout);
    }
}

} // namespace
} // namespace coffer
