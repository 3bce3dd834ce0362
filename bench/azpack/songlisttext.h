// A song table's stored text for benchmarks: five CR LF ended lines per song
// (file name, archive, artist, title, album), like a real "songlist.azl".
#ifndef AZPACK_BENCH_SONGLISTTEXT_H
#define AZPACK_BENCH_SONGLISTTEXT_H

#include <cstddef>
#include <string>

std::string songListText(std::size_t bytes);

#endif
