#pragma once

// A real Icecast 2 server on 127.0.0.1 for the radio tests and benchmarks:
// started from a generated configuration in a temporary directory on a free
// port, each mount fed at real time by an ffmpeg process. Everything it
// starts is ended again on destruction.

#include "loopbackserver.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace radiotest {

class IcecastServer {
public:
    // Whether icecast2 and ffmpeg can be run here at all.
    static bool installed();

    IcecastServer();  // starts the server and waits until it answers
    ~IcecastServer();
    IcecastServer(const IcecastServer &) = delete;
    IcecastServer &operator=(const IcecastServer &) = delete;

    // Empty when the server is up; otherwise why it is not.
    const std::string &error() const { return error_; }

    struct Feed {
        std::string mount;  // "/live"
        std::string name;   // sent as icy-name
        std::string url;    // sent as icy-url
        int bitrateKbps = 128;
    };
    // Starts a feeder and waits until the server lists the mount.
    bool addFeed(const Feed &feed);
    // Sets the mount's stream title, as a station's playout software does.
    bool setTitle(const std::string &mount, const std::string &title);
    // The first non-empty title a listener connecting now reads within the
    // server's burst; empty when none. A title set moments ago lies at the
    // burst's far end: a test waits until this names it.
    std::string titleForNewListener(const std::string &mount) const;
    std::string url(const std::string &mount) const;
    std::uint16_t port() const { return port_; }

private:
    std::string get(const std::string &target, bool admin, std::size_t limit = 0, bool icy = false) const;
    bool waitForStatus(const std::string &needle);

    TempDir dir_;
    std::uint16_t port_ = 0;
    pid_t server_ = -1;
    std::vector<pid_t> feeders_;
    std::string error_;
};

}  // namespace radiotest
