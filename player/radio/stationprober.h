#pragma once

// The refresh's worker thread. It only probes: it takes one URL at a time
// from the user-interface thread and hands each result back there as a
// queued call, so the lists, the grid and the store file are never touched
// from two threads. Destroying it stops it: a probe still connecting is
// interrupted through the audio library and its result is dropped.

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

    // The receiver must outlive this object; results go through its event
    // queue. Results posted just before this object went may still arrive:
    // the receiver has to recognise them as stale.
    TStationProber(QObject *receiver, Probe probe, Result result);
    ~TStationProber();
    TStationProber(const TStationProber &) = delete;
    TStationProber &operator=(const TStationProber &) = delete;

    // Hands the next URL over; the previous one must have come back.
    void probe(const QString &url);
    std::thread::id threadId() const { return thread_.get_id(); }

private:
    void run();

    QObject *const receiver_;
    const Probe probe_;
    const Result result_;
    const std::shared_ptr<std::atomic<bool>> cancel_ = std::make_shared<std::atomic<bool>>(false);
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<QString> pending_;
    bool stop_ = false;
    std::thread thread_;  // last: starts once everything above exists
};
