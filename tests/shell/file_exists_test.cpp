#include "shell/file_exists.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace coffer {
namespace {
namespace fs = std::filesystem;

TEST(FileExists, FindsFilesOnlyWithNameCaseIgnored) {
    const testing::TempFolder folder;
    std::ofstream(folder / "report.html") << "x";
    fs::create_directory(folder / "Data");
    fs::create_symlink(folder / "report.html", folder / "link.html");

    const std::pair<std::string, bool> cases[] = {{"report.html", true},
                                                  {"REPORT.HTML", true},
                                                  {"link.html", true},
                                                  {"Data", false},
                                                  {"data", false},
                                                  {"*.html", false},
                                                  {"report.htm?", false},
                                                  {"missing.html", false},
                                                  {"missing/report.html", false},
                                                  {"", false}};
    for (const auto& [name, exists] : cases)
        EXPECT_EQ(FileExists((folder / name).string()), exists) << name;
    EXPECT_FALSE(FileExists(""));
}

} // namespace
} // namespace coffer
