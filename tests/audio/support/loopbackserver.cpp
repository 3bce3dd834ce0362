#include "loopbackserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace radiotest {

namespace {

constexpr int kPollMs = 20;
constexpr std::size_t kMaxRequestBytes = 16 * 1024;
constexpr int kRequestWaitMs = 3000;
constexpr std::size_t kMaxMetaText = 255 * 16;
constexpr std::size_t kChunk = 4096;

std::string lowerText(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// Reads up to the blank line ending the request head; empty on failure.
std::string readRequest(int fd, const std::atomic<bool> &stopping)
{
    std::string request;
    int waited = 0;
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < kMaxRequestBytes) {
        if (stopping.load() || waited > kRequestWaitMs)
            return {};
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, kPollMs);
        if (ready == 0) {
            waited += kPollMs;
            continue;
        }
        if (ready < 0)
            return {};
        char buf[1024];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return {};
        request.append(buf, static_cast<std::size_t>(n));
    }
    return request;
}

} // namespace

Connection::Connection(int fd, std::string request, const std::atomic<bool> &stopping)
    : fd_(fd), request_(std::move(request)), stopping_(stopping)
{
}

Connection::~Connection()
{
    ::shutdown(fd_, SHUT_RDWR);
    ::close(fd_);
}

std::string Connection::path() const
{
    const std::size_t start = request_.find(' ');
    if (start == std::string::npos)
        return {};
    const std::size_t end = request_.find(' ', start + 1);
    return request_.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
}

bool Connection::hasHeader(std::string_view name, std::string_view value) const
{
    const std::string wanted = lowerText(std::string(name) + ": " + std::string(value));
    return lowerText(request_).find(wanted) != std::string::npos;
}

bool Connection::sendAll(std::string_view bytes)
{
    while (!bytes.empty()) {
        if (stopping_.load())
            return false;
        pollfd p{fd_, POLLOUT, 0};
        const int ready = ::poll(&p, 1, kPollMs);
        if (ready < 0 || (p.revents & (POLLERR | POLLHUP)))
            return false;
        if (ready == 0)
            continue;
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void Connection::idle()
{
    while (!stopping_.load()) {
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, kPollMs);
        if (ready < 0)
            return;
        if (ready > 0) {
            char buf[256];
            if (::recv(fd_, buf, sizeof buf, 0) <= 0)
                return;
        }
    }
}

LoopbackServer::LoopbackServer()
{
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        throw std::system_error(errno, std::generic_category(), "socket");
    const int yes = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (::bind(listenFd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) < 0
        || ::listen(listenFd_, 16) < 0) {
        ::close(listenFd_);
        throw std::system_error(errno, std::generic_category(), "bind/listen");
    }
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr *>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

LoopbackServer::~LoopbackServer()
{
    stop();
}

void LoopbackServer::stop()
{
    stopping_.store(true);
    if (acceptThread_.joinable())
        acceptThread_.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(mutex_);
        workers.swap(workers_);
    }
    for (std::thread &t : workers)
        t.join();
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
    }
}

void LoopbackServer::route(const std::string &path, Handler handler)
{
    std::lock_guard lock(mutex_);
    routes_[path] = std::move(handler);
}

std::string LoopbackServer::url(const std::string &path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<std::string> LoopbackServer::requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

void LoopbackServer::acceptLoop()
{
    while (!stopping_.load()) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, kPollMs) <= 0)
            continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        std::lock_guard lock(mutex_);
        workers_.emplace_back([this, fd] { serve(fd); });
    }
}

void LoopbackServer::serve(int fd)
{
    std::string request = readRequest(fd, stopping_);
    Connection connection(fd, std::move(request), stopping_);
    if (connection.request().empty())
        return;
    const std::string path = connection.path();
    Handler handler;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(path);
        const auto it = routes_.find(path);
        if (it != routes_.end())
            handler = it->second;
    }
    if (handler)
        handler(connection);
    else
        connection.sendAll("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
}

Handler textHandler(std::string contentType, std::string body, std::string statusLine)
{
    return [=](Connection &c) {
        std::string answer = statusLine + "\r\n";
        if (!contentType.empty())
            answer += "Content-Type: " + contentType + "\r\n";
        answer += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
        c.sendAll(answer);
    };
}

Handler redirectHandler(std::string location, int code)
{
    return [=](Connection &c) {
        c.sendAll("HTTP/1.0 " + std::to_string(code) + " Moved\r\nLocation: " + location
                  + "\r\nContent-Length: 0\r\n\r\n");
    };
}

Handler rawHandler(std::string bytes)
{
    return [=](Connection &c) { c.sendAll(bytes); };
}

Handler silentHandler()
{
    return [](Connection &c) { c.idle(); };
}

std::string metaBlock(std::string_view text)
{
    text = text.substr(0, std::min(text.size(), kMaxMetaText));
    const std::size_t units = (text.size() + 15) / 16;
    std::string block(1, static_cast<char>(units));
    block.append(text);
    block.append(units * 16 - text.size(), '\0');
    return block;
}

std::function<std::string(std::size_t)> rotatingTitles(std::vector<std::string> titles,
                                                       std::size_t repeat)
{
    return [titles = std::move(titles), repeat](std::size_t block) {
        const std::string &title = titles[(block / std::max<std::size_t>(repeat, 1)) % titles.size()];
        return "StreamTitle='" + title + "';StreamUrl='';";
    };
}

Handler icyStreamHandler(IcyStream stream)
{
    return [stream = std::move(stream)](Connection &c) {
        if (stream.audio.empty())
            return;
        const bool withMeta = stream.metaint > 0 && c.hasHeader("Icy-MetaData", "1");
        std::string head = stream.statusLine + "\r\n";
        for (const std::string &h : stream.headers)
            head += h + "\r\n";
        if (withMeta)
            head += "icy-metaint: " + std::to_string(stream.metaint) + "\r\n";
        head += "\r\n";
        if (!c.sendAll(head))
            return;

        std::size_t sent = 0;       // audio bytes in total
        std::size_t sinceMeta = 0;  // audio bytes since the last block
        std::size_t offset = 0;     // within the looped audio
        std::size_t block = 0;
        const auto start = std::chrono::steady_clock::now();
        while (stream.dropAfter == 0 || sent < stream.dropAfter) {
            while (stream.paceBytesPerSecond > 0 && !c.stopping()) {
                const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
                const double allowed = static_cast<double>(stream.burstBytes)
                    + elapsed.count() * static_cast<double>(stream.paceBytesPerSecond);
                if (static_cast<double>(sent) < allowed)
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
            }
            std::size_t n = std::min(kChunk, stream.audio.size() - offset);
            if (withMeta)
                n = std::min(n, stream.metaint - sinceMeta);
            if (stream.dropAfter)
                n = std::min(n, stream.dropAfter - sent);
            if (!c.sendAll(std::string_view(stream.audio).substr(offset, n)))
                return;
            sent += n;
            sinceMeta += n;
            offset = (offset + n) % stream.audio.size();
            if (withMeta && sinceMeta == stream.metaint) {
                const std::string text = stream.meta ? stream.meta(block) : std::string();
                if (!c.sendAll(metaBlock(text)))
                    return;
                ++block;
                sinceMeta = 0;
            }
        }
    };
}

Handler gatedHandler(std::shared_ptr<const std::atomic<bool>> open, Handler inner)
{
    return [open = std::move(open), inner = std::move(inner)](Connection &c) {
        while (!open->load()) {
            if (c.stopping())
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        }
        inner(c);
    };
}

Handler tricklingHandler()
{
    return [](Connection &c) {
        if (c.sendAll("ICY 200 OK\r\nContent-Type: audio/mpeg\r\n\r\n"))
            while (c.sendAll(std::string_view("\xff", 1)))
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
    };
}

std::function<std::string(std::size_t)> boardTitles(std::shared_ptr<TitleBoard> board)
{
    return [board = std::move(board)](std::size_t) {
        std::lock_guard lock(board->mutex);
        return "StreamTitle='" + board->title + "';StreamUrl='';";
    };
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "melodeck-net-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string makeMp3(const std::string &dir, double seconds, int bitrateKbps)
{
    const std::string file = dir + "/loop.mp3";
    char command[1024];
    std::snprintf(command, sizeof command,
                  "ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi "
                  "-i sine=frequency=440:sample_rate=44100:duration=%.3f -ac 2 -b:a %dk "
                  "-id3v2_version 0 -write_xing 0 -f mp3 '%s'",
                  seconds, bitrateKbps, file.c_str());
    if (std::system(command) != 0)
        return {};
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace radiotest
