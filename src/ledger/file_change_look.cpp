// SPDX-License-Identifier: MIT
#include "ledger/file_change_look.h"

#include <sys/stat.h>

namespace coffer {

std::string LedgerFileLook(const std::string& path) {
    std::string look;
    for (const std::string& file : {path, path + "-wal"}) {
        struct stat status {};
        if (::stat(file.c_str(), &status) != 0 || (status.st_size == 0 && file != path))
            look += "-;";
        else
            look += std::to_string(status.st_size) + "," + std::to_string(status.st_mtim.tv_sec) + "." +
                    std::to_string(status.st_mtim.tv_nsec) + ";";
    }
    return look;
}

} // namespace coffer
