#pragma once

// Network input for URL streams (web radio): opens an http/https or SHOUTCAST
// (ICY) source through FFmpeg, follows .pls/.m3u playlists, and exposes the
// response headers and the in-band metadata blocks.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

struct AVFormatContext;

namespace audio {

class NetInput {
public:
    static constexpr int kDefaultTimeoutMs = 5000;

    // Opens an http/https URL for decoding. Only http and https are ever
    // opened (redirects included); connecting and every read time out after
    // timeoutMs (at most about half an hour), the opening as a whole (a
    // station trickling its data) after twice that; `abort` turning true makes any wait return at once. `abort`
    // must outlive the returned object: every later read still consults it.
    // With followPlaylists, a .pls or .m3u answer is fetched, parsed and its
    // entries tried in order until one opens; non-http entries are refused.
    // Returns null on failure; otherwise the stream info is known and an audio
    // stream is present. `cancel`, when given, works like `abort` (the
    // caller's own way to give up) and must live as long.
    static std::unique_ptr<NetInput> open(const std::string &url, bool followPlaylists,
                                          const std::atomic<bool> &abort,
                                          const std::atomic<bool> *cancel = nullptr,
                                          int timeoutMs = kDefaultTimeoutMs);
    ~NetInput();

    NetInput(const NetInput &) = delete;
    NetInput &operator=(const NetInput &) = delete;

    // Owned by this object. The caller may av_read_frame from it; it must not
    // close it or replace its I/O context.
    AVFormatContext *format() const;
    // Response header lines, "line\0line\0...\0\0", bounded in size.
    std::string httpTags() const;
    // The icy-* header lines only, same form.
    std::string icyTags() const;
    // Call after each av_read_frame: true when a metadata block arrived that
    // differs from the last one; text is "StreamTitle='...';StreamUrl='...';".
    bool pollMeta(std::string &text);

    // The read timeout, for further connections the demuxer opens.
    std::int64_t timeoutUs() const { return timeoutUs_; }

    // The URL that finally opened (after playlists), for diagnostics.
    const std::string &url() const { return url_; }

private:
    // Either flag turning true, or the deadline passing, interrupts every wait.
    struct AbortFlags {
        const std::atomic<bool> *abort = nullptr;
        const std::atomic<bool> *cancel = nullptr;
        const std::atomic<std::int64_t> *deadline = nullptr;  // steady clock, ns; 0: none
        bool raised() const;
    };

    NetInput();
    static std::unique_ptr<NetInput> openDirect(const std::string &url, bool followPlaylists,
                                                AbortFlags flags, std::int64_t timeoutUs, std::int64_t deadline,
                                                int depth);
    static int interruptCallback(void *opaque);

    struct Io;

    AbortFlags flags_;  // FFmpeg's interrupt call-back reads these through a pointer
    std::atomic<std::int64_t> openDeadline_{0};  // cleared once open
    std::int64_t timeoutUs_ = 0;  // for the connections a demuxer opens
    std::unique_ptr<Io> io_;
    AVFormatContext *format_ = nullptr;
    std::string url_;
    std::string httpTags_;
    std::string icyTags_;
    std::string lastPacket_;  // as FFmpeg last handed it over
    std::string lastMeta_;    // as last reported
};

} // namespace audio
