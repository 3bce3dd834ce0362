#include "tagscratch.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

#include <sys/mman.h>

#if defined(__SANITIZE_ADDRESS__)
#define MELODECK_TAG_SCRATCH 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MELODECK_TAG_SCRATCH 0
#endif
#endif
#ifndef MELODECK_TAG_SCRATCH
#define MELODECK_TAG_SCRATCH 1
#endif

namespace {

std::atomic<int> keptAlive{0};

#if MELODECK_TAG_SCRATCH

constexpr std::size_t kBlockSize = std::size_t{256} << 10;
constexpr std::size_t kBlocks = 256; // 64 MiB of address space, touched only where used
// Bigger requests go to the general allocator: a block is for the many
// small ones.
constexpr std::size_t kLargest = 8192;
constexpr std::size_t kAlignment = alignof(std::max_align_t);

// Every block lies in one range reserved once, so a delete tells scratch
// memory from the general allocator's with two comparisons.
struct Range
{
    char *begin = nullptr;
    char *end = nullptr;
    // Per block, the objects deleted by other threads than the one that
    // made them, or after their block was given up; one cache line each, so
    // that two threads' counts never share one.
    struct alignas(64) Count
    {
        std::atomic<std::uint32_t> value{0};
    };
    Count freedElsewhere[kBlocks] = {};
    std::atomic<std::size_t> nextBlock{0};
};

// Reserved on the first scope and kept for the life of the process:
// deletes of scratch memory may come at any time, from any thread, static
// destructors included, so nothing here is ever destroyed.
Range reserved;
std::atomic<Range *> rangeInUse{nullptr};

Range *range()
{
    static Range *const made = [] {
        void *const mapped = mmap(nullptr, kBlockSize * kBlocks, PROT_READ | PROT_WRITE,
                                  MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (mapped == MAP_FAILED)
            return static_cast<Range *>(nullptr);
        reserved.begin = static_cast<char *>(mapped);
        reserved.end = reserved.begin + kBlockSize * kBlocks;
        rangeInUse.store(&reserved, std::memory_order_release);
        return &reserved;
    }();
    return made;
}

// A thread's block while a scope is open on it.
struct Scratch
{
    Range *range = nullptr;
    std::size_t block = 0; // index in the range; kBlocks: none
    char *top = nullptr;
    char *limit = nullptr;
    // Objects made in the block and those this thread deleted from it.
    std::uint32_t made = 0;
    std::uint32_t freed = 0;
    bool open = false;
    bool hasBlock = false;
};

thread_local Scratch scratch __attribute__((tls_model("initial-exec")));

bool takeBlock(Scratch &s)
{
    const std::size_t block = s.range->nextBlock.fetch_add(1, std::memory_order_relaxed);
    if (block >= kBlocks)
        return false;
    s.block = block;
    s.top = s.range->begin + block * kBlockSize;
    s.limit = s.top + kBlockSize;
    s.made = s.freed = 0;
    s.hasBlock = true;
    return true;
}

void *scratchAllocate(std::size_t size)
{
    Scratch &s = scratch;
    if (!s.open || size > kLargest || size == 0)
        return nullptr;
    const std::size_t rounded = (size + kAlignment - 1) & ~(kAlignment - 1);
    if (static_cast<std::size_t>(s.limit - s.top) < rounded)
        return nullptr;
    void *const at = s.top;
    s.top += rounded;
    ++s.made;
    return at;
}

bool scratchFree(void *pointer)
{
    const Range *const r = rangeInUse.load(std::memory_order_acquire);
    auto *const at = static_cast<char *>(pointer);
    if (!r || at < r->begin || at >= r->end)
        return false;
    const auto block = static_cast<std::size_t>(at - r->begin) / kBlockSize;
    Scratch &s = scratch;
    if (s.hasBlock && s.block == block)
        ++s.freed;
    else
        const_cast<Range *>(r)->freedElsewhere[block].value.fetch_add(1, std::memory_order_release);
    return true;
}

void *allocate(std::size_t size)
{
    if (void *const at = scratchAllocate(size))
        return at;
    for (;;) {
        if (void *const at = std::malloc(size ? size : 1))
            return at;
        const std::new_handler handler = std::get_new_handler();
        if (!handler)
            throw std::bad_alloc();
        handler();
    }
}

void release(void *pointer) noexcept
{
    if (pointer && !scratchFree(pointer))
        std::free(pointer);
}

#endif

} // namespace

TTagScratchScope::TTagScratchScope()
{
#if MELODECK_TAG_SCRATCH
    Scratch &s = scratch;
    if (s.open)
        return;
    if (!s.range)
        s.range = range();
    if (!s.range || (!s.hasBlock && !takeBlock(s)))
        return;
    s.open = true;
    opened_ = true;
#endif
}

TTagScratchScope::~TTagScratchScope()
{
#if MELODECK_TAG_SCRATCH
    if (!opened_)
        return;
    Scratch &s = scratch;
    s.open = false;
    char *const start = s.range->begin + s.block * kBlockSize;
    std::atomic<std::uint32_t> &elsewhere = s.range->freedElsewhere[s.block].value;
    if (s.made == s.freed + elsewhere.load(std::memory_order_acquire)) {
        // Nothing made here is left, so no one deletes from the block now.
        s.top = start;
        s.made = s.freed = 0;
        elsewhere.store(0, std::memory_order_relaxed);
    } else {
        // Something made here lives on; the block stays as it is.
        keptAlive.fetch_add(1, std::memory_order_relaxed);
        s.hasBlock = false;
    }
#endif
}

bool TTagScratchScope::enabled()
{
    return MELODECK_TAG_SCRATCH != 0;
}

int TTagScratchScope::blocksKeptAlive()
{
    return keptAlive.load(std::memory_order_relaxed);
}

#if MELODECK_TAG_SCRATCH

void *operator new(std::size_t size)
{
    return allocate(size);
}

void *operator new[](std::size_t size)
{
    return allocate(size);
}

void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}

void *operator new[](std::size_t size, const std::nothrow_t &) noexcept
{
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}

void operator delete(void *pointer) noexcept
{
    release(pointer);
}

void operator delete[](void *pointer) noexcept
{
    release(pointer);
}

void operator delete(void *pointer, std::size_t) noexcept
{
    release(pointer);
}

void operator delete[](void *pointer, std::size_t) noexcept
{
    release(pointer);
}

void operator delete(void *pointer, const std::nothrow_t &) noexcept
{
    release(pointer);
}

void operator delete[](void *pointer, const std::nothrow_t &) noexcept
{
    release(pointer);
}

#endif
