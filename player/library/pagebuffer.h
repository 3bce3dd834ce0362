#pragma once

#include <cstddef>

// Room for a big, short-lived run of bytes, such as the text a big song
// table is stored from. The bytes are not zeroed first. Allocation failure
// throws std::bad_alloc.
//
// The C library maps a buffer that big afresh on every allocation, and on a
// virtual machine the page faults of filling it were a third of a big save.
// Such a buffer is mapped here and advised to be backed by huge pages: ten
// megabytes then cost a handful of faults instead of thousands. Smaller ones
// come from the heap, whose freed room a repeated save finds faulted in.
class TPageBuffer
{
public:
    explicit TPageBuffer(std::size_t size);
    ~TPageBuffer();
    TPageBuffer(const TPageBuffer &) = delete;
    TPageBuffer &operator=(const TPageBuffer &) = delete;

    char *data() const { return data_; }

private:
    char *data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
};
