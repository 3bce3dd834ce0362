#pragma once

// A small HTTP/ICY server on 127.0.0.1 for the network tests: each request
// path is routed to a handler that writes whatever answer the test needs
// (a looping MP3 stream with interleaved metadata, a playlist, a redirect,
// silence, garbage). Runs in its own threads; plain POSIX sockets.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace radiotest {

class Connection {
public:
    Connection(int fd, std::string request, const std::atomic<bool> &stopping);
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    const std::string &request() const { return request_; }
    std::string path() const;
    // True when the request carries the given header (name case-insensitive).
    bool hasHeader(std::string_view name, std::string_view value) const;

    // False once the client has gone or the server is stopping.
    bool sendAll(std::string_view bytes);
    // Blocks until the client closes or the server stops; sends nothing.
    void idle();
    bool stopping() const { return stopping_.load(); }

private:
    int fd_;
    std::string request_;
    const std::atomic<bool> &stopping_;
};

using Handler = std::function<void(Connection &)>;

class LoopbackServer {
public:
    LoopbackServer();  // listens at once on an ephemeral port
    ~LoopbackServer(); // stops and joins every thread
    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    void route(const std::string &path, Handler handler);
    std::uint16_t port() const { return port_; }
    std::string url(const std::string &path) const;
    // Paths requested so far, in order of arrival.
    std::vector<std::string> requests() const;
    void stop();

private:
    void acceptLoop();
    void serve(int fd);

    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::map<std::string, Handler> routes_;
    std::vector<std::string> requests_;
    std::vector<std::thread> workers_;
    std::thread acceptThread_;
};

// Ready-made answers.
Handler textHandler(std::string contentType, std::string body,
                    std::string statusLine = "HTTP/1.0 200 OK");
Handler redirectHandler(std::string location, int code = 302);
Handler rawHandler(std::string bytes);  // sent as is, then the connection closes
Handler silentHandler();                // reads the request, never answers

// Holds each request back until `open` turns true (a test acts meanwhile).
Handler gatedHandler(std::shared_ptr<const std::atomic<bool>> open, Handler inner);
// Headers, then one byte now and then for as long as the client stays: a
// station that keeps a reader busy without ever letting a timeout strike.
Handler tricklingHandler();

// A title the test changes while the station streams.
struct TitleBoard {
    std::mutex mutex;
    std::string title;
};
// "StreamTitle='<the board's title now>';StreamUrl='';" for every block.
std::function<std::string(std::size_t)> boardTitles(std::shared_ptr<TitleBoard> board);

struct IcyStream {
    std::string audio;                         // looped for as long as the client reads
    std::string statusLine = "ICY 200 OK";
    std::vector<std::string> headers = {"Content-Type: audio/mpeg"};
    std::size_t metaint = 0;                   // 0: no metadata interleaved
    // Metadata text of block n (empty text: a zero length byte).
    std::function<std::string(std::size_t block)> meta;
    std::size_t dropAfter = 0;                 // audio bytes, then close; 0: never
    // Audio bytes per second after a first burst, as a live station sends;
    // 0: as fast as the client reads (the socket buffers then hold minutes
    // of audio, and the metadata of that moment with it).
    std::size_t paceBytesPerSecond = 0;
    std::size_t burstBytes = 0;
};
Handler icyStreamHandler(IcyStream stream);

// The block as it goes on the wire: a length byte (in 16-byte units) and the
// text padded with zeros; texts beyond 255*16 bytes are cut.
std::string metaBlock(std::string_view text);

// "StreamTitle='...';StreamUrl='';" for block n, changing every `repeat` blocks.
std::function<std::string(std::size_t)> rotatingTitles(std::vector<std::string> titles,
                                                       std::size_t repeat);

// A temporary directory, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }

private:
    std::string path_;
};

// Encodes a stereo 44.1 kHz sine of the given length to MP3 with the ffmpeg
// tool (no ID3 tag, no Xing frame, so copies can be chained) and returns the
// file's bytes; empty when ffmpeg fails.
std::string makeMp3(const std::string &dir, double seconds, int bitrateKbps = 128);

} // namespace radiotest
