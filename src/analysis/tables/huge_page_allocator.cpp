#include "analysis/tables/huge_page_allocator.h"

#include <cstdlib>
#include <sys/mman.h>

namespace coffer::huge_pages {
namespace {
std::size_t Rounded(std::size_t bytes) {
    return (bytes + kPageSize - 1) / kPageSize * kPageSize;
}
} // namespace

void* Allocate(std::size_t bytes) {
    if (bytes < kPageSize)
        return ::operator new(bytes);
    void* block = std::aligned_alloc(kPageSize, Rounded(bytes));
    if (block == nullptr)
        throw std::bad_alloc();
    ::madvise(block, Rounded(bytes), MADV_HUGEPAGE); // advice only: without it the block still works
    return block;
}

void Free(void* block, std::size_t bytes) noexcept {
    if (bytes < kPageSize)
        ::operator delete(block);
    else
        std::free(block);
}

} // namespace coffer::huge_pages
