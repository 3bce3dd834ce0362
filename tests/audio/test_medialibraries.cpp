// FFmpeg's libraries are opened when asked for, not when the program starts.

#include "medialibraries.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

// Whether the process has a library of that name mapped.
bool mapped(const std::string &library)
{
    std::ifstream maps("/proc/self/maps");
    std::stringstream text;
    text << maps.rdbuf();
    return text.str().find(library) != std::string::npos;
}

} // namespace

TEST(MediaLibraries, OpenOnlyOnceAskedForThenResolveEveryCall)
{
    // Nothing of FFmpeg is there before anyone asks for it: the program
    // loader must not have opened it with the program.
    for (const char *library : {"libavformat.so", "libavcodec.so", "libswresample.so", "libavutil.so"})
        EXPECT_FALSE(mapped(library)) << library;

    // A preload and a use that meets it on the way: the use waits for the
    // libraries and finds them open.
    audio::preloadMediaLibraries();
    ASSERT_TRUE(audio::mediaLibrariesLoaded());
    for (const char *library : {"libavformat.so", "libavcodec.so", "libswresample.so", "libavutil.so"})
        EXPECT_TRUE(mapped(library)) << library;
    for (const char *function : {"avformat_open_input", "avcodec_send_packet", "swr_convert", "av_malloc"})
        EXPECT_NE(audio::mediaSymbol(function), nullptr) << function;
}
