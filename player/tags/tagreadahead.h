#pragma once

// Reading songs ahead of a scan. Opening a file, reading its head and
// parsing its tags costs several times what finding it does, so a scan
// hands the next files of a directory to a thread of its own and takes each
// one's result back when the walk reaches it. The walk itself never waits
// idle: while the file it needs is still being read, it reads the next
// waiting ones itself, so both processors share the work, and on a machine
// where the thread gets no processor the walk simply reads everything.
// Rows still go in one after the other, and only the walk's thread ever
// sees a table.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// One file to read. What it holds is the reader's business; the read-ahead
// only tracks who reads it.
class TReadAheadJob
{
public:
    TReadAheadJob() = default;
    TReadAheadJob(const TReadAheadJob &) = delete;
    TReadAheadJob &operator=(const TReadAheadJob &) = delete;
    virtual ~TReadAheadJob() = default;

private:
    friend class TTagReadAhead;
    enum State : int { Idle, Queued, Reading, Done };
    // Changed only with the read-ahead's lock held; read without it by a
    // caller that waits a moment before it sleeps.
    std::atomic<int> state_{Idle};
};

class TTagReadAhead
{
public:
    using Read = std::function<void(TReadAheadJob &)>;

    // read runs on either thread, for one job at a time per thread; it
    // must touch nothing but its job and what no one changes meanwhile.
    explicit TTagReadAhead(Read read);
    ~TTagReadAhead();
    TTagReadAhead(const TTagReadAhead &) = delete;
    TTagReadAhead &operator=(const TTagReadAhead &) = delete;

    // Queues idle jobs for reading, in this order.
    void submit(TReadAheadJob *const *jobs, std::size_t count);
    // Returns once the job is read: reads it here when no one has begun it
    // (a job never submitted included), and reads other waiting jobs while
    // the thread finishes it.
    void wait(TReadAheadJob &job);
    // Makes the job idle again: takes it back unread, or waits until its
    // reading is over.
    void withdraw(TReadAheadJob &job);

private:
    void run();
    bool startThread();
    // With the lock held: takes the job out of the queue and marks it read
    // by the caller.
    void claim(std::deque<TReadAheadJob *>::iterator at);
    void readClaimed(TReadAheadJob &job, std::unique_lock<std::mutex> &lock);
    void waitUntilRead(TReadAheadJob &job, std::unique_lock<std::mutex> &lock);

    const Read read_;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable done_;
    std::deque<TReadAheadJob *> queue_;
    bool threadSleeps_ = false;
    bool callerWaits_ = false;
    bool quit_ = false;
    bool threadTried_ = false;
    std::thread thread_;
};
