// Pins the whole output for the sample log: the report (with a fixed date line) and both tables.
// After an intended change, regenerate the three files with coffer-cli on the sample (-o, --members,
// --items into tests/data/sample-*) and replace the date in the report by DATE.
#include "cli/cli.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace coffer {
namespace {
namespace fs = std::filesystem;

using testing::ReadFile;

TEST(SampleLog, ReportAndTablesMatchTheRecordedOutput) {
    const testing::TempFolder temp;
    const fs::path& folder = temp.path();
    std::istringstream in;
    std::ostringstream out, err;
    const int code = RunCli({COFFER_EXAMPLES "/sample-banklog.xml", "-o", (folder / "report.html").string(),
                             "--members", (folder / "members.tsv").string(), "--items", (folder / "items.tsv").string(),
                             "--quiet"},
                            in, out, err, "DATE");
    ASSERT_EQ(code, 0) << err.str();
    const std::pair<const char*, const char*> files[] = {{"report.html", "sample-report.html"},
                                                         {"members.tsv", "sample-members.tsv"},
                                                         {"items.tsv", "sample-items.tsv"}};
    for (const auto& [written, recorded] : files)
        EXPECT_EQ(ReadFile(folder / written), ReadFile(fs::path(COFFER_TEST_DATA) / recorded)) << recorded;
}

} // namespace
} // namespace coffer
