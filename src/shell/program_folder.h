#pragma once

#include <filesystem>

namespace coffer {

// The folder that holds the running program's executable.
std::filesystem::path ProgramFolder();

// Where the program keeps its report and temporary files: the program folder when it is writable,
// otherwise the user's data folder for the program (created when missing).
std::filesystem::path WorkFolder();

} // namespace coffer
