#include "report/report_file.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sys/stat.h>

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

TEST_F(ReportFileTest, ReplacesTheReportAndEndsItWithCrLf) {
    const fs::path path = folder_ / "report.html";
    std::ofstream(path) << "old report";
    GuildStats stats;
    ASSERT_EQ(GenerateReport(stats, ReportSettings{}, path), "");
    EXPECT_EQ(ReadFile(path), BuildReport(stats, ReportSettings{}) + "\r\n");
    EXPECT_EQ(fileCount(), 1u); // no temporary file left beside it
}

TEST_F(ReportFileTest, AFailedWriteKeepsThePreviousFile) {
    // The target cannot be replaced: a folder stands in its place.
    const fs::path blocked = folder_ / "blocked.html";
    fs::create_directory(blocked);
    std::ofstream(blocked / "keep.txt") << "kept";
    const std::string error = WriteFileReplacing(blocked, "new");
    EXPECT_EQ(error, "Could not write " + blocked.string() + ": Is a directory");
    EXPECT_EQ(ReadFile(blocked / "keep.txt"), "kept");
    EXPECT_EQ(fileCount(), 1u);
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
