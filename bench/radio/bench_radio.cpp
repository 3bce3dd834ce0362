// How long a station takes to start on a real Icecast 2 server fed at real
// time: the time the opening call holds its thread (the window's thread when
// a station is double-clicked) and the time until the output takes the first
// sample, for a station that sends titles and for one that sends none.
// Prints median and worst of several starts; skips without icecast2.

#include "engine.h"
#include "support/icecastserver.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kStarts = 7;
constexpr auto kFirstSampleDeadline = std::chrono::seconds(30);

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Start {
    double openMs = 0;
    double heardMs = 0;
    bool titled = false;
};

bool startOnce(audio::Engine &engine, const std::string &url, Start &start)
{
    const auto begin = Clock::now();
    const audio::Handle stream = engine.streamCreateUrl(url, 0, audio::kStreamStatus);
    start.openMs = msSince(begin);
    if (stream == 0)
        return false;
    const auto meta = engine.channelGetTags(stream, audio::TagType::Meta);
    start.titled = meta && meta->find("StreamTitle='';") == std::string::npos;
    engine.channelPlay(stream, false);
    const auto deadline = Clock::now() + kFirstSampleDeadline;
    while (engine.channelGetPosition(stream) <= 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    start.heardMs = msSince(begin);
    engine.streamFree(stream);
    return true;
}

void report(const char *what, std::vector<Start> starts)
{
    auto figure = [&starts](double Start::*field, const char *name) {
        std::vector<double> v;
        for (const auto &s : starts)
            v.push_back(s.*field);
        std::sort(v.begin(), v.end());
        std::printf("  %-28s median %7.0f ms   worst %7.0f ms\n", name, v[v.size() / 2], v.back());
    };
    std::printf("%s (%zu starts)\n", what, starts.size());
    figure(&Start::openMs, "opening holds the thread");
    figure(&Start::heardMs, "first sample heard after");
    const auto titled = std::count_if(starts.begin(), starts.end(), [](const Start &s) { return s.titled; });
    std::printf("  title known when opened:     %ld of %zu\n", static_cast<long>(titled), starts.size());
}

}  // namespace

int main()
{
    if (!radiotest::IcecastServer::installed()) {
        std::printf("bench_radio: skipped, icecast2 (or ffmpeg) is not installed\n");
        return 0;
    }
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    radiotest::IcecastServer server;
    if (!server.error().empty()) {
        std::fprintf(stderr, "bench_radio: %s\n", server.error().c_str());
        return 1;
    }
    if (!server.addFeed({"/titled", "Titled FM", "http://titled.example/", 128})
        || !server.addFeed({"/plain", "Plain FM", "http://plain.example/", 128})
        || !server.setTitle("/titled", "Bench Song")) {
        std::fprintf(stderr, "bench_radio: the feeders did not come up\n");
        return 1;
    }
    audio::Engine engine;
    if (!engine.init()) {
        std::fprintf(stderr, "bench_radio: no audio output\n");
        return 1;
    }
    engine.setConfig(audio::Config::NetPlaylist, 1);
    // A station on the air for a while: the server's burst for a new
    // listener is full, as it is for a real one.
    std::this_thread::sleep_for(std::chrono::seconds(8));
    std::printf("Icecast 2 on 127.0.0.1:%u, 128 kBit/s MP3 fed at real time\n", server.port());
    for (const auto &[mount, what] : {std::pair{"/titled", "station with a title"},
                                      std::pair{"/plain", "station without titles"}}) {
        std::vector<Start> starts;
        for (int i = 0; i < kStarts; ++i) {
            Start s;
            if (!startOnce(engine, server.url(mount), s)) {
                std::fprintf(stderr, "bench_radio: %s did not open\n", mount);
                return 1;
            }
            starts.push_back(s);
        }
        report(what, starts);
    }
    return 0;
}
