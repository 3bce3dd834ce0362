// Runs two independent pieces of work side by side.
#ifndef AZPACK_CODEC_TWOTHREADS_H
#define AZPACK_CODEC_TWOTHREADS_H

#include <functional>
#include <system_error>
#include <thread>

namespace azpack {

// Runs `first` here and `second` on a thread of its own, and returns once
// both are done. When no thread can be started, both run here in turn: the
// result is the same, only slower. Neither may throw.
template <typename First, typename Second>
void runSideBySide(First &&first, Second &&second)
{
    std::thread helper;
    try {
        helper = std::thread(std::ref(second));
    } catch (const std::system_error &) {
    }
    first();
    if (helper.joinable())
        helper.join();
    else
        second();
}

} // namespace azpack

#endif
