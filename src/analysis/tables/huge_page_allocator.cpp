// SPDX-License-Identifier: MIT
#include "analysis/tables/huge_page_allocator.h"

#include <cstdint>
#include <sys/mman.h>

namespace coffer::huge_pages {
namespace {
std::size_t Rounded(std::size_t bytes) {
    return (bytes + kPageSize - 1) / kPageSize * kPageSize;
}
} // namespace

// Large blocks are mapped on their own rather than taken from the heap: freed, they go back to the
// system at once, where the heap would keep them for smaller allocations that may never come.
void* Allocate(std::size_t bytes) {
    if (bytes < kPageSize)
        return ::operator new(bytes);
    // Mapped a huge page larger, then cut to a block that starts on a huge page's boundary.
    const std::size_t size = Rounded(bytes);
    void* area = ::mmap(nullptr, size + kPageSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(area);
    const std::uintptr_t aligned = (start + kPageSize - 1) / kPageSize * kPageSize;
    if (aligned > start)
        ::munmap(area, aligned - start);
    ::munmap(reinterpret_cast<void*>(aligned + size), start + kPageSize - aligned);
    void* block = reinterpret_cast<void*>(aligned);
    ::madvise(block, size, MADV_HUGEPAGE); // advice only: without it the block still works
    return block;
}

void Free(void* block, std::size_t bytes) noexcept {
    if (bytes < kPageSize)
        ::operator delete(block);
    else
        ::munmap(block, Rounded(bytes));
}

} // namespace coffer::huge_pages
