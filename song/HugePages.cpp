#include "song/HugePages.h"

#include <cstdint>
#include <sys/mman.h>

namespace {

constexpr std::uintptr_t kHuge = std::uintptr_t{2} << 20;
constexpr std::size_t kPage = 4096;
// Blocks from this size on are mapped on their own; not under AddressSanitizer, which
// watches the bounds of heap blocks only.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kMappedFrom = SIZE_MAX;
#else
constexpr std::size_t kMappedFrom = kHuge;
#endif

std::size_t PageRounded(std::size_t bytes) {
    return (bytes + kPage - 1) & ~(kPage - 1);
}

} // namespace

void AdviseHugePages(void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kHuge - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

void* AllocateLarge(std::size_t bytes) {
    if (bytes < kMappedFrom)
        return ::operator new(bytes);
    // Mapped with 2 MB to spare, then cut to the block that starts on a 2 MB boundary.
    if (bytes > SIZE_MAX - kHuge - kPage)
        throw std::bad_alloc();
    const std::size_t size = PageRounded(bytes);
    void* mapped =
        ::mmap(nullptr, size + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto begin = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (begin + kHuge - 1) & ~(kHuge - 1);
    if (aligned > begin)
        ::munmap(mapped, aligned - begin);
    const std::uintptr_t tail = begin + kHuge - aligned; // what is left behind the block
    if (tail > 0)
        ::munmap(reinterpret_cast<void*>(aligned + size), tail);
    void* data = reinterpret_cast<void*>(aligned);
    AdviseHugePages(data, size);
    return data;
}

void FreeLarge(void* data, std::size_t bytes) noexcept {
    if (!data)
        return;
    if (bytes < kMappedFrom)
        ::operator delete(data);
    else
        ::munmap(data, PageRounded(bytes));
}
