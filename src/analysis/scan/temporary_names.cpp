// SPDX-License-Identifier: MIT
#include "analysis/scan/temporary_names.h"

#include <set>
#include <unistd.h>

namespace coffer {
namespace {

// Never destroyed: a signal may still come while the program ends.
std::mutex& Lock() {
    static auto* lock = new std::mutex;
    return *lock;
}

std::set<std::string>& Names() {
    static auto* names = new std::set<std::string>;
    return *names;
}

} // namespace

std::unique_lock<std::mutex> LockTemporaryNames() {
    return std::unique_lock(Lock());
}

void AddTemporaryName(const std::string& name) {
    Names().insert(name);
}

void ForgetTemporaryName(const std::string& name) {
    Names().erase(name);
}

void RemoveTemporaryFiles() {
    for (const std::string& name : Names())
        ::unlink(name.c_str());
}

} // namespace coffer
