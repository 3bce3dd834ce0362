#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace audio {

using Handle = std::uint32_t;  // 0 = none / failure

constexpr std::uint32_t kSampleFx = 0x80;          // flag of file streams that take effects
constexpr std::uint32_t kStreamStatus = 0x800000;  // flag of URL streams

enum class Active { Stopped = 0, Playing = 1 };
enum class TagType { Icy = 3, Http = 4, Meta = 5 };
// End: a stream has handed its last sample to the output (once per run to
// the end; a seek or rewind arms it again). Meta: new stream metadata.
enum class SyncType { End = 2, Meta = 4 };
enum class FxType { ParamEq = 7 };
// NetTimeout: milliseconds a URL stream waits for a connection or for data.
enum class Config { NetTimeout = 11, NetPlaylist = 21 };

constexpr std::uint32_t kDataFft512 = 0x80000002;

// One peaking band: centre in Hz, bandwidth in semitones, gain in dB.
struct ParamEq {
    float center = 0;
    float bandwidth = 12;
    float gain = 0;
};

// Runs on the library's own (decoder) thread, never on the caller's; it must
// hand its work on rather than block, and must not free its own stream.
using SyncProc = std::function<void(Handle sync, Handle channel)>;

class EngineImpl;

// A station's tag texts as a probe read them.
struct UrlTags {
    std::optional<std::string> meta, http, icy;
};
// Opens a URL as streamCreateUrl does, reads its tags and lets go again; null
// when it could not be opened. `cancel` works as there.
using UrlProbe = std::function<std::optional<UrlTags>(const std::string &url,
                                                      std::shared_ptr<const std::atomic<bool>> cancel)>;

// The player's only door to sound output. Byte positions of a stream always
// count 16-bit signed interleaved samples at the stream's own sample rate and
// channel count, so byte/second conversions are exact.
class Engine {
public:
    Engine();
    ~Engine();
    Engine(const Engine &) = delete;
    Engine &operator=(const Engine &) = delete;

    bool init(int device = -1, int frequency = 44100, std::uint32_t flags = 0);
    bool free();
    bool setConfig(Config option, std::uint32_t value);
    bool setVolume(float volume);
    float getVolume() const;

    Handle streamCreateFile(const std::string &path, std::uint64_t offset, std::uint64_t length,
                            std::uint32_t flags);
    Handle wmaStreamCreateFile(const std::string &path, std::uint64_t offset, std::uint64_t length,
                               std::uint32_t flags);
    // Blocks while it connects and fills its buffer; a station that does
    // not answer is given up after the net timeout (five seconds unless set),
    // one that trickles its data after twice that. `cancel` turning true,
    // from any thread, makes it give up at once and return 0; a stream that
    // did open goes on watching it.
    Handle streamCreateUrl(const std::string &url, std::uint64_t offset, std::uint32_t flags,
                           std::shared_ptr<const std::atomic<bool>> cancel = {});
    bool streamFree(Handle stream);
    // A probe with this engine's settings of now that needs nothing of the
    // engine: a thread that may outlive it (one stuck in a name lookup) can
    // keep and call it.
    UrlProbe urlProbe() const;

    bool channelPlay(Handle channel, bool restart);
    bool channelStop(Handle channel);
    Active channelIsActive(Handle channel) const;
    std::int64_t channelGetLength(Handle channel) const;
    std::int64_t channelGetPosition(Handle channel) const;
    bool channelSetPosition(Handle channel, std::int64_t bytes);
    double channelBytes2Seconds(Handle channel, std::int64_t bytes) const;
    std::int64_t channelSeconds2Bytes(Handle channel, double seconds) const;
    std::optional<std::string> channelGetTags(Handle channel, TagType type) const;
    Handle channelSetSync(Handle channel, SyncType type, std::uint64_t param, SyncProc proc);
    bool channelGetData(Handle channel, float *buffer, std::uint32_t flags) const;
    Handle channelSetFx(Handle channel, FxType type, int priority);
    bool channelRemoveFx(Handle channel, Handle fx);
    bool fxGetParameters(Handle fx, ParamEq &params) const;
    bool fxSetParameters(Handle fx, const ParamEq &params);
    // Scales what the stream decodes, ahead of its effects and apart from
    // the device volume (loudness levelling). Set it before the stream is
    // played from its start; 1 leaves the sound unchanged.
    bool channelSetGain(Handle channel, float factor);

private:
    std::unique_ptr<EngineImpl> impl_;
};

}  // namespace audio
