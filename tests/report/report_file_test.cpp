// SPDX-License-Identifier: MIT
#include "report/report_file.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace coffer {
namespace {
namespace fs = std::filesystem;

using testing::ReadFile;

class ReportFileTest : public ::testing::Test {
  protected:
    std::size_t fileCount() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
    }
    testing::TempFolder temp_;
    const fs::path& folder_ = temp_.path();
};

// A generation is renamed into place only once all of it is written, its temporary files nameless until
// then; a link is written through to its file, a FIFO is written to, and both stay as they are.
TEST_F(ReportFileTest, OutputsAreReplacedTogetherThroughLinksAndFifos) {
    std::signal(SIGPIPE, SIG_IGN); // as coffer-cli does: a reader that goes away fails the write
    const fs::path real = folder_ / "real.html", link = folder_ / "link.html", fifo = folder_ / "fifo";
    const fs::path dangling = folder_ / "dangling.tsv";
    std::ofstream(real) << "old";
    fs::create_symlink("real.html", link);
    fs::create_symlink(folder_ / "made.tsv", dangling);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    {
        OutputFiles outputs;
        ASSERT_EQ(outputs.add(link, "new"), "");
        ASSERT_EQ(outputs.add(fifo, std::string(std::size_t{4} << 20, 'x')), ""); // more than a pipe holds
        EXPECT_EQ(fileCount(), 4u);
        std::thread reader([&fifo] { // takes a byte and goes
            char byte = 0;
            const int fd = ::open(fifo.c_str(), O_RDONLY);
            EXPECT_EQ(::read(fd, &byte, 1), 1);
            ::close(fd);
        });
        EXPECT_EQ(outputs.commit(), "Could not write " + fifo.string() + ": Broken pipe");
        reader.join();
    }
    EXPECT_EQ(ReadFile(real), "old");
    EXPECT_EQ(fileCount(), 4u);

    const int readEnd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    OutputFiles outputs;
    ASSERT_EQ(outputs.add(link, "new"), "");
    ASSERT_EQ(outputs.add(dangling, "table"), "");
    ASSERT_EQ(outputs.add(fifo, "piped"), "");
    ASSERT_EQ(outputs.commit(), "");
    char piped[8] = {};
    EXPECT_EQ(std::string(piped, std::max<ssize_t>(::read(readEnd, piped, sizeof piped), 0)), "piped");
    ::close(readEnd);
    EXPECT_EQ(ReadFile(real), "new");
    EXPECT_EQ(ReadFile(folder_ / "made.tsv"), "table");
    EXPECT_TRUE(fs::is_symlink(link) && fs::is_symlink(dangling) && fs::is_fifo(fifo));
    EXPECT_EQ(fileCount(), 5u);
    EXPECT_EQ(WriteFileReplacing(folder_, "new"), "Could not write " + folder_.string() + ": Is a directory");
}

// The report tells the share of its rankings done, up to the whole; a stop at any point leaves the
// file unwritten.
TEST_F(ReportFileTest, ReportTellsItsProgressAndAStopWritesNothing) {
    GuildStats stats;
    stats.members.appendRow(std::vector<std::string>(kMemberColumnCount, "+000001"));
    stats.items.appendRow({"Gem", "00100", "1", "00012.05", "Withdrawal", "Ann", "9"});
    for (const std::size_t stopAt : {0, 1, 18, 19}) { // 0: never; each member ranking, then the items
        std::vector<double> shares;
        std::stop_source stop;
        const auto tell = [&](double share) {
            shares.push_back(share);
            if (shares.size() == stopAt)
                stop.request_stop();
        };
        const fs::path path = folder_ / std::to_string(stopAt);
        EXPECT_EQ(GenerateReport(stats, {}, path, {tell, stop.get_token()}).empty() + fs::exists(path),
                  stopAt == 0 ? 2 : 0)
            << stopAt;
        ASSERT_EQ(shares.size(), stopAt == 0 ? 19 : stopAt) << stopAt;
        EXPECT_TRUE(shares.front() > 0 && std::is_sorted(shares.begin(), shares.end())) << stopAt;
        EXPECT_EQ(shares.back() == 1.0, stopAt % 19 == 0) << stopAt;
    }
}

TEST_F(ReportFileTest, AReplacedFileKeepsItsModeANewOneGetsTheUmasks) {
    const struct {
        mode_t umask;
        std::optional<fs::perms> before; // none: there is no file yet
        fs::perms after;
    } cases[] = {
        {022, fs::perms(0600), fs::perms(0600)}, {022, fs::perms(0666), fs::perms(0666)},
        {077, fs::perms(0640), fs::perms(0640)}, {022, std::nullopt, fs::perms(0644)},
        {077, std::nullopt, fs::perms(0600)},    {002, std::nullopt, fs::perms(0664)},
    };
    const mode_t original = ::umask(022);
    for (const auto& c : cases) {
        const fs::path path = folder_ / "report.html";
        fs::remove(path);
        if (c.before) {
            std::ofstream(path) << "old";
            fs::permissions(path, *c.before);
        }
        ::umask(c.umask);
        ASSERT_EQ(WriteFileReplacing(path, "new"), "");
        EXPECT_EQ(fs::status(path).permissions(), c.after) << std::oct << c.umask;
        EXPECT_EQ(ReadFile(path), "new");
    }
    ::umask(original);
}

} // namespace
} // namespace coffer
