#pragma once

// The per-user lock that makes the player a single instance. It is an
// advisory lock (flock) on a file in a directory only the user can reach, so
// the kernel drops it when the holder dies: a crashed instance never leaves a
// lock behind that would block the next start.

#include <QString>

// The owner-only directory for the lock and the channel socket:
// $XDG_RUNTIME_DIR when it is a directory of this user that nobody else can
// enter, else /tmp/melodeck-<uid>, created with mode 0700. Returns an empty
// text (after a warning) when neither can be used safely.
QString instanceDirectory();

class TInstanceLock
{
public:
    explicit TInstanceLock(const QString &directory);
    ~TInstanceLock();
    TInstanceLock(const TInstanceLock &) = delete;
    TInstanceLock &operator=(const TInstanceLock &) = delete;

    enum class Result { Acquired, HeldElsewhere, Failed };
    // Takes the lock without waiting. Failed means the lock file could not be
    // opened at all (the caller decides whether to run without one).
    Result acquire();
    bool held() const { return fd_ >= 0; }
    QString path() const { return path_; }

private:
    QString path_;
    int fd_ = -1;
};
