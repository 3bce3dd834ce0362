#include "output.h"

#include "stream.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace audio {

namespace {

constexpr int kChannels = 2;
constexpr Uint16 kBufferFrames = 1024;
constexpr const char *kLogPrefix = "melodeck audio: ";

}  // namespace

std::unique_ptr<Output> Output::open(int frequency)
{
    // The program decides what SIGINT and SIGTERM do; SDL's own handlers
    // would turn them into events that nobody reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "%scannot start audio: %s\n", kLogPrefix, SDL_GetError());
        return nullptr;
    }
    std::unique_ptr<Output> output(new Output());
    SDL_AudioSpec want{};
    want.freq = frequency;
    want.format = AUDIO_F32SYS;
    want.channels = kChannels;
    want.samples = kBufferFrames;
    want.callback = &Output::callback;
    want.userdata = output.get();
    SDL_AudioSpec have{};
    // SDL converts to whatever the device wants; the mixer always sees
    // stereo float at the asked rate.
    output->device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (output->device_ == 0) {
        std::fprintf(stderr, "%scannot open the output device: %s\n", kLogPrefix, SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return nullptr;
    }
    output->rate_ = have.freq;
    output->bufferFrames_ = have.samples;
    SDL_PauseAudioDevice(output->device_, 0);
    return output;
}

Output::~Output()
{
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

bool Output::add(Stream *stream)
{
    for (auto &slot : slots_) {
        Stream *empty = nullptr;
        if (slot.compare_exchange_strong(empty, stream))
            return true;
    }
    return false;
}

void Output::remove(Stream *stream)
{
    for (auto &slot : slots_) {
        Stream *expected = stream;
        slot.compare_exchange_strong(expected, nullptr);
    }
    // Locking waits for a running callback to finish: after this no callback
    // can still hold the pointer.
    SDL_LockAudioDevice(device_);
    SDL_UnlockAudioDevice(device_);
}

void Output::callback(void *self, std::uint8_t *bytes, int length)
{
    auto *out = reinterpret_cast<float *>(bytes);
    const auto frames = static_cast<std::size_t>(length) / (sizeof(float) * kChannels);
    static_cast<Output *>(self)->mix(out, frames);
}

void Output::mix(float *out, std::size_t frames)
{
    std::fill(out, out + frames * kChannels, 0.0f);
    bool any = false;
    for (auto &slot : slots_) {
        if (Stream *stream = slot.load(std::memory_order_acquire)) {
            stream->mixInto(out, frames);
            any = true;
        }
    }
    if (!any)
        return;
    const float gain = volume_.load(std::memory_order_relaxed);
    bool sound = false;
    for (std::size_t i = 0; i < frames * kChannels; ++i) {
        sound = sound || out[i] != 0.0f;
        out[i] = std::clamp(out[i] * gain, -1.0f, 1.0f);
    }
    if (sound && firstSoundArmed_.load(std::memory_order_relaxed)) {
        firstSoundArmed_.store(false, std::memory_order_relaxed);
        firstSound_.store(std::chrono::duration_cast<std::chrono::nanoseconds>(
                              std::chrono::steady_clock::now().time_since_epoch())
                              .count(),
                          std::memory_order_relaxed);
    }
}

}  // namespace audio
