#include "analysis/temporary_names.h"

#include <set>
#include <unistd.h>

namespace coffer {
namespace {

std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}

std::set<std::string>& Names() {
    static std::set<std::string> names;
    return names;
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
