// coffer-cli stopped by Ctrl-C or a termination signal in the middle of a run: it ends as a program
// ended by the signal (status 130 for Ctrl-C in a shell) and leaves no temporary copy of the log behind.
#include "support/bank_log_text.h"
#include "support/lorehold_site.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace coffer {
namespace {
namespace fs = std::filesystem;

// Whether the process holds a file whose name starts with "temp-" open.
bool HoldsTemporaryCopy(pid_t pid) {
    std::error_code error;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error))
        if (fs::read_symlink(fd.path(), error).filename().string().starts_with("temp-"))
            return true;
    return false;
}

TEST(CliSignal, SignalsEndTheRunAndLeaveNoTemporaryCopy) {
    const testing::TempFolder folder; // the program's own folder, where its temporary copy goes
    const fs::path program = folder / "coffer-cli";
    fs::copy_file(COFFER_CLI_PATH, program);
    std::ofstream(folder / "log.xml") << testing::BankLog({{"Ann", "1", "Iron Nails", 3}});
    const testing::LoreholdSite site; // never answers: this thread runs no event loop while the run waits
    std::vector<std::string> args = {program.string(), (folder / "log.xml").string(), "--lookup", "--item-db"};
    args.insert(args.end(), {site.base(), "-o", (folder / "report.html").string(), "--quiet"});
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    for (const int signal : {SIGINT, SIGTERM}) {
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!HoldsTemporaryCopy(pid) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_TRUE(HoldsTemporaryCopy(pid)) << "the run should be waiting on the site";
        ::kill(pid, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << status;

        std::vector<std::string> left;
        for (const auto& file : fs::directory_iterator(folder.path()))
            left.push_back(file.path().filename().string());
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, (std::vector<std::string>{"coffer-cli", "log.xml"}));
    }
}

} // namespace
} // namespace coffer
