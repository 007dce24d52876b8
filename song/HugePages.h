#pragma once

#include <cstddef>
#include <new>

// Asks the system to back the whole 2 MB pages inside [data, data + bytes) with huge pages
// when they are first touched: a large buffer then costs one page fault per 2 MB instead of
// one per 4 KB. Only advice: nothing changes when the system does not take it. Call it
// before the memory is first written.
void AdviseHugePages(void* data, std::size_t bytes);

// Memory for `bytes` bytes. Large blocks are mapped on their own, starting on a 2 MB
// boundary and advised to use huge pages, so that every whole 2 MB of them can; smaller ones
// come from the heap. Throws std::bad_alloc when there is none.
void* AllocateLarge(std::size_t bytes);
// Gives back a block of AllocateLarge, with the size it was asked for.
void FreeLarge(void* data, std::size_t bytes) noexcept;

// A standard allocator over AllocateLarge, for vectors that may grow large.
template <class T> struct HugePageAllocator {
    using value_type = T;
    HugePageAllocator() = default;
    template <class U> HugePageAllocator(const HugePageAllocator<U>&) noexcept {}
    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T))
            throw std::bad_array_new_length();
        return static_cast<T*>(AllocateLarge(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { FreeLarge(p, n * sizeof(T)); }
    template <class U> bool operator==(const HugePageAllocator<U>&) const noexcept { return true; }
};
