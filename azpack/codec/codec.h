// The codec's steps chained in memory, without files or log: the same
// container bytes as the exports write.
#ifndef AZPACK_CODEC_CODEC_H
#define AZPACK_CODEC_CODEC_H

#include <cstdint>
#include <span>
#include <vector>

namespace azpack {

// An empty input gives an empty container. False for inputs of 2^31 bytes
// or more.
bool compressBytes(std::span<const std::uint8_t> input, std::vector<std::uint8_t> &container);

// False for any damaged container; an empty container restores to nothing.
bool restoreBytes(std::span<const std::uint8_t> container, std::vector<std::uint8_t> &output);

} // namespace azpack

#endif
