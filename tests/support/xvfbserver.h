#pragma once

// A private X server for tests that need a real display: Xvfb on a display
// number it picks itself, so parallel tests never race for one. Started
// before the application object exists; stopped when the object goes.

#include <QString>

#include <sys/types.h>

class TXvfbServer
{
public:
    TXvfbServer() = default;
    ~TXvfbServer();

    TXvfbServer(const TXvfbServer &) = delete;
    TXvfbServer &operator=(const TXvfbServer &) = delete;

    // False when Xvfb is not installed or did not come up.
    bool start();
    // ":N", empty before a successful start.
    QString display() const { return display_; }

private:
    pid_t pid_ = -1;
    QString display_;
};
