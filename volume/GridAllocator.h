#pragma once
// Allocator for the large voxel grids (tens of megabytes each). Fresh memory
// is expensive to touch the first time on the machines Kalvex runs on, and the
// volume code allocates grids of the same size again and again (every view and
// the master, on every rebuild), so big blocks are kept mapped after release
// and handed out again. Small blocks, and every block in sanitizer builds (so
// AddressSanitizer keeps watching them), use the ordinary heap.

#include <cstddef>
#include <memory>

#if defined(__SANITIZE_ADDRESS__)
#define KALVEX_GRID_POOL_ENABLED 0
#else
#define KALVEX_GRID_POOL_ENABLED 1
#endif

namespace grid_pool {
constexpr std::size_t kMinBlock = std::size_t(256) << 10;  // bytes; smaller blocks use the heap
void* acquire(std::size_t bytes);
void release(void* block, std::size_t bytes) noexcept;
// Unmaps every kept block (for tests and at shutdown).
void trim() noexcept;
std::size_t keptBytes() noexcept;
}  // namespace grid_pool

template <class T>
struct GridAllocator {
    using value_type = T;

    GridAllocator() = default;
    template <class U>
    GridAllocator(const GridAllocator<U>&) noexcept {}

    T* allocate(std::size_t n)
    {
        const std::size_t bytes = n * sizeof(T);
        if (!KALVEX_GRID_POOL_ENABLED || bytes < grid_pool::kMinBlock)
            return std::allocator<T>().allocate(n);
        return static_cast<T*>(grid_pool::acquire(bytes));
    }

    void deallocate(T* p, std::size_t n) noexcept
    {
        const std::size_t bytes = n * sizeof(T);
        if (!KALVEX_GRID_POOL_ENABLED || bytes < grid_pool::kMinBlock)
            std::allocator<T>().deallocate(p, n);
        else
            grid_pool::release(p, bytes);
    }

    template <class U>
    bool operator==(const GridAllocator<U>&) const noexcept { return true; }
};
