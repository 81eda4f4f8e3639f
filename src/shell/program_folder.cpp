#include "shell/program_folder.h"

#include "shell/product_config.h"

#include <cstdlib>
#include <unistd.h>

namespace coffer {
namespace fs = std::filesystem;

fs::path ProgramFolder() {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path(error) : exe.parent_path();
}

fs::path WorkFolder() {
    const fs::path program = ProgramFolder();
    if (::access(program.c_str(), W_OK) == 0)
        return program;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    fs::path base = (dataHome != nullptr && *dataHome != '\0') ? fs::path(dataHome)
                    : home != nullptr                          ? fs::path(home) / ".local" / "share"
                                                               : fs::temp_directory_path();
    const ProductConfig product = LoadProductConfig();
    fs::path folder = base / product.companyName / product.programName;
    std::error_code error;
    fs::create_directories(folder, error);
    return folder;
}

} // namespace coffer
