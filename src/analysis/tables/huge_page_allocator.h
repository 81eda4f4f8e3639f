// SPDX-License-Identifier: MIT
#pragma once
// An allocator for the few buffers that grow to many megabytes (table cells, hash slots). Their memory
// is advised onto huge pages: on this kind of machine the first touch of fresh memory costs far more
// per 4 KiB page than per 2 MiB one, and lookups across them miss the TLB less.

#include <cstddef>
#include <new>

namespace coffer {

namespace huge_pages {
// Blocks from this size on are taken in whole huge pages.
inline constexpr std::size_t kPageSize = std::size_t{2} << 20;

void* Allocate(std::size_t bytes);
void Free(void* block, std::size_t bytes) noexcept;
} // namespace huge_pages

template <typename T> struct HugePageAllocator {
    using value_type = T;

    HugePageAllocator() = default;
    template <typename U> HugePageAllocator(const HugePageAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(huge_pages::Allocate(n * sizeof(T)));
    }
    void deallocate(T* block, std::size_t n) noexcept { huge_pages::Free(block, n * sizeof(T)); }

    template <typename U> bool operator==(const HugePageAllocator<U>&) const noexcept { return true; }
};

} // namespace coffer
