#pragma once

// The refresh's worker thread. It only probes: it takes one URL at a time
// from the user-interface thread and hands each result back there as a
// queued call, so the lists, the grid and the store file are never touched
// from two threads. Destroying it never waits for it: a probe still
// connecting is interrupted through the audio library where it can be, and
// one that cannot (a name lookup) is abandoned. The thread keeps only what
// it shares with this object and its own probe, and posts nothing after.

#include "stationinfo.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class TStationProber
{
public:
    // Runs on the worker thread: fills the record, may give up when the flag
    // turns true.
    using Probe = std::function<void(const QString &url, TStreamInfo &info,
                                     std::shared_ptr<const std::atomic<bool>> cancel)>;
    // Runs on the receiver's thread, once per probe, in order.
    using Result = std::function<void(const QString &url, const TStreamInfo &info)>;

    // Results go through the receiver's event queue; a receiver that goes
    // takes what was posted to it along. Results posted just before this
    // object went may still arrive: the receiver has to recognise them as
    // stale. The probe must own everything it uses: it may run on after
    // this object and the receiver are gone.
    TStationProber(QObject *receiver, Probe probe, Result result);
    ~TStationProber();
    TStationProber(const TStationProber &) = delete;
    TStationProber &operator=(const TStationProber &) = delete;

    // Hands the next URL over; the previous one must have come back.
    void probe(const QString &url);
    std::thread::id threadId() const { return threadId_; }

private:
    // What this object and its thread share; the last of the two frees it.
    struct Shared {
        std::mutex mutex;
        std::condition_variable wake;
        std::optional<QString> pending;
        bool stop = false;
        QObject *receiver = nullptr;  // null once this object has gone
        const std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
    };
    static void run(const std::shared_ptr<Shared> &shared, const Probe &probe, const Result &result);

    const std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    std::thread::id threadId_;
};
