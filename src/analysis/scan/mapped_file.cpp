// SPDX-License-Identifier: MIT
#include "analysis/scan/mapped_file.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace coffer {
namespace {

// The mappings a bus error may hit, for the signal handler: a fixed table it can read without locks.
struct GuardedMapping {
    std::atomic<const char*> begin{nullptr};
    std::atomic<std::size_t> size{0};
    std::atomic<bool> cut{false}; // a read found the file shorter than the mapping
};
constexpr std::size_t kGuardedMappings = 16;
GuardedMapping g_mappings[kGuardedMappings];
struct sigaction g_previousAction {};
std::uintptr_t g_pageSize = 4096;

// A read past the end of a file that was cut short: the pages from the one read to the mapping's end
// become zeros, and the read is made again. Any other bus error goes to whoever handled it before
// (by default: the process ends), as the fault repeats on return.
void OnBusError(int, siginfo_t* info, void*) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (GuardedMapping& mapping : g_mappings) {
        const auto begin = reinterpret_cast<std::uintptr_t>(mapping.begin.load());
        if (begin == 0 || address < begin || address - begin >= mapping.size.load())
            continue;
        const std::uintptr_t page = address & ~(g_pageSize - 1);
        ::mmap(reinterpret_cast<void*>(page), begin + mapping.size.load() - page, PROT_READ,
               MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        mapping.cut = true;
        return;
    }
    ::sigaction(SIGBUS, &g_previousAction, nullptr);
}

void HandleBusErrors() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        g_pageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &g_previousAction);
    });
}

// A free entry of the table for the mapping; null when all are taken.
GuardedMapping* Guard(const char* data, std::size_t size) {
    for (GuardedMapping& mapping : g_mappings) {
        const char* expected = nullptr;
        // Nothing reads the mapping before it is guarded: the handler cannot meet the entry half set.
        if (mapping.begin.compare_exchange_strong(expected, data)) {
            mapping.size = size;
            mapping.cut = false;
            return &mapping;
        }
    }
    return nullptr;
}

GuardedMapping* GuardOf(const char* data) {
    for (GuardedMapping& mapping : g_mappings)
        if (data != nullptr && mapping.begin.load() == data)
            return &mapping;
    return nullptr;
}

} // namespace

MappedFile::MappedFile(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
        return;
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))
        return;
    const auto size = static_cast<std::size_t>(info.st_size);
    if (size == 0) {
        mapped_ = true; // nothing to map: the text is empty
        return;
    }
    HandleBusErrors();
    // Populated at once: faulting the pages in one by one as the text is read costs several times more.
    void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd_, 0);
    if (data == MAP_FAILED)
        return;
    if (Guard(static_cast<const char*>(data), size) == nullptr) {
        ::munmap(data, size); // unguarded, a file cut short would end the process: it is read instead
        return;
    }
    data_ = static_cast<const char*>(data);
    size_ = size;
    mapped_ = true;
}

MappedFile::~MappedFile() {
    if (data_ != nullptr) {
        GuardOf(data_)->begin = nullptr;
        ::munmap(const_cast<char*>(data_), size_);
    }
    if (fd_ >= 0)
        ::close(fd_);
}

void MappedFile::release(std::size_t bytes) const {
    const auto pageSize = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t whole = std::min(bytes, size_) / pageSize * pageSize;
    if (whole > 0)
        ::madvise(const_cast<char*>(data_), whole, MADV_DONTNEED); // advice only: the pages may stay
}

bool MappedFile::changed() const {
    if (data_ == nullptr)
        return false;
    struct stat info {};
    return GuardOf(data_)->cut.load() || ::fstat(fd_, &info) != 0 || static_cast<std::size_t>(info.st_size) < size_;
}

} // namespace coffer
