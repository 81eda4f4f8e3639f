// SPDX-License-Identifier: MIT
#pragma once
// The PostgreSQL server the test fixture started (COFFER_PG_STATE names its state file, COFFER_PG_SCRIPT
// the script that starts it): the postgres superuser on a Unix socket, without a password.

#include "ledger/postgres_connection.h"
#include "temp_folder.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace coffer::testing {

class TestServer {
  public:
    TestServer() { std::ifstream(COFFER_PG_STATE) >> folder_ >> port_; }
    const std::string& folder() const { return folder_; }
    std::string uri(const std::string& database, const std::string& user = "postgres") const {
        return "postgresql://" + user + "@/" + database + "?host=" + folder_ + "&port=" + port_;
    }
    // A new, empty database, named for this test process.
    std::string freshDatabase() {
        // Appended piece by piece: a literal joined to a temporary string makes GCC 12 at -O3 warn.
        const std::string name =
            std::string("t").append(std::to_string(getpid())).append("_").append(std::to_string(databases_++));
        admin().execute("CREATE DATABASE " + name);
        return name;
    }
    PgConnection admin(const std::string& database = "postgres") const { return {uri(database), false, {}}; }
    // Everything a ledger on the server holds: its relations by name, its tables row for row.
    static std::string Snapshot(const std::string& ledger) {
        return std::string(
            PgConnection(ledger, false, {})
                .query("SELECT string_agg(relname::text || relkind::text || coalesce(CASE relkind WHEN 'r' "
                       "THEN query_to_xml('SELECT * FROM ' || relname || ' t ORDER BY t::text', "
                       "false, false, '')::text END, ''), '' ORDER BY relname) FROM pg_class "
                       "WHERE relnamespace = current_schema()::regnamespace")
                .bytes(0, 0));
    }
    // To the postmaster and every process it started; the postmaster, stopped first, starts no more.
    void signal(int number) const {
        const pid_t postmaster = std::stoi(ReadFile(folder_ + "/data/postmaster.pid"));
        kill(postmaster, SIGSTOP);
        for (const auto& process : std::filesystem::directory_iterator("/proc")) {
            if (!std::isdigit(process.path().filename().string()[0]))
                continue;
            const std::string stat = ReadFile(process.path() / "stat");
            const std::size_t afterName = stat.rfind(')');
            if (afterName != std::string::npos && std::stoi(stat.substr(afterName + 4)) == postmaster)
                kill(std::stoi(process.path().filename()), number);
        }
        kill(postmaster, number);
    }
    // After a kill: true when it runs again. The server gets none of this process's files: a pipe
    // it kept open would keep the test's reader (or a browser's helper process) waiting.
    bool restart() const {
        const pid_t child = fork();
        if (child == 0) {
            close_range(3, ~0U, 0);
            execl(COFFER_PG_SCRIPT, COFFER_PG_SCRIPT, "restart", COFFER_PG_STATE, nullptr);
            _exit(127);
        }
        int status = 0;
        return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

  private:
    std::string folder_, port_;
    int databases_ = 0;
};

} // namespace coffer::testing
