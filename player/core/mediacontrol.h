#pragma once

// The desktop's media control of the main window: the media-player service
// on the session bus, given the window's state and its handlers as hooks.
// Requests reach the same handlers the buttons and the hot keys use; a
// request that a desktop sends for a media-key press the hot keys already
// act on is dropped, so one press never acts twice.

#include "mprisservice.h"

#include <memory>

class TMediaControl
{
public:
    explicit TMediaControl(Mpris::Hooks hooks);
    ~TMediaControl();

    TMediaControl(const TMediaControl &) = delete;
    TMediaControl &operator=(const TMediaControl &) = delete;

    // Offers the player on the bus (the session bus in the program); without
    // one nothing happens and nothing is said.
    bool publish(const QDBusConnection &bus);
    void withdraw();
    // The song, the playing state, the stream title or the volume may have
    // changed.
    void changed();
    // The position jumped.
    void seeked();

    TMprisService &service() const { return *service_; }

private:
    std::unique_ptr<TMprisService> service_;
};
