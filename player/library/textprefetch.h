#pragma once

// A stored list restored ahead of its use on a thread of its own: the
// library of a million songs takes the better part of half a second to
// restore, and the window can start that while it waits for its deferred
// start-up. The restored text is used only when the file is still the one
// that was restored, so a library saved in between is read anew.

#include <QByteArrayView>
#include <QString>

#include <condition_variable>
#include <mutex>
#include <sys/types.h>
#include <thread>

class TTextPrefetch
{
public:
    // Starts restoring fileName; does nothing more when no thread can start.
    explicit TTextPrefetch(const QString &fileName);
    // Frees the text and ends the thread.
    ~TTextPrefetch();
    TTextPrefetch(const TTextPrefetch &) = delete;
    TTextPrefetch &operator=(const TTextPrefetch &) = delete;

    // Waits for the restore and returns true with its text (up to the first
    // NUL; empty for a missing or damaged file) when the file named is the
    // one restored and unchanged since; false when the caller must restore
    // it itself. The text stays valid while this object lives.
    bool take(const QString &fileName, QByteArrayView &text);

private:
    // What tells one state of a file from another: azpack writes a new file
    // and renames it over the old one.
    struct Identity
    {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        long long modifiedNs = 0;
        bool operator==(const Identity &) const = default;
    };
    static Identity identityOf(const QString &fileName);
    void restore(const QByteArray &nativeName);

    const QString fileName_;
    Identity identity_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool restored_ = false;
    bool released_ = false;
    QByteArrayView text_;
    std::thread thread_;
};
