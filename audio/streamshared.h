#pragma once

// What the parts of Stream share: the decoder's block size and how a buffer
// length in seconds turns into frames.

#include <cstddef>

namespace audio::streamshared {

constexpr std::size_t kScratchFrames = 4096;

inline std::size_t framesFor(double seconds, int rate)
{
    return static_cast<std::size_t>(seconds * rate);
}

}  // namespace audio::streamshared
