// Audio figures: offline decode + 7-band equalizer + spectrum speed on one
// core, CPU use while playing through the output, and the delay from play
// to the first sample the output callback emits.
//
// Usage: bench_audio [seconds of test audio, default 60]

#include "engine.h"
#include "fixtures/mediafiles.h"
#include "mediasource.h"
#include "output.h"
#include "peakingband.h"
#include "fftanalyzer.h"
#include "stream.h"

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBands = 7;
constexpr float kBandwidth = 18.0f;

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double processCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto secs = [](const timeval &v) { return static_cast<double>(v.tv_sec) + static_cast<double>(v.tv_usec) * 1e-6; };
    return secs(u.ru_utime) + secs(u.ru_stime);
}

std::vector<audio::ParamEq> bands()
{
    std::vector<audio::ParamEq> list;
    for (int i = 0; i < kBands; ++i)
        list.push_back({125.0f * static_cast<float>(1 << i), kBandwidth, static_cast<float>(i % 2 ? -6 : 9)});
    return list;
}

void offlineSpeed(const std::string &path, const char *name)
{
    auto source = audio::MediaSource::openFile(path, audio::MediaSource::Kind::Any);
    if (!source) {
        std::printf("%s: cannot open\n", name);
        return;
    }
    std::vector<audio::PeakingBand> eq;
    for (const auto &p : bands())
        eq.emplace_back(source->sampleRate(), source->channels(), p);
    audio::Spectrum spectrum;
    std::vector<float> block, mono;
    float bins[audio::Spectrum::kBins];
    std::int64_t frames = 0;
    std::size_t ffts = 0;
    const double start = threadCpuSeconds();
    while (source->read(block)) {
        const std::size_t n = block.size() / static_cast<std::size_t>(source->channels());
        for (auto &band : eq)
            band.process(block.data(), n);
        for (std::size_t i = 0; i < n; ++i) {
            float sum = 0;
            for (int c = 0; c < source->channels(); ++c)
                sum += block[i * static_cast<std::size_t>(source->channels()) + static_cast<std::size_t>(c)];
            mono.push_back(sum / static_cast<float>(source->channels()));
            if (mono.size() == audio::Spectrum::kSize) {
                spectrum.compute(mono.data(), bins);
                mono.clear();
                ++ffts;
            }
        }
        frames += static_cast<std::int64_t>(n);
    }
    const double cpu = threadCpuSeconds() - start;
    const double audioSeconds = static_cast<double>(frames) / source->sampleRate();
    std::printf("offline %-7s decode+7 bands+FFT: %.1f s of audio in %.3f s CPU = %.0fx real time (%zu FFTs)\n", name,
                audioSeconds, cpu, audioSeconds / cpu, ffts);
}

void openTime(const std::string &path, const char *name)
{
    const auto t0 = Clock::now();
    auto source = audio::MediaSource::openFile(path, audio::MediaSource::Kind::Any);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    if (source)
        std::printf("open %-7s (length %.2f s; MP3 includes the packet scan): %.1f ms\n", name,
                    static_cast<double>(source->lengthFrames()) / source->sampleRate(), ms);
}

void playingCpu(const std::string &path, double seconds)
{
    audio::Engine engine;
    if (!engine.init(-1, 44100, 0)) {
        std::printf("playing: no output device\n");
        return;
    }
    const auto h = engine.streamCreateFile(path, 0, 0, audio::kSampleFx);
    for (const auto &p : bands())
        engine.fxSetParameters(engine.channelSetFx(h, audio::FxType::ParamEq, 1), p);
    engine.channelPlay(h, true);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // past the start-up
    const double cpu0 = processCpuSeconds();
    const auto wall0 = Clock::now();
    float bins[256];
    // The player asks for the spectrum 24 times a second.
    while (Clock::now() - wall0 < std::chrono::duration<double>(seconds)) {
        engine.channelGetData(h, bins, audio::kDataFft512);
        std::this_thread::sleep_for(std::chrono::milliseconds(42));
    }
    const double cpu = processCpuSeconds() - cpu0;
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    std::printf("playing MP3 with 7 bands + spectrum polling: %.2f%% of one core (%.3f s CPU in %.2f s)\n",
                100.0 * cpu / wall, cpu, wall);
}

void startLatency(const std::string &path)
{
    auto output = audio::Output::open(44100);
    if (!output) {
        std::printf("latency: no output device\n");
        return;
    }
    std::vector<double> fresh, restart;
    for (int round = 0; round < 10; ++round) {
        auto stream = audio::Stream::openFile(path, audio::MediaSource::Kind::Any, 1, output->rate());
        output->add(stream.get());
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        for (auto *list : {&fresh, &restart}) {
            output->armFirstSound();
            const auto t0 = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
            stream->play(true);
            while (output->firstSound() == 0)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            list->push_back(static_cast<double>(output->firstSound() - t0) * 1e-6);
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            stream->pause();
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
        }
        output->remove(stream.get());
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double buffer = 1000.0 * output->bufferFrames() / output->rate();
    std::printf("latency play -> first samples in the callback: median %.1f ms on a fresh stream, %.1f ms on a "
                "restart (seek to 0); the device buffer adds %.1f ms\n",
                median(fresh), median(restart), buffer);
}

}  // namespace

int main(int argc, char **argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    audiotest::TempDir dir;
    const std::string mp3 = audiotest::writeChirp(dir, "bench", audiotest::Format::Mp3, seconds);
    const std::string ogg = audiotest::writeChirp(dir, "bench", audiotest::Format::Ogg, seconds);
    const std::string wav = audiotest::writeChirp(dir, "bench", audiotest::Format::Wav, seconds);
    offlineSpeed(mp3, "mp3");
    offlineSpeed(ogg, "ogg");
    offlineSpeed(wav, "wav");
    openTime(mp3, "mp3");
    openTime(ogg, "ogg");
    playingCpu(mp3, 5.0);
    startLatency(mp3);
    return 0;
}
