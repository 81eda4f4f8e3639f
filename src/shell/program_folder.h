// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>

namespace coffer {

// The folder that holds the running program's executable.
std::filesystem::path ProgramFolder();

// An installed program's folder is named bin and has ../share/coffer/ beside it. Such a folder is shared
// with other programs (/usr/bin, /usr/local/bin): the program keeps nothing of its own there. Both
// folders are found from the program's place, so an installation works under any prefix.

// Where the program's own files are (html/help.html): share/coffer/ of an installed program, otherwise
// the program folder itself.
std::filesystem::path DataFolder(const std::filesystem::path& programFolder = ProgramFolder());

// Where the program keeps its report and temporary files: the program folder when the program runs from
// a folder of its own and can write it; otherwise (installed, or read-only) the user's data folder for the
// program, created when missing.
std::filesystem::path WorkFolder(const std::filesystem::path& programFolder = ProgramFolder());

// The user's data folder for the program (under XDG_DATA_HOME), created when missing: where the report
// goes when the program folder cannot take it, and where the default guild ledger lives.
std::filesystem::path UserDataFolder();

} // namespace coffer
