#include "shell/file_exists.h"
#include "shell/product_config.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace coffer {
namespace {
namespace fs = std::filesystem;

TEST(FileExists, FindsFilesOnlyWithNameCaseIgnored) {
    const testing::TempFolder temp;
    const fs::path& folder = temp.path();
    std::ofstream(folder / "report.html") << "x";
    std::ofstream(folder / ".hidden") << "x";
    fs::create_directory(folder / "Data");
    fs::create_symlink(folder / "report.html", folder / "link.html");

    const std::pair<std::string, bool> cases[] = {
        {(folder / "report.html").string(), true},
        {(folder / "REPORT.HTML").string(), true},
        {(folder / ".hidden").string(), true},
        {(folder / "link.html").string(), true},
        {(folder / "Data").string(), false},
        {(folder / "data").string(), false},
        {(folder / "*.html").string(), false},
        {(folder / "report.htm?").string(), false},
        {(folder / "missing.html").string(), false},
        {(folder / "missing" / "report.html").string(), false},
        {folder.string() + "/", false},
        {"", false},
    };
    for (const auto& [path, exists] : cases)
        EXPECT_EQ(FileExists(path), exists) << path;
}

TEST(ProductConfig, VersionShowsMajorAndMinorOnly) {
    ProductConfig product{"Coffer", "Coffer Project", "coffer.example", 1, 2, 3};
    EXPECT_EQ(product.versionText(), "1.2");
    const ProductConfig built = LoadProductConfig();
    EXPECT_EQ(built.programName, "Coffer");
    EXPECT_EQ(built.website, "coffer.example");
}

} // namespace
} // namespace coffer
