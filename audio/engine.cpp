#include "engine.h"

#include "output.h"
#include "fftanalyzer.h"
#include "stream.h"

#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <optional>

namespace audio {

// Handles of every kind come from one counter, so a stale handle of one kind
// can never name a live object of another.
class EngineImpl {
public:
    std::shared_ptr<Stream> stream(Handle handle) const
    {
        std::lock_guard lock(mutex);
        const auto it = streams.find(handle);
        return it == streams.end() ? nullptr : it->second;
    }

    // The stream an effect sits on, with the effect's handle still valid.
    std::shared_ptr<Stream> fxStream(Handle fx) const
    {
        std::lock_guard lock(mutex);
        const auto it = effects.find(fx);
        if (it == effects.end())
            return nullptr;
        const auto s = streams.find(it->second);
        return s == streams.end() ? nullptr : s->second;
    }

    Handle nextHandle()
    {
        if (++counter == 0)
            ++counter;
        return counter;
    }

    Handle addStream(std::unique_ptr<Stream> made)
    {
        if (!made)
            return 0;
        std::shared_ptr<Stream> stream(std::move(made));
        std::lock_guard lock(mutex);
        if (!output || !output->add(stream.get()))
            return 0;
        streams.emplace(stream->handle(), stream);
        return stream->handle();
    }

    Handle openFile(const std::string &path, std::uint64_t offset, std::uint64_t length, MediaSource::Kind kind)
    {
        // A stream always covers the whole file.
        if (offset != 0 || length != 0)
            return 0;
        int rate = 0;
        Handle handle = 0;
        {
            std::lock_guard lock(mutex);
            if (!output)
                return 0;
            rate = output->rate();
            handle = nextHandle();
        }
        // Opening reads the file (and scans MP3s): done outside the lock.
        return addStream(Stream::openFile(path, kind, handle, rate));
    }

    std::shared_ptr<Stream> takeStream(Handle handle)
    {
        std::lock_guard lock(mutex);
        const auto it = streams.find(handle);
        if (it == streams.end())
            return nullptr;
        auto stream = it->second;
        streams.erase(it);
        std::erase_if(effects, [handle](const auto &e) { return e.second == handle; });
        std::erase_if(syncs, [handle](const auto &s) { return s.second == handle; });
        stream->abort();
        output->remove(stream.get());
        return stream;
    }

    mutable std::mutex mutex;
    std::unique_ptr<Output> output;
    std::map<Handle, std::shared_ptr<Stream>> streams;
    std::map<Handle, Handle> effects;  // effect -> its stream
    std::map<Handle, Handle> syncs;    // sync -> its stream
    Handle counter = 0;
    bool followPlaylists = false;
    int netTimeoutMs = 5000;
    float volume = 1.0f;

    // Planned on the first spectrum asked for: planning pulls megabytes of
    // FFTW's code into memory, which a program that plays nothing never needs.
    mutable std::mutex spectrumMutex;
    std::optional<Spectrum> spectrum;
};

Engine::Engine() : impl_(std::make_unique<EngineImpl>()) {}

Engine::~Engine()
{
    free();
}

bool Engine::init(int device, int frequency, std::uint32_t)
{
    // -1 and 1 both name the default output.
    if ((device != -1 && device != 1) || frequency <= 0)
        return false;
    std::lock_guard lock(impl_->mutex);
    if (impl_->output)
        return false;
    impl_->output = Output::open(frequency);
    if (!impl_->output)
        return false;
    impl_->output->setVolume(impl_->volume);
    return true;
}

bool Engine::free()
{
    std::vector<Handle> open;
    {
        std::lock_guard lock(impl_->mutex);
        if (!impl_->output)
            return false;
        for (const auto &entry : impl_->streams)
            open.push_back(entry.first);
    }
    for (const Handle handle : open)
        streamFree(handle);
    std::unique_ptr<Output> output;
    {
        std::lock_guard lock(impl_->mutex);
        output = std::move(impl_->output);
    }
    return true;
}

bool Engine::setConfig(Config option, std::uint32_t value)
{
    std::lock_guard lock(impl_->mutex);
    switch (option) {
    case Config::NetPlaylist:
        impl_->followPlaylists = value != 0;
        return true;
    case Config::NetTimeout:
        if (value == 0 || value > static_cast<std::uint32_t>(std::numeric_limits<int>::max()))
            return false;
        impl_->netTimeoutMs = static_cast<int>(value);
        return true;
    }
    return false;
}

bool Engine::setVolume(float volume)
{
    if (!std::isfinite(volume) || volume < 0.0f || volume > 1.0f)
        return false;
    std::lock_guard lock(impl_->mutex);
    if (!impl_->output)
        return false;
    impl_->volume = volume;
    impl_->output->setVolume(volume);
    return true;
}

float Engine::getVolume() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->output ? impl_->volume : -1.0f;
}

Handle Engine::streamCreateFile(const std::string &path, std::uint64_t offset, std::uint64_t length, std::uint32_t)
{
    return impl_->openFile(path, offset, length, MediaSource::Kind::Any);
}

Handle Engine::wmaStreamCreateFile(const std::string &path, std::uint64_t offset, std::uint64_t length,
                                   std::uint32_t)
{
    return impl_->openFile(path, offset, length, MediaSource::Kind::Wma);
}

Handle Engine::streamCreateUrl(const std::string &url, std::uint64_t offset, std::uint32_t,
                               std::shared_ptr<const std::atomic<bool>> cancel)
{
    if (offset != 0)
        return 0;
    int rate = 0;
    Handle handle = 0;
    bool follow = false;
    int timeoutMs = 0;
    {
        std::lock_guard lock(impl_->mutex);
        if (!impl_->output)
            return 0;
        rate = impl_->output->rate();
        handle = impl_->nextHandle();
        follow = impl_->followPlaylists;
        timeoutMs = impl_->netTimeoutMs;
    }
    // Connecting blocks; the engine stays usable from other threads meanwhile.
    return impl_->addStream(Stream::openUrl(url, follow, handle, rate, std::move(cancel), timeoutMs));
}

UrlProbe Engine::urlProbe() const
{
    constexpr int kProbeRate = 44100;  // nothing is played
    std::lock_guard lock(impl_->mutex);
    return [open = impl_->output != nullptr, follow = impl_->followPlaylists, timeoutMs = impl_->netTimeoutMs](
               const std::string &url, std::shared_ptr<const std::atomic<bool>> cancel) -> std::optional<UrlTags> {
        if (!open)
            return std::nullopt;  // as streamCreateUrl before init
        const auto stream = Stream::openUrl(url, follow, 0, kProbeRate, std::move(cancel), timeoutMs);
        if (!stream)
            return std::nullopt;
        return UrlTags{stream->tags(TagType::Meta), stream->tags(TagType::Http), stream->tags(TagType::Icy)};
    };
}

bool Engine::streamFree(Handle stream)
{
    // The last reference usually dies here, which joins the decoder thread.
    return impl_->takeStream(stream) != nullptr;
}

bool Engine::channelPlay(Handle channel, bool restart)
{
    const auto stream = impl_->stream(channel);
    if (!stream)
        return false;
    stream->play(restart);
    return true;
}

bool Engine::channelStop(Handle channel)
{
    const auto stream = impl_->stream(channel);
    if (!stream)
        return false;
    stream->pause();
    return true;
}

Active Engine::channelIsActive(Handle channel) const
{
    const auto stream = impl_->stream(channel);
    return stream && stream->active() ? Active::Playing : Active::Stopped;
}

std::int64_t Engine::channelGetLength(Handle channel) const
{
    const auto stream = impl_->stream(channel);
    return stream ? stream->lengthBytes() : -1;
}

std::int64_t Engine::channelGetPosition(Handle channel) const
{
    const auto stream = impl_->stream(channel);
    return stream ? stream->positionBytes() : -1;
}

bool Engine::channelSetPosition(Handle channel, std::int64_t bytes)
{
    const auto stream = impl_->stream(channel);
    return stream && stream->setPositionBytes(bytes);
}

double Engine::channelBytes2Seconds(Handle channel, std::int64_t bytes) const
{
    const auto stream = impl_->stream(channel);
    if (!stream || bytes < 0)
        return -1.0;
    return stream->bytesToSeconds(bytes);
}

std::int64_t Engine::channelSeconds2Bytes(Handle channel, double seconds) const
{
    const auto stream = impl_->stream(channel);
    return stream ? stream->secondsToBytes(seconds) : -1;
}

std::optional<std::string> Engine::channelGetTags(Handle channel, TagType type) const
{
    const auto stream = impl_->stream(channel);
    if (!stream)
        return std::nullopt;
    return stream->tags(type);
}

Handle Engine::channelSetSync(Handle channel, SyncType type, std::uint64_t, SyncProc proc)
{
    if ((type != SyncType::Meta && type != SyncType::End) || !proc)
        return 0;
    const auto stream = impl_->stream(channel);
    if (!stream)
        return 0;
    Handle sync = 0;
    {
        std::lock_guard lock(impl_->mutex);
        sync = impl_->nextHandle();
        impl_->syncs.emplace(sync, channel);
    }
    if (type == SyncType::End)
        stream->addEndSync(sync, std::move(proc));
    else
        stream->addMetaSync(sync, std::move(proc));
    return sync;
}

bool Engine::channelGetData(Handle channel, float *buffer, std::uint32_t flags) const
{
    if (!buffer || flags != kDataFft512)
        return false;
    const auto stream = impl_->stream(channel);
    if (!stream)
        return false;
    float samples[Spectrum::kSize];
    stream->recentMono(samples, Spectrum::kSize);
    std::lock_guard lock(impl_->spectrumMutex);
    if (!impl_->spectrum)
        impl_->spectrum.emplace();
    impl_->spectrum->compute(samples, buffer);
    return true;
}

Handle Engine::channelSetFx(Handle channel, FxType type, int priority)
{
    if (type != FxType::ParamEq)
        return 0;
    const auto stream = impl_->stream(channel);
    if (!stream)
        return 0;
    Handle fx = 0;
    {
        std::lock_guard lock(impl_->mutex);
        fx = impl_->nextHandle();
        impl_->effects.emplace(fx, channel);
    }
    stream->addFx(fx, priority);
    return fx;
}

bool Engine::channelRemoveFx(Handle channel, Handle fx)
{
    std::shared_ptr<Stream> stream;
    {
        std::lock_guard lock(impl_->mutex);
        const auto it = impl_->effects.find(fx);
        if (it == impl_->effects.end() || it->second != channel)
            return false;
        impl_->effects.erase(it);
        const auto s = impl_->streams.find(channel);
        if (s != impl_->streams.end())
            stream = s->second;
    }
    return stream && stream->removeFx(fx);
}

bool Engine::channelSetGain(Handle channel, float factor)
{
    const auto stream = impl_->stream(channel);
    if (!stream)
        return false;
    stream->setGain(factor);
    return true;
}

bool Engine::fxGetParameters(Handle fx, ParamEq &params) const
{
    const auto stream = impl_->fxStream(fx);
    return stream && stream->fxParams(fx, params);
}

bool Engine::fxSetParameters(Handle fx, const ParamEq &params)
{
    const auto stream = impl_->fxStream(fx);
    return stream && stream->setFxParams(fx, params);
}

}  // namespace audio
