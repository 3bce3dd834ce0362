#include "pagebuffer.h"

#include <sys/mman.h>

#include <new>

namespace {

// Where the C library stops keeping freed room in its heap.
constexpr std::size_t MappedMinimum = std::size_t{32} << 20;

} // namespace

TPageBuffer::TPageBuffer(std::size_t size)
    : size_(size == 0 ? 1 : size)
    , mapped_(size_ >= MappedMinimum)
{
    if (!mapped_) {
        data_ = new char[size_];
        return;
    }
    void *const mapped = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    // Only advice: without huge pages the buffer works the same, slower.
    madvise(mapped, size_, MADV_HUGEPAGE);
#endif
    data_ = static_cast<char *>(mapped);
}

TPageBuffer::~TPageBuffer()
{
    if (mapped_)
        munmap(data_, size_);
    else
        delete[] data_;
}
