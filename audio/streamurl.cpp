// The network side of a stream: opening a station, waiting for its first
// audio, and the tags and titles it sends.

#include "stream.h"

#include "medialibraries.h"
#include "netinput.h"
#include "streamshared.h"

#include <chrono>
#include <string_view>
#include <thread>

namespace audio {

using namespace streamshared;

namespace {

// Radio needs more slack against network jitter.
constexpr double kUrlBufferSeconds = 1.5;
constexpr auto kUrlPrebufferTimeout = std::chrono::seconds(10);
constexpr std::size_t kMaxTagBytes = 16 * 1024;
constexpr std::string_view kTitleStart = "StreamTitle='";
constexpr std::string_view kTitleEnd = "';";

// Whether a metadata block names a title. A server's first block after a
// connect may hold an empty one although the station has a title; the next
// block then brings it.
bool carriesTitle(std::string_view meta)
{
    if (meta.empty())
        return false;
    const std::size_t start = meta.find(kTitleStart);
    if (start == std::string_view::npos)
        return true;  // metadata of another shape is news all the same
    return meta.substr(start + kTitleStart.size(), kTitleEnd.size()) != kTitleEnd;
}

}  // namespace

std::unique_ptr<Stream> Stream::openUrl(const std::string &url, bool followPlaylists, Handle handle, int outputRate,
                                        std::shared_ptr<const std::atomic<bool>> cancel, int timeoutMs)
{
    // Without FFmpeg nothing of a stream can be built, nor torn down again.
    if (!mediaLibrariesLoaded())
        return nullptr;
    std::unique_ptr<Stream> stream(new Stream(handle, outputRate, framesFor(kUrlBufferSeconds, outputRate)));
    stream->cancel_ = std::move(cancel);
    stream->net_ = NetInput::open(url, followPlaylists, stream->abort_, stream->cancel_.get(), timeoutMs);
    if (!stream->net_)
        return nullptr;
    {
        std::lock_guard lock(stream->tagsMutex_);
        stream->httpTags_ = stream->net_->httpTags().substr(0, kMaxTagBytes);
        stream->icyTags_ = stream->net_->icyTags().substr(0, kMaxTagBytes);
    }
    Stream *raw = stream.get();
    auto source = MediaSource::openExternal(stream->net_->format(), [raw] { raw->pollMeta(); });
    if (!source || !stream->setUp(std::move(source)) || !stream->waitForPrebuffer())
        return nullptr;
    // An interrupted read ends the prebuffering early, with data or not.
    if (stream->cancel_ && stream->cancel_->load())
        return nullptr;
    return stream;
}

bool Stream::waitForPrebuffer()
{
    // An ICY station usually sends its first title within the first second:
    // wait for it while the buffer has room, so that a caller reading the
    // title right after opening finds one. A stream without ICY headers
    // sends no titles and waits for none (the closing NUL alone is no header).
    bool wantTitle = false;
    {
        std::lock_guard lock(tagsMutex_);
        wantTitle = icyTags_.find_first_not_of('\0') != std::string::npos;
    }
    const auto deadline = std::chrono::steady_clock::now() + kUrlPrebufferTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (failed_.load() || ended_.load())
            return ring_->availableFrames() > 0;
        const std::size_t buffered = ring_->availableFrames();
        if (buffered >= ringFrames_ / 2) {
            std::lock_guard lock(tagsMutex_);
            if (!wantTitle || carriesTitle(meta_) || ring_->freeFrames() < kScratchFrames)
                return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return ring_->availableFrames() > 0;
}

void Stream::addMetaSync(Handle sync, SyncProc proc)
{
    std::lock_guard lock(tagsMutex_);
    syncs_.emplace_back(sync, std::move(proc));
}

std::optional<std::string> Stream::tags(TagType type) const
{
    std::lock_guard lock(tagsMutex_);
    const std::string *text = nullptr;
    switch (type) {
    case TagType::Http: text = &httpTags_; break;
    case TagType::Icy: text = &icyTags_; break;
    case TagType::Meta: text = &meta_; break;
    }
    if (!text || text->empty())
        return std::nullopt;
    return *text;
}

void Stream::pollMeta()
{
    std::string text;
    if (!net_ || !net_->pollMeta(text))
        return;
    std::vector<std::pair<Handle, SyncProc>> syncs;
    {
        std::lock_guard lock(tagsMutex_);
        meta_ = text.substr(0, kMaxTagBytes);
        syncs = syncs_;
    }
    for (const auto &[sync, proc] : syncs)
        if (proc)
            proc(sync, handle_);
}

}  // namespace audio
