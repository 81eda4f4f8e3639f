// SPDX-License-Identifier: MIT
#include "genlog/banklog_generator.h"
#include "ledger/ledger_actions.h"
#include "ledger/ledger_open.h"
#include "ledger/paste.h"
#include "ledger/postgres_ledger.h"
#include "ledger/postgres_sql.h"
#include "support/child_process.h"
#include "support/pg_test_server.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <tuple>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

namespace coffer {
namespace {

using testing::ReadFile;
using testing::TempFolder;
using testing::TestServer;

pid_t StartCli(std::vector<std::string> args, const std::filesystem::path& errors) {
    args.insert(args.begin(), COFFER_CLI_PATH);
    const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const pid_t pid = testing::Start(args, 0, 1, fd);
    ::close(fd);
    return pid;
}

int ExitStatus(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The member and item tables coffer-cli writes of a log or a ledger (a file or a URI).
std::string Tables(const TempFolder& folder, std::vector<std::string> source) {
    for (const char* file : {"members", "items"})
        source.insert(source.end(), {std::string("--") + file, (folder / file).string()});
    source.insert(source.end(), {"-o", (folder / "report.html").string(), "--quiet"});
    EXPECT_EQ(ExitStatus(StartCli(source, folder / "errors")), 0) << ReadFile(folder / "errors");
    return ReadFile(folder / "members") + ReadFile(folder / "items");
}

// The copies a ledger of the text holds.
std::uint64_t Copies(std::string_view text) {
    std::uint64_t copies = 0;
    for (const PasteEntry& entry : ReadPaste(text).entries)
        copies += entry.copies;
    return copies;
}

std::string WriteLog(const TempFolder& folder, std::size_t entries) {
    const std::string file = (folder / ("log" + std::to_string(entries) + ".xml")).string();
    std::ofstream(file) << bench::GenerateBankLog(
        {.entry_count = entries, .member_count = 40, .item_count = 60, .spread_days = 20});
    return file;
}

// Eight programs at once add overlapping pastes of one log to an empty database, each paste by two of
// them; the ledger, and a ledger file it is merged into, give the log's own tables, byte for byte.
TEST(PostgresLedgerTest, ConcurrentAddsAndMergesGiveTheLogsTables) {
    TempFolder folder;
    TestServer server;
    const std::string log = WriteLog(folder, 3000);
    // Pastes of 200 entries, each starting 150 after the one before, cut at element starts.
    const std::string text = ReadFile(log);
    std::vector<std::string> lines, pastes;
    for (std::size_t start = 0, end = 0; end != std::string::npos; start = end) {
        end = text.find("<banklog ", start + 1);
        lines.push_back(text.substr(start, end == std::string::npos ? end : end - start));
    }
    ASSERT_GT(lines.size(), 2000u);
    for (std::size_t from = 1; from < lines.size(); from += 150) {
        std::string paste = "<?xml version=\"1.0\"?>\n<guildKey name=\"Iron Lanterns\" realm=\"Silver Hand\"/>\n";
        for (std::size_t i = from; i < std::min(lines.size(), from + 200); ++i)
            paste += lines[i];
        std::ofstream(pastes.emplace_back((folder / ("paste" + std::to_string(from))).string())) << paste + "</x>\n";
    }
    const std::string expected = Tables(folder, {log});

    std::string server1;
    for (int round = 0; round < 3; ++round) {
        server1 = server.uri(server.freshDatabase());
        std::vector<pid_t> adds;
        for (std::size_t program = 0; program < 8; ++program) {
            std::vector<std::string> args{"--ledger", server1, "--add"};
            for (std::size_t i = 0; i < pastes.size(); ++i)
                if (i % 8 == program || (i + 1) % 8 == program)
                    args.push_back(pastes[i]);
            adds.push_back(StartCli(args, folder / ("add" + std::to_string(program))));
        }
        for (std::size_t program = 0; program < adds.size(); ++program)
            EXPECT_EQ(ExitStatus(adds[program]), 0) << ReadFile(folder / ("add" + std::to_string(program)));
        EXPECT_EQ(Tables(folder, {"--ledger", server1}), expected) << "round " << round;
        PostgresLedger read(server1, LedgerAccess::ReadOnly);
        EXPECT_EQ(read.pastes().size(), pastes.size());
        EXPECT_EQ(read.totals().entries, Copies(text));
    }
    const std::string file = (folder / "1.sqlite").string();
    EXPECT_EQ(ExitStatus(StartCli({"--ledger", file, "--merge", server1}, folder / "errors")), 0);
    EXPECT_EQ(Tables(folder, {"--ledger", file}), expected);
}

// Whatever moment of an add the server is killed at, the add retried once it runs again leaves the
// whole paste in the ledger, listed once.
TEST(PostgresLedgerTest, AnAddCutByTheServersDeathGoesInWholeWhenRetried) {
    TempFolder folder;
    TestServer server;
    const std::string log = WriteLog(folder, 30'000);
    const std::uint64_t copies = Copies(ReadFile(log));
    int cut = 0;
    // Moments of an add as the server sees it; the last after its end, when the retry finds it whole.
    for (const std::string moment : {"true", "xact_start IS NOT NULL", "query LIKE 'COPY%' AND state = 'active'", ""}) {
        const std::string database = server.freshDatabase(), ledger = server.uri(database);
        const pid_t add = StartCli({"--ledger", ledger, "--add", log}, folder / "errors");
        int status = 0;
        bool ended = moment.empty() && waitpid(add, &status, 0) == add;
        for (PgConnection watch = server.admin(); !ended;) {
            if (watch.query("SELECT 1 FROM pg_stat_activity WHERE datname = '" + database + "' AND " + moment).rows())
                break;
            ended = waitpid(add, &status, WNOHANG) == add;
        }
        server.signal(SIGKILL);
        if (!ended)
            waitpid(add, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            ++cut;
            EXPECT_NE(ReadFile(folder / "errors").find("server"), std::string::npos) << ReadFile(folder / "errors");
        }
        ASSERT_TRUE(server.restart());
        EXPECT_EQ(ExitStatus(StartCli({"--ledger", ledger, "--add", log}, folder / "errors")), 0)
            << ReadFile(folder / "errors");
        PostgresLedger read(ledger, LedgerAccess::ReadOnly);
        EXPECT_EQ(read.totals().entries, copies);
        EXPECT_EQ(read.pastes().size(), 1u);
    }
    EXPECT_GT(cut, 0) << "no kill fell inside an add";
}

TEST(PostgresLedgerTest, AStoppedServerGivesAMessageWithinTheDeadline) {
    TestServer server;
    PostgresLedger ledger(server.uri(server.freshDatabase()), LedgerAccess::ReadWrite,
                          {10, std::chrono::seconds(60), std::chrono::seconds(2)});
    server.signal(SIGSTOP);
    const auto start = std::chrono::steady_clock::now();
    try {
        std::ignore =
            AddToLedger(ledger, "<?xml?>\n<banklog money=\"5\" player=\"Ann\" ts=\"1000\" type=\"4\"/>\n", {}, 0);
        ADD_FAILURE() << "added to a stopped server";
    } catch (const LedgerError& error) {
        EXPECT_NE(std::string(error.what()).find("did not answer within 2 s"), std::string::npos) << error.what();
        EXPECT_EQ(error.kind(), LedgerErrorKind::ServerTimeout);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    server.signal(SIGCONT);
}

// A call no one wants any more, a read, a statement or a copy, is cancelled at the server instead of
// waited for (here behind another session's lock, until the statement's time-out of 5 s), and the
// connection serves the next call.
TEST(PostgresLedgerTest, ACallNoOneWantsIsStoppedAtTheServer) {
    TestServer server;
    const std::string database = server.freshDatabase();
    const PgTimeouts timeouts{10, std::chrono::seconds(5), std::chrono::seconds(10)};
    PostgresLedger ledger(server.uri(database), LedgerAccess::ReadWrite, timeouts);
    std::ignore = AddToLedger(ledger, "<?xml?>\n<banklog money=\"5\" player=\"Ann\" ts=\"1000\" type=\"4\"/>\n", {}, 0);
    PgConnection writer(server.uri(database), false, timeouts);
    const std::string noRows = std::string("PGCOPY\n\xff\r\n\0", 11) + std::string(8, '\0') + "\xff\xff";
    const std::pair<const char*, std::function<void()>> calls[] = {
        {"a read", [&] { std::ignore = ledger.countListed({.search = "ann"}); }},
        {"a statement", [&] { writer.execute("UPDATE entry SET copies = copies"); }},
        {"a copy", [&] { writer.copyIn("COPY entry_name (name, fold) FROM STDIN (FORMAT binary)", noRows); }},
    };
    bool stopping = true;
    int looks = 0;
    const auto stop = [&] { return stopping && ++looks > 3; }; // past a call's first look, in its wait
    ledger.stopReadsWhen(stop);
    std::ignore = writer.stopCallsWhen(stop);
    PgConnection locker = server.admin(database);
    for (const auto& [name, call] : calls) {
        looks = 0;
        locker.execute("BEGIN; LOCK TABLE entry, entry_name IN ACCESS EXCLUSIVE MODE");
        try {
            call();
            ADD_FAILURE() << name << " went on behind the lock";
        } catch (const LedgerError& error) {
            EXPECT_NE(std::string(error.what()).find("the call was stopped"), std::string::npos) << error.what();
        }
        locker.execute("COMMIT");
    }
    stopping = false;
    for (int cleared = 0; cleared < 2; ++cleared) {
        EXPECT_EQ(ledger.countListed({.search = "ann"}), 1U);
        writer.execute("UPDATE entry SET copies = copies");
        ledger.stopReadsWhen({});
        std::ignore = writer.stopCallsWhen({});
    }
}

// A read inside another transaction joins it: it neither commits the other's change nor ends it, and
// reads nested in one another's rows keep their cursors apart. A change cannot begin inside another.
TEST(PostgresLedgerTest, AReadInsideATransactionJoinsIt) {
    TestServer server;
    const std::string ledger = server.uri(server.freshDatabase());
    std::ignore = AddToLedger(*OpenLedger(ledger, LedgerAccess::ReadWrite),
                              "<?xml?>\n<banklog money=\"5\" player=\"Ann\" ts=\"1000\" type=\"4\"/>\n", {}, 0);
    PgConnection db(ledger, false, {});
    PgSql sql(db);
    {
        PgTransaction change(db);
        db.execute("UPDATE entry_totals SET copies = 99");
        std::vector<std::int64_t> read;
        sql.runEach("SELECT copies FROM entry_totals", {}, [&](const SqlRow& outer) {
            sql.runEach("SELECT copies FROM entry", {}, [&](const SqlRow& inner) {
                read.insert(read.end(), {outer.integer(0), inner.integer(0)});
            });
        });
        EXPECT_EQ(read, (std::vector<std::int64_t>{99, 1}));
        EXPECT_THROW(PgTransaction{db}, LedgerError);
    }
    EXPECT_EQ(OpenLedger(ledger, LedgerAccess::ReadOnly)->totals().entries, 1u) << "the change was rolled back";
}

// A connection whose setting up fails after it connected is closed: the server keeps no session of it.
TEST(PostgresLedgerTest, AConnectionThatFailsItsSetUpIsClosed) {
    TestServer server;
    const std::string database = server.freshDatabase();
    EXPECT_THROW(PgConnection(server.uri(database), false, {.statement = std::chrono::milliseconds(-1)}), LedgerError);
    PgConnection admin = server.admin();
    const auto sessions = [&] {
        return admin.query("SELECT count(*) FROM pg_stat_activity WHERE datname = '" + database + "'").integer(0, 0);
    };
    // The server ends a session a moment after its client leaves.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (sessions() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_EQ(sessions(), 0);
}

// Tables of another program, or that carry a rule, are refused and left
// as they are; a database without a ledger (or whose search_path hides it) is none to read; a user
// without the rights a ledger needs is told which GRANTs to ask for.
TEST(PostgresLedgerTest, RefusesWhatIsNotItsOwnAndNamesTheRightsToGive) {
    TestServer server;
    const std::string officer = "officer" + std::to_string(getpid());
    server.admin().execute("CREATE ROLE " + officer + " LOGIN");
    constexpr auto kRead = LedgerAccess::ReadOnly, kWrite = LedgerAccess::ReadWrite;
    struct Case {
        bool ledger;     // a ledger made by the database's owner first
        const char* sql; // then run by the owner
        bool asOfficer;
        LedgerAccess access;
        std::string uriEnd; // added to the URI's parameters
        std::string message;
        LedgerErrorKind kind = LedgerErrorKind::NotALedger;
    };
    const Case cases[] = {
        {false, "CREATE TABLE alert (x int)", false, kWrite, "", "is not a Coffer ledger"},
        {true, "CREATE RULE keep AS ON INSERT TO paste DO INSTEAD NOTHING", false, kRead, "",
         " is not a Coffer ledger (it holds rule keep)."},
        {false, "", false, kRead, "", " holds no Coffer ledger."},
        {true, "CREATE SCHEMA elsewhere", false, kRead, "&options=-csearch_path%3Delsewhere",
         " holds no Coffer ledger."},
        {false, "", true, kWrite, "", "GRANT USAGE, CREATE ON SCHEMA public TO " + officer + ";",
         LedgerErrorKind::CannotWrite},
        {true, "", true, kWrite, "",
         "GRANT SELECT, INSERT, UPDATE ON public.coffer_ledger, public.entry, public.entry_totals, public.entry_hours, "
         "public.entry_name, public.paste, public.guild, public.alert_rule, public.alert TO " +
             officer + ";",
         LedgerErrorKind::CannotWrite},
    };
    for (const Case& c : cases) {
        const std::string database = server.freshDatabase(), owner = server.uri(database);
        if (c.ledger)
            PostgresLedger(owner, LedgerAccess::ReadWrite);
        if (*c.sql != '\0')
            server.admin(database).execute(c.sql);
        const auto tables = [&] {
            return server.admin(database)
                .query("SELECT count(*)::int8 FROM pg_tables WHERE schemaname = 'public'")
                .integer(0, 0);
        };
        const std::int64_t before = tables();
        try {
            PostgresLedger((c.asOfficer ? server.uri(database, officer) : owner) + c.uriEnd, c.access);
            ADD_FAILURE() << c.message;
        } catch (const LedgerError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
            EXPECT_EQ(error.kind(), c.kind) << error.what();
        }
        EXPECT_EQ(tables(), before);
    }
}

// A server that wants a password the URI does not give: coffer-cli asks for it at its terminal, never
// showing it, and goes on with it; a wrong one, or Ctrl-C at the question, fails with the server's reason.
TEST(PostgresLedgerTest, CoffercliAsksForTheServersPasswordAtItsTerminal) {
    TestServer server;
    const TempFolder folder;
    const std::string officer = "asked" + std::to_string(getpid()), database = "p" + officer;
    server.admin().execute("CREATE ROLE " + officer + " LOGIN PASSWORD 's3cret'");
    server.admin().execute("CREATE DATABASE " + database + " OWNER " + officer);
    std::stringstream hba;
    hba << "local all " << officer << " scram-sha-256\n"
        << std::ifstream(server.folder() + "/data/pg_hba.conf").rdbuf();
    std::ofstream(server.folder() + "/data/pg_hba.conf") << hba.str();
    server.admin().execute("SELECT pg_reload_conf()");
    const std::string log = WriteLog(folder, 10), uri = server.uri(database, officer);
    const std::vector<std::string> add = {"--add", log};
    const struct {
        std::string typed, output;
        int status;
        std::vector<std::string> form;
    } cases[] = {
        {"s3cret\r", ": 10 entries, 10 new to the ledger", 0, add},
        {"nope\r", "password authentication failed", 2, add},
        {"\x03", "the server wants a password", 2, add},
        {"s3cret\r", "Time\tMember\tRank", 0, {"--entries", "-"}},
    };
    for (const auto& c : cases) {
        int terminal = -1;
        const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
        if (pid == 0) {
            ::execl(COFFER_CLI_PATH, COFFER_CLI_PATH, "--ledger", uri.c_str(), c.form[0].c_str(), c.form[1].c_str(),
                    nullptr);
            ::_exit(127);
        }
        std::string seen;
        char buffer[256];
        bool asked = false;
        for (pollfd ready{terminal, POLLIN, 0}; ::poll(&ready, 1, 30'000) > 0;) {
            const ssize_t got = ::read(terminal, buffer, sizeof buffer);
            if (got <= 0)
                break;
            seen.append(buffer, static_cast<std::size_t>(got));
            if (!asked && seen.ends_with(": ")) {
                asked = true;
                EXPECT_EQ(seen, "Password for " + LedgerDisplayName(uri) + ": ");
                EXPECT_EQ(::write(terminal, c.typed.data(), c.typed.size()), static_cast<ssize_t>(c.typed.size()));
            }
        }
        ::kill(pid, SIGKILL); // a program that never asked or never ended
        ::close(terminal);
        EXPECT_EQ(ExitStatus(pid), c.status) << seen;
        EXPECT_NE(seen.find(c.output), std::string::npos) << seen;
        EXPECT_EQ(seen.find(c.typed.substr(0, 4)), std::string::npos) << "shown: " << seen;
    }
}

} // namespace
} // namespace coffer
