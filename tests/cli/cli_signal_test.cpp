// coffer-cli stopped by Ctrl-C in the middle of a run: it ends as a program interrupted by the signal
// (status 130 in a shell) and leaves no temporary copy of the log behind.
#include "support/bank_log_text.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace coffer {
namespace {
namespace fs = std::filesystem;

// A port on 127.0.0.1 that takes connections but never answers: a lookup waits on it.
class SilentSite {
  public:
    SilentSite() : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(socket_, 16) != 0 ||
            ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("cannot listen on 127.0.0.1");
        port_ = ntohs(address.sin_port);
    }
    ~SilentSite() { ::close(socket_); }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }

  private:
    int socket_;
    int port_ = 0;
};

// Whether the process holds a file whose name starts with "temp-" open.
bool HoldsTemporaryCopy(pid_t pid) {
    std::error_code error;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", error))
        if (fs::read_symlink(fd.path(), error).filename().string().starts_with("temp-"))
            return true;
    return false;
}

TEST(CliSignal, CtrlCEndsTheRunAndLeavesNoTemporaryCopy) {
    const testing::TempFolder folder; // the program's own folder, where its temporary copy goes
    const fs::path program = folder / "coffer-cli";
    fs::copy_file(COFFER_CLI_PATH, program);
    std::ofstream(folder / "log.xml") << testing::BankLog({{"Ann", "1", "Iron Nails", 3}});
    const SilentSite site;
    std::vector<std::string> args = {program.string(),
                                     (folder / "log.xml").string(),
                                     "--lookup",
                                     "--item-db",
                                     site.base(),
                                     "-o",
                                     (folder / "report.html").string(),
                                     "--quiet"};
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ), 0);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!HoldsTemporaryCopy(pid) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(HoldsTemporaryCopy(pid)) << "the run should be waiting on the site";
    ::kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;

    std::vector<std::string> left;
    for (const auto& file : fs::directory_iterator(folder.path()))
        left.push_back(file.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"coffer-cli", "log.xml"}));
}

} // namespace
} // namespace coffer
