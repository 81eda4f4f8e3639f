// SPDX-License-Identifier: MIT
#include "shell/program_folder.h"

#include "shell/product_config.h"

#include <cstdlib>
#include <unistd.h>

namespace coffer {
namespace fs = std::filesystem;

namespace {

fs::path InstalledDataFolder(const fs::path& programFolder) {
    return programFolder.parent_path() / "share" / "coffer";
}

bool IsInstalledProgram(const fs::path& programFolder) {
    std::error_code error;
    return programFolder.filename() == "bin" && fs::is_directory(InstalledDataFolder(programFolder), error);
}

} // namespace

fs::path UserDataFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::error_code error;
    fs::path temporary = fs::temp_directory_path(error); // TMPDIR, when it names a folder
    if (error)
        temporary = "/tmp";
    fs::path base = (dataHome != nullptr && *dataHome != '\0') ? fs::path(dataHome)
                    : home != nullptr                          ? fs::path(home) / ".local" / "share"
                                                               : temporary;
    const ProductConfig product = LoadProductConfig();
    fs::path folder = base / product.companyName / product.programName;
    fs::create_directories(folder, error);
    return folder;
}

fs::path ProgramFolder() {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path(error) : exe.parent_path();
}

fs::path DataFolder(const fs::path& programFolder) {
    return IsInstalledProgram(programFolder) ? InstalledDataFolder(programFolder) : programFolder;
}

fs::path WorkFolder(const fs::path& programFolder) {
    if (!IsInstalledProgram(programFolder) && ::access(programFolder.c_str(), W_OK) == 0)
        return programFolder;
    return UserDataFolder();
}

} // namespace coffer
