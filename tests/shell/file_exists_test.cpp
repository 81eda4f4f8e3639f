// SPDX-License-Identifier: MIT
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

    for (const char* name : {"report.html", "REPORT.HTML", "link.html"})
        EXPECT_TRUE(FileExists((folder / name).string())) << name;
    for (const char* name : {"Data", "data", "*.html", "report.htm?", "missing.html", "missing/report.html", ""})
        EXPECT_FALSE(FileExists((folder / name).string())) << name;
    EXPECT_FALSE(FileExists(""));
}

} // namespace
} // namespace coffer
