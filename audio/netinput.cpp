#include "netinput.h"
#include "medialibraries.h"

#include "playlistparse.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavformat/avio.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

namespace audio {

namespace {

// Only these are ever opened: the two schemes a station may use and the
// transports beneath them. Anything else, from a redirect, a playlist entry or
// a demuxer that opens further URLs, is refused by FFmpeg itself.
constexpr const char *kProtocolWhitelist = "http,https,tcp,tls";
constexpr const char *kUserAgent = "Melodeck/0.1";
// The whole opening, playlists included, may take this many read timeouts: a
// station that sends a byte now and then never lets a read timeout strike.
constexpr std::int64_t kOpenTimeouts = 2;
// FFmpeg's connect timeout is an int of microseconds.
constexpr int kMaxTimeoutMs = 2'000'000;

constexpr std::size_t kSniffBytes = 2048;
constexpr std::size_t kMaxPlaylistBytes = 64 * 1024;
constexpr std::size_t kMaxPlaylistEntries = 16;
constexpr int kMaxPlaylistDepth = 2;
constexpr std::size_t kMaxHeaderTagBytes = 8 * 1024;
constexpr std::size_t kMaxMetaBytes = 4 * 1024;
constexpr int kIoBufferSize = 32 * 1024;

constexpr const char *kStationProbeBytes = "16384";
constexpr const char *kStationAnalyzeUs = "500000";
constexpr const char *kOptMimeType = "mime_type";
// A live station's burst starts in the middle of a frame, so a probe of its
// bytes scores low and reads on, at the station's own pace, for seconds: the
// content type it declares names the demuxer at once.
struct DeclaredFormat {
    std::string_view contentType;
    const char *demuxer;
};
constexpr std::array kDeclaredFormats{
    DeclaredFormat{"audio/mpeg", "mp3"},       DeclaredFormat{"audio/mp3", "mp3"},
    DeclaredFormat{"audio/aac", "aac"},        DeclaredFormat{"audio/aacp", "aac"},
    DeclaredFormat{"audio/x-aac", "aac"},      DeclaredFormat{"audio/ogg", "ogg"},
    DeclaredFormat{"application/ogg", "ogg"},  DeclaredFormat{"audio/flac", "flac"},
};
constexpr const char *kOptIcyHeaders = "icy_metadata_headers";
constexpr const char *kOptIcyPacket = "icy_metadata_packet";
constexpr const char *kContentTypeHeader = "Content-Type: ";
constexpr const char *kLogPrefix = "melodeck audio: ";

// Diagnostics on standard error; each is followed by the URL concerned.
constexpr const char *kMsgRefusedNested = "refused a nested URL: ";
constexpr const char *kMsgRefusedUrl = "refused to open a non-http URL: ";
constexpr const char *kMsgCannotConnect = "cannot connect to ";
constexpr const char *kMsgNoData = "no data from ";
constexpr const char *kMsgPlaylistNotFollowed = "not following the playlist at ";
constexpr const char *kMsgPlaylistUnreadable = "cannot read the playlist at ";
constexpr const char *kMsgRefusedEntry = "refused playlist entry ";
constexpr const char *kMsgStreamUnreadable = "cannot read the stream at ";
constexpr const char *kMsgNoStreamInfo = "no stream information at ";
constexpr const char *kMsgNoAudio = "no audio at ";

void warn(const char *message, const std::string &url, int error = 0)
{
    if (error < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(error, text, sizeof text);
        std::fprintf(stderr, "%s%s%s: %s\n", kLogPrefix, message, url.c_str(), text);
    } else {
        std::fprintf(stderr, "%s%s%s\n", kLogPrefix, message, url.c_str());
    }
}

struct DictFree {
    void operator()(AVDictionary *d) const { av_dict_free(&d); }
};

// timeoutUs is for the connect and for every read.
AVDictionary *networkOptions(bool icy, std::int64_t timeoutUs)
{
    AVDictionary *options = nullptr;
    av_dict_set(&options, "protocol_whitelist", kProtocolWhitelist, 0);
    av_dict_set_int(&options, "timeout", timeoutUs, 0);
    av_dict_set_int(&options, "rw_timeout", timeoutUs, 0);
    av_dict_set(&options, "icy", icy ? "1" : "0", 0);
    av_dict_set(&options, "user_agent", kUserAgent, 0);
    return options;
}

// Connections a demuxer opens on its own (HLS segments and the like) get the
// same scheme check and timeouts as the station itself; FFmpeg's default
// would wait on a dead segment server for ever.
int openNested(AVFormatContext *format, AVIOContext **pb, const char *url, int flags,
               AVDictionary **options)
{
    if (!url || !isHttpUrl(url)) {
        warn(kMsgRefusedNested, url ? url : "");
        return AVERROR(EPERM);
    }
    const auto *input = static_cast<const NetInput *>(format->opaque);
    AVDictionary *merged = networkOptions(false, input ? input->timeoutUs() : NetInput::kDefaultTimeoutMs * 1000);
    if (options)
        av_dict_copy(&merged, *options, AV_DICT_DONT_OVERWRITE);
    const int rc = avio_open2(pb, url, flags, &format->interrupt_callback, &merged);
    if (options) {
        av_dict_free(options);
        *options = merged;  // what was left unused, as FFmpeg expects
    } else {
        av_dict_free(&merged);
    }
    return rc;
}

// An option string of the http layer beneath an AVIOContext, or empty.
std::string ioOption(AVIOContext *io, const char *name)
{
    if (!io)
        return {};
    std::uint8_t *value = nullptr;
    if (av_opt_get(io, name, AV_OPT_SEARCH_CHILDREN, &value) < 0 || !value)
        return {};
    std::string text(reinterpret_cast<const char *>(value));
    av_free(value);
    return text;
}

// Appends one header line in the "line\0...\0\0" form, keeping the whole
// text within `limit` (the final empty line included).
void appendTagLine(std::string &tags, std::string_view line, std::size_t limit)
{
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    // An embedded zero would end the line list early for the reader.
    const std::size_t zero = line.find('\0');
    if (zero != std::string_view::npos)
        line = line.substr(0, zero);
    if (line.empty())
        return;
    if (tags.size() + line.size() + 2 > limit)
        return;
    tags.append(line);
    tags.push_back('\0');
}

std::string finishTags(std::string tags)
{
    tags.push_back('\0');
    return tags;
}

// FFmpeg hands the icy-* headers over as "name: value\n" lines.
std::string icyHeaderLines(const std::string &raw, std::size_t budget)
{
    std::string tags;
    std::string_view rest = raw;
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        appendTagLine(tags, rest.substr(0, end), budget);
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
    return tags;
}

// The metadata block is padded with zeros and, from FFmpeg, not always cleanly
// terminated; everything after the last ';' is padding or noise.
std::string cleanMeta(const std::string &raw)
{
    std::string text = raw.substr(0, std::min(raw.find('\0'), kMaxMetaBytes));
    const std::size_t last = text.rfind(';');
    if (last != std::string::npos)
        text.resize(last + 1);
    return text;
}

// Replays the bytes read while sniffing the answer, then reads straight from
// the http connection: the station is opened only once.
struct ReplayReader {
    AVIOContext *inner = nullptr;
    std::vector<std::uint8_t> prefix;
    std::size_t used = 0;

    static int read(void *opaque, std::uint8_t *buf, int size)
    {
        auto *self = static_cast<ReplayReader *>(opaque);
        if (self->used < self->prefix.size()) {
            const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size),
                                                        self->prefix.size() - self->used);
            std::memcpy(buf, self->prefix.data() + self->used, n);
            self->used += n;
            return static_cast<int>(n);
        }
        const int n = avio_read_partial(self->inner, buf, size);
        if (n == 0)
            return AVERROR_EOF;
        return n;
    }
};

// Reads up to `limit` bytes (fewer at the end of the answer); negative on error.
int readUpTo(AVIOContext *io, std::vector<std::uint8_t> &out, std::size_t limit)
{
    while (out.size() < limit) {
        std::uint8_t chunk[4096];
        const int want = static_cast<int>(std::min(sizeof chunk, limit - out.size()));
        const int n = avio_read_partial(io, chunk, want);
        if (n == AVERROR_EOF || n == 0)
            break;
        if (n < 0)
            return n;
        out.insert(out.end(), chunk, chunk + n);
    }
    return static_cast<int>(out.size());
}

std::int64_t steadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

struct NetInput::Io {
    AVIOContext *http = nullptr;     // the connection, opened by us
    AVIOContext *replay = nullptr;   // what the demuxer reads
    ReplayReader reader;

    ~Io()
    {
        if (replay) {
            av_freep(&replay->buffer);
            avio_context_free(&replay);
        }
        avio_closep(&http);
    }
};

NetInput::NetInput() = default;

NetInput::~NetInput()
{
    // The demuxer reads through io_, so it goes first.
    avformat_close_input(&format_);
    io_.reset();
}

bool NetInput::AbortFlags::raised() const
{
    if ((abort && abort->load(std::memory_order_relaxed)) || (cancel && cancel->load(std::memory_order_relaxed)))
        return true;
    const std::int64_t until = deadline ? deadline->load(std::memory_order_relaxed) : 0;
    return until != 0 && steadyNs() > until;
}

namespace {

const AVInputFormat *declaredDemuxer(const std::string &contentType)
{
    // "audio/mpeg; charset=..." and any letter case name the same type.
    std::string type = contentType.substr(0, contentType.find(';'));
    while (!type.empty() && type.back() == ' ')
        type.pop_back();
    std::transform(type.begin(), type.end(), type.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const auto &declared : kDeclaredFormats)
        if (declared.contentType == type)
            return av_find_input_format(declared.demuxer);
    return nullptr;  // anything else is probed
}

}  // namespace

int NetInput::interruptCallback(void *opaque)
{
    return static_cast<const AbortFlags *>(opaque)->raised() ? 1 : 0;
}

std::unique_ptr<NetInput> NetInput::open(const std::string &url, bool followPlaylists,
                                         const std::atomic<bool> &abort, const std::atomic<bool> *cancel,
                                         int timeoutMs)
{
    if (!mediaLibrariesLoaded())
        return nullptr;
    const std::int64_t timeoutUs = std::int64_t{std::clamp(timeoutMs, 1, kMaxTimeoutMs)} * 1000;
    auto input = openDirect(url, followPlaylists, AbortFlags{&abort, cancel}, timeoutUs,
                            steadyNs() + kOpenTimeouts * timeoutUs * 1000, 0);
    if (input)
        input->openDeadline_.store(0);  // reading on has only its own timeout
    return input;
}

std::unique_ptr<NetInput> NetInput::openDirect(const std::string &url, bool followPlaylists,
                                               AbortFlags flags, std::int64_t timeoutUs, std::int64_t deadline,
                                               int depth)
{
    if (!isHttpUrl(url)) {
        warn(kMsgRefusedUrl, url);
        return nullptr;
    }
    if (flags.raised())
        return nullptr;

    std::unique_ptr<NetInput> input(new NetInput);
    input->openDeadline_.store(deadline);
    input->timeoutUs_ = timeoutUs;
    input->flags_ = flags;
    input->flags_.deadline = &input->openDeadline_;
    input->io_ = std::make_unique<Io>();
    Io &io = *input->io_;
    const AVIOInterruptCB interrupt{&NetInput::interruptCallback, &input->flags_};

    std::unique_ptr<AVDictionary, DictFree> options(networkOptions(true, timeoutUs));
    AVDictionary *raw = options.release();
    int rc = avio_open2(&io.http, url.c_str(), AVIO_FLAG_READ, &interrupt, &raw);
    options.reset(raw);
    if (rc < 0) {
        warn(kMsgCannotConnect, url, rc);
        return nullptr;
    }

    std::vector<std::uint8_t> head;
    rc = readUpTo(io.http, head, kSniffBytes);
    if (rc <= 0) {
        warn(kMsgNoData, url, rc);
        return nullptr;
    }

    const std::string contentType = ioOption(io.http, kOptMimeType);
    const std::string_view headText(reinterpret_cast<const char *>(head.data()), head.size());
    const PlaylistKind kind = detectPlaylist(contentType, headText);
    if (kind != PlaylistKind::None) {
        if (!followPlaylists || depth >= kMaxPlaylistDepth) {
            warn(kMsgPlaylistNotFollowed, url);
            return nullptr;
        }
        rc = readUpTo(io.http, head, kMaxPlaylistBytes);
        if (rc < 0) {
            warn(kMsgPlaylistUnreadable, url, rc);
            return nullptr;
        }
        input.reset();  // the connection is not needed any more
        std::string text(reinterpret_cast<const char *>(head.data()), head.size());
        if (head.size() >= kMaxPlaylistBytes) {
            // Cut at the last full line rather than try a truncated URL.
            const std::size_t lastBreak = text.find_last_of("\r\n");
            text.resize(lastBreak == std::string::npos ? 0 : lastBreak);
        }
        std::size_t tried = 0;
        for (const std::string &entry : parsePlaylist(kind, text)) {
            if (flags.raised() || steadyNs() > deadline || tried >= kMaxPlaylistEntries)
                break;
            if (!isHttpUrl(entry)) {
                warn(kMsgRefusedEntry, entry);
                continue;
            }
            ++tried;
            if (auto opened = openDirect(entry, followPlaylists, flags, timeoutUs, deadline, depth + 1))
                return opened;
        }
        return nullptr;
    }

    // Audio: hand the connection to the demuxer, the sniffed bytes first.
    io.reader.inner = io.http;
    io.reader.prefix = std::move(head);
    auto *buffer = static_cast<std::uint8_t *>(av_malloc(kIoBufferSize));
    if (!buffer)
        return nullptr;
    io.replay = avio_alloc_context(buffer, kIoBufferSize, 0, &io.reader, &ReplayReader::read,
                                   nullptr, nullptr);
    if (!io.replay) {
        av_free(buffer);
        return nullptr;
    }
    io.replay->seekable = 0;

    AVFormatContext *format = avformat_alloc_context();
    if (!format)
        return nullptr;
    format->pb = io.replay;
    format->flags |= AVFMT_FLAG_CUSTOM_IO;
    format->interrupt_callback = interrupt;
    format->io_open = &openNested;
    format->opaque = input.get();
    AVDictionary *formatOptions = nullptr;
    av_dict_set(&formatOptions, "protocol_whitelist", kProtocolWhitelist, 0);
    // A station's bytes come at its own pace: looking for the stream's
    // parameters in the usual five seconds of it would hold the start that
    // long. A few frames tell them.
    av_dict_set(&formatOptions, "probesize", kStationProbeBytes, 0);
    av_dict_set(&formatOptions, "analyzeduration", kStationAnalyzeUs, 0);
    rc = avformat_open_input(&format, url.c_str(), declaredDemuxer(contentType), &formatOptions);
    av_dict_free(&formatOptions);
    if (rc < 0) {  // avformat_open_input frees the context on failure
        warn(kMsgStreamUnreadable, url, rc);
        return nullptr;
    }
    input->format_ = format;
    rc = avformat_find_stream_info(format, nullptr);
    if (rc < 0) {
        warn(kMsgNoStreamInfo, url, rc);
        return nullptr;
    }
    if (av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) < 0) {
        warn(kMsgNoAudio, url);
        return nullptr;
    }

    input->url_ = url;
    const std::string icyRaw = ioOption(io.http, kOptIcyHeaders);
    input->icyTags_ = finishTags(icyHeaderLines(icyRaw, kMaxHeaderTagBytes));
    std::string http;
    if (!contentType.empty())
        appendTagLine(http, kContentTypeHeader + contentType, kMaxHeaderTagBytes);
    http += icyHeaderLines(icyRaw, kMaxHeaderTagBytes - http.size());
    input->httpTags_ = finishTags(std::move(http));
    return input;
}

AVFormatContext *NetInput::format() const
{
    return format_;
}

std::string NetInput::httpTags() const
{
    return httpTags_;
}

std::string NetInput::icyTags() const
{
    return icyTags_;
}

bool NetInput::pollMeta(std::string &text)
{
    std::string packet = ioOption(io_ ? io_->http : nullptr, kOptIcyPacket);
    if (packet.empty() || packet == lastPacket_)
        return false;
    std::string meta = cleanMeta(packet);
    lastPacket_ = std::move(packet);
    if (meta.empty() || meta == lastMeta_)
        return false;
    lastMeta_ = meta;
    text = std::move(meta);
    return true;
}

} // namespace audio
