#include "icecastserver.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <thread>

extern char **environ;

namespace radiotest {

namespace {

constexpr char kSourcePassword[] = "pw";
constexpr char kAdminAuth[] = "YWRtaW46cHc=";  // admin:pw
constexpr auto kStartDeadline = std::chrono::seconds(30);
constexpr auto kStopDeadline = std::chrono::seconds(10);
constexpr auto kPoll = std::chrono::milliseconds(20);
constexpr int kReadTimeoutMs = 5000;
constexpr int kStartTries = 3;

bool onPath(const std::string &program)
{
    const char *path = std::getenv("PATH");
    std::string rest = path ? path : "/usr/bin:/bin";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string folder = rest.substr(0, colon);
        if (!folder.empty() && ::access((folder + '/' + program).c_str(), X_OK) == 0)
            return true;
        if (colon == std::string::npos)
            break;
        rest.erase(0, colon + 1);
    }
    return false;
}

// A port nobody listens on now; the server binds it a moment later, and a
// start that loses the race is tried again on another.
std::uint16_t freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    std::uint16_t port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

pid_t spawn(const std::vector<std::string> &arguments, const std::string &log)
{
    std::vector<char *> argv;
    for (const auto &a : arguments)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

bool exited(pid_t pid)
{
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == pid;
}

void stop(pid_t pid)
{
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + kStopDeadline;
    while (!exited(pid)) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            return;
        }
        std::this_thread::sleep_for(kPoll);
    }
}

std::string percentEncoded(const std::string &text)
{
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.') {
            out += static_cast<char>(c);
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", c);
            out += escape;
        }
    }
    return out;
}

std::string config(std::uint16_t port, const std::string &dir)
{
    // Icecast will not run as root; under root (as in CI) it drops to nobody,
    // which then has to be able to write its logs.
    const std::string security = ::geteuid() == 0
        ? "<security><chroot>0</chroot><changeowner><user>nobody</user><group>nogroup</group></changeowner>"
          "</security>"
        : "<security><chroot>0</chroot></security>";
    return "<icecast><location>loopback</location><admin>test@localhost</admin>"
           "<limits><clients>50</clients><sources>8</sources><source-timeout>10</source-timeout></limits>"
           "<authentication><source-password>"
        + std::string(kSourcePassword)
        + "</source-password><admin-user>admin</admin-user><admin-password>pw</admin-password>"
          "</authentication><hostname>127.0.0.1</hostname>"
          "<listen-socket><port>"
        + std::to_string(port)
        + "</port><bind-address>127.0.0.1</bind-address></listen-socket>"
          "<paths><basedir>/usr/share/icecast2</basedir><logdir>"
        + dir
        + "</logdir><webroot>/usr/share/icecast2/web</webroot><adminroot>/usr/share/icecast2/admin</adminroot>"
          "</paths><logging><accesslog>access.log</accesslog><errorlog>error.log</errorlog><loglevel>2</loglevel>"
          "</logging>"
        + security + "</icecast>\n";
}

}  // namespace

bool IcecastServer::installed()
{
    return onPath("icecast2") && onPath("ffmpeg") && std::filesystem::is_directory("/usr/share/icecast2/web");
}

IcecastServer::IcecastServer()
{
    ::chmod(dir_.path().c_str(), 0777);
    for (int attempt = 0; attempt < kStartTries && server_ <= 0; ++attempt) {
        port_ = freePort();
        const std::string file = dir_.path() + "/icecast.xml";
        std::ofstream(file) << config(port_, dir_.path());
        server_ = spawn({"icecast2", "-c", file}, dir_.path() + "/icecast.out");
        if (server_ > 0 && !waitForStatus("\"icestats\"")) {
            stop(server_);
            server_ = -1;
        }
    }
    if (server_ <= 0)
        error_ = "icecast2 did not come up; see " + dir_.path();
}

IcecastServer::~IcecastServer()
{
    for (const pid_t feeder : feeders_)
        stop(feeder);
    stop(server_);
}

std::string IcecastServer::url(const std::string &mount) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + mount;
}

bool IcecastServer::addFeed(const Feed &feed)
{
    if (server_ <= 0)
        return false;
    const pid_t pid = spawn({"ffmpeg", "-hide_banner", "-loglevel", "error", "-nostdin", "-re", "-f", "lavfi", "-i",
                             "sine=frequency=440:sample_rate=44100", "-ac", "2", "-c:a", "libmp3lame", "-b:a",
                             std::to_string(feed.bitrateKbps) + "k", "-content_type", "audio/mpeg", "-ice_name",
                             feed.name, "-ice_url", feed.url, "-f", "mp3",
                             "icecast://source:" + std::string(kSourcePassword) + "@127.0.0.1:"
                                 + std::to_string(port_) + feed.mount},
                            dir_.path() + "/ffmpeg.out");
    if (pid <= 0)
        return false;
    feeders_.push_back(pid);
    return waitForStatus("\"listenurl\":\"" + url(feed.mount) + "\"");
}

bool IcecastServer::setTitle(const std::string &mount, const std::string &title)
{
    const std::string answer = get("/admin/metadata?mount=" + percentEncoded(mount) + "&mode=updinfo&song="
                                       + percentEncoded(title),
                                   true);
    return answer.find("<return>1</return>") != std::string::npos;
}

bool IcecastServer::waitForStatus(const std::string &needle)
{
    const auto deadline = std::chrono::steady_clock::now() + kStartDeadline;
    while (std::chrono::steady_clock::now() < deadline) {
        if (get("/status-json.xsl", false).find(needle) != std::string::npos)
            return true;
        if (exited(server_)) {
            server_ = -1;
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
    return false;
}

std::string IcecastServer::titleForNewListener(const std::string &mount) const
{
    constexpr std::size_t kBurstBytes = 96 * 1024;
    const std::string answer = get(mount, false, kBurstBytes, true);
    const std::size_t head = answer.find("\r\n\r\n");
    const std::size_t at = answer.find("icy-metaint:");
    if (head == std::string::npos || at == std::string::npos)
        return {};
    const std::size_t metaint = std::stoul(answer.substr(at + 12));
    constexpr std::string_view start = "StreamTitle='";
    for (std::size_t block = head + 4 + metaint; metaint > 0 && block < answer.size();) {
        const std::size_t length = static_cast<unsigned char>(answer[block]) * 16u;
        const std::string text = answer.substr(block + 1, length);
        if (const std::size_t from = text.find(start); from != std::string::npos) {
            const std::string title = text.substr(from + start.size(), text.find("';", from) - from - start.size());
            if (!title.empty())
                return title;
        }
        block += 1 + length + metaint;
    }
    return {};
}

std::string IcecastServer::get(const std::string &target, bool admin, std::size_t limit, bool icy) const
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return {};
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port_);
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
        std::string request = "GET " + target + " HTTP/1.0\r\nHost: 127.0.0.1\r\n";
        if (admin)
            request += std::string("Authorization: Basic ") + kAdminAuth + "\r\n";
        if (icy)
            request += "Icy-MetaData: 1\r\n";
        request += "\r\n";
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
            char buffer[4096];
            pollfd p{fd, POLLIN, 0};
            while (::poll(&p, 1, kReadTimeoutMs) > 0) {
                const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
                if (got <= 0)
                    break;
                answer.append(buffer, static_cast<std::size_t>(got));
                if (limit && answer.size() >= limit)
                    break;
            }
        }
    }
    ::close(fd);
    return answer;
}

}  // namespace radiotest
