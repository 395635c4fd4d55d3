#include "volume/GridAllocator.h"

#include <sys/mman.h>

#include <mutex>
#include <new>
#include <vector>

namespace grid_pool {

namespace {

constexpr std::size_t kMaxKept = std::size_t(1) << 30;  // bytes kept mapped at most

struct Block {
    void* address;
    std::size_t bytes;
};

struct Pool {
    std::mutex mutex;
    std::vector<Block> kept;
    std::size_t keptBytes = 0;
    ~Pool() { trim(); }
};

Pool& pool()
{
    static Pool instance;
    return instance;
}

std::size_t roundToPages(std::size_t bytes)
{
    constexpr std::size_t page = 4096;
    return (bytes + page - 1) / page * page;
}

}  // namespace

void* acquire(std::size_t bytes)
{
    bytes = roundToPages(bytes);
    {
        Pool& p = pool();
        std::lock_guard lock(p.mutex);
        for (std::size_t i = 0; i < p.kept.size(); ++i) {
            if (p.kept[i].bytes == bytes) {
                void* address = p.kept[i].address;
                p.kept.erase(p.kept.begin() + static_cast<std::ptrdiff_t>(i));
                p.keptBytes -= bytes;
                return address;
            }
        }
    }
    void* address = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED)
        throw std::bad_alloc();
    // Large pages where the kernel offers them: far fewer faults to take.
    madvise(address, bytes, MADV_HUGEPAGE);
#ifdef MADV_POPULATE_WRITE
    madvise(address, bytes, MADV_POPULATE_WRITE);  // fault the pages in one go
#endif
    return address;
}

void release(void* block, std::size_t bytes) noexcept
{
    bytes = roundToPages(bytes);
    Pool& p = pool();
    std::lock_guard lock(p.mutex);
    if (p.keptBytes + bytes <= kMaxKept) {
        try {
            p.kept.push_back({block, bytes});
            p.keptBytes += bytes;
            return;
        } catch (...) {
        }
    }
    munmap(block, bytes);
}

void trim() noexcept
{
    Pool& p = pool();
    std::lock_guard lock(p.mutex);
    for (const Block& b : p.kept)
        munmap(b.address, b.bytes);
    p.kept.clear();
    p.keptBytes = 0;
}

std::size_t keptBytes() noexcept
{
    Pool& p = pool();
    std::lock_guard lock(p.mutex);
    return p.keptBytes;
}

}  // namespace grid_pool
