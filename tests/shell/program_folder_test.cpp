// SPDX-License-Identifier: MIT
#include "shell/program_folder.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace coffer {
namespace {
namespace fs = std::filesystem;

// The program folder's place decides where its files are and where it writes: an installed program keeps
// nothing in its own folder, even when it could write it (as root can).
TEST(ProgramFolder, InstalledOnlyInBinWithShareCofferBeside) {
    const struct {
        const char* program;
        const char* beside;
        bool besideIsFile;
        bool installed;
    } cases[] = {{"usr/bin", "usr/share/coffer", false, true},
                 {"usr/bin", "usr/share/other", false, false},
                 {"usr/bin", "usr/share/coffer", true, false},
                 {"build/src/app", "build/src/share/coffer", false, false}};
    for (const auto& c : cases) {
        const testing::TempFolder root;
        const testing::TempFolder userData;
        ::setenv("XDG_DATA_HOME", userData.path().c_str(), 1);
        const fs::path program = root / c.program;
        fs::create_directories(program);
        fs::create_directories((root / c.beside).parent_path());
        if (c.besideIsFile)
            std::ofstream(root / c.beside) << "x";
        else
            fs::create_directory(root / c.beside);

        const fs::path userFolder = userData / "Coffer Project" / "Coffer";
        EXPECT_EQ(DataFolder(program), c.installed ? root / "usr/share/coffer" : program) << c.program << c.beside;
        EXPECT_EQ(WorkFolder(program), c.installed ? userFolder : program) << c.program << c.beside;
        EXPECT_EQ(fs::is_directory(userFolder), c.installed) << c.program << c.beside;
    }
    ::unsetenv("XDG_DATA_HOME");
}

} // namespace
} // namespace coffer
