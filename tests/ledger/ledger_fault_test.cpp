// coffer-cli adding to a ledger as a process, under the faults of a real machine: a kill at any moment,
// a file size limit, a read-only file or folder, another program's lock, a damaged file. The ledger
// holds each paste whole or not at all, and a failure says why, with status 2.
#include "banklog_generator.h"
#include "ledger/ledger_actions.h"
#include "ledger/sqlite_ledger.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <random>
#include <sys/resource.h>
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

// Root may write any file: the child runs as nobody, for whom permissions hold.
bool AsOrdinaryUser() {
    return ::geteuid() != 0 || (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0);
}

class LedgerFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::permissions(folder_.path(), fs::perms::group_exec | fs::perms::others_exec, fs::perm_options::add);
        for (const auto& [log, entries] : {std::pair{small_, 500}, {big_, 20'000}, {other_, 300}}) {
            bench::BankLogGeneratorOptions options;
            options.entry_count = options.seed = entries;
            std::ofstream(log) << bench::GenerateBankLog(options);
        }
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

TEST_F(LedgerFaults, KillAtAnyMomentOfAnAddLeavesThePasteWholeOrAbsent) {
    const std::string reference = folder_ / "reference.sqlite", killed = folder_ / "killed.sqlite";
    fs::copy_file(ledger_, reference);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(run({"--ledger", reference, "--add", big_}).first, 0);
    const std::chrono::duration<double> addTime = std::chrono::steady_clock::now() - start;
    const std::string after = State(reference);
    std::mt19937 random(25);
    for (int round = 0; round < 6; ++round) {
        fs::copy_file(ledger_, killed, fs::copy_options::overwrite_existing);
        const pid_t pid = Start({COFFER_CLI_PATH, "--ledger", killed, "--add", big_, "--quiet"});
        std::this_thread::sleep_for(addTime * std::uniform_real_distribution(0.2, 1.5)(random));
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        const std::string state = State(killed);
        EXPECT_TRUE(state == before_ || state == after) << "round " << round << ": " << state.substr(0, 30);
        EXPECT_EQ(run({"--ledger", killed, "--info"}).first, 0);
    }
}

// A ledger prepared so, the commands run on it with their status and a part of their output. Whatever
// fails leaves the file's bytes as they were; a ledger that fails no read holds what it held.
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

TEST_F(LedgerFaults, FaultsFailWithTheirCauseAndLeaveTheFileAsItWas) {
    const fs::path out = folder_ / "out", readOnly = folder_ / "read-only 100%?#", writable = folder_ / "writable";
    for (const fs::path& folder : {out, readOnly, writable})
        fs::create_directory(folder);
    fs::permissions(out, fs::perms::all);
    fs::permissions(writable, fs::perms::all);
    const rlimit fileSize{1 << 20, 1 << 20};
    const auto unwritable = [](const fs::path& file) {
        fs::permissions(file, fs::perms::owner_write, fs::perm_options::remove);
    };
    const std::vector<std::string> info = {"--info"}, add = {"--add", other_},
                                   report = {"-o", (out / "r.html").string(), "--members", (out / "m.txt").string()};
    const std::string damaged = "the file is damaged", notOurs = "is not a Coffer ledger",
                      readOnlyText = "the ledger cannot be written (read-only file or folder)";
    const struct {
        fs::path ledger;
        std::function<void(const fs::path&)> prepare;
        std::function<bool()> setUp;
        std::vector<std::tuple<std::vector<std::string>, int, std::string>> commands;
    } cases[] = {
        {folder_ / "full.sqlite",
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
        {folder_ / "damaged.sqlite",
         [](const fs::path& file) {
             std::fstream(file, std::ios::in | std::ios::out | std::ios::binary).seekp(fs::file_size(file) / 2 - 32768)
                 << std::string(65536, '\xa5');
         },
         {},
         {{info, 2, damaged}, {{"--add", small_}, 2, damaged}, {report, 2, damaged}}},
        {folder_ / "truncated.sqlite",
         [](const fs::path& file) { fs::resize_file(file, fs::file_size(file) / 2); },
         {},
         {{info, 2, damaged}, {add, 2, damaged}}},
        {folder_ / "notes.txt",
         [](const fs::path& file) { std::ofstream(file) << "Not a database at all, but long enough for a header.\n"; },
         {},
         {{info, 2, notOurs}, {add, 2, notOurs}}},
        {folder_ / "other.db",
         [](const fs::path& file) {
             fs::remove(file);
             SqliteDatabase(file, SqliteDatabase::Access::ReadWrite, {}).execute("CREATE TABLE accounts (name TEXT)");
         },
         {},
         {{info, 2, notOurs}, {add, 2, notOurs}}},
        {folder_ / "newer.sqlite",
         [](const fs::path& file) {
             SqliteDatabase(file, SqliteDatabase::Access::ReadWrite, {}).execute("PRAGMA user_version = 99");
         },
         {},
         {{info, 2, "of a newer Coffer (version 99)"}, {add, 2, "of a newer Coffer (version 99)"}}},
    };
    for (const auto& c : cases) {
        fs::copy_file(ledger_, c.ledger);
        if (c.prepare)
            c.prepare(c.ledger);
        const std::string bytes = ReadFile(c.ledger);
        for (const auto& [args, status, output] : c.commands) {
            std::vector<std::string> all = {"--ledger", c.ledger.string()};
            all.insert(all.end(), args.begin(), args.end());
            const auto [actualStatus, actualOutput] = run(all, c.setUp);
            EXPECT_EQ(actualStatus, status) << c.ledger << ' ' << args[0] << ": " << actualOutput;
            EXPECT_NE(actualOutput.find(output), std::string::npos) << actualOutput;
        }
        EXPECT_TRUE(ReadFile(c.ledger) == bytes) << c.ledger << " was written";
        if (std::get<1>(c.commands.front()) == 0 || !c.prepare) {
            EXPECT_EQ(State(c.ledger), before_) << c.ledger;
        }
    }
    fs::permissions(readOnly, fs::perms::owner_write, fs::perm_options::add); // to be removed
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
    std::vector<pid_t> adds;
    for (const std::string& log : {big_, other_})
        adds.push_back(Start({COFFER_CLI_PATH, "--ledger", ledger_, "--add", log, "--quiet"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    for (const pid_t pid : adds)
        EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), 0) << "the add should wait for the lock";
    holder.execute("ROLLBACK");
    for (const pid_t pid : adds) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_EQ(State(ledger_), State(reference));

    holder.execute("BEGIN IMMEDIATE");
    SqliteLedger ledger(ledger_, SqliteDatabase::Access::ReadWrite, {}, std::chrono::milliseconds(100));
    try {
        AddToLedger(ledger, ReadFile(small_), {}, 0);
        ADD_FAILURE() << "added to a locked ledger";
    } catch (const LedgerError& error) {
        EXPECT_NE(
            std::string(error.what()).find("another program kept the ledger locked for more than 100 milliseconds"),
            std::string::npos)
            << error.what();
    }
}

} // namespace
} // namespace coffer
