#pragma once

// Reading tags beside a scan. Parsing a file's tags costs more than finding,
// opening and reading the file, so a scan hands each song's head to a thread
// of its own and opens the next file meanwhile. One song is read at a time:
// the scan takes each result back before it shows the next song, so rows
// still go in one after the other, and the scan's own thread is the only
// one that ever sees a table.

#include "az_id3tag.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

// One song to read: what the scan read of it, and what the tags give.
struct TTagJob
{
    QString path;
    // The file's first bytes, the open file for the rest (-1: none) and its
    // size (-1: ask the open file when needed), as TTagSource has them.
    QByteArray head;
    int fd = -1;
    qint64 size = -1;
    TId3Tags tags;
    TagLib::ByteVector tagLibRoom;

    TTagJob() = default;
    TTagJob(const TTagJob &) = delete;
    TTagJob &operator=(const TTagJob &) = delete;
    ~TTagJob() { closeFile(); }
    void closeFile();
};

class TTagWorker
{
public:
    TTagWorker() = default;
    TTagWorker(const TTagWorker &) = delete;
    TTagWorker &operator=(const TTagWorker &) = delete;
    ~TTagWorker();

    // Starts reading the job's tags; the previous job must have been taken
    // back. On a machine with one core, or when no thread can be started,
    // the tags are read right here.
    // On a busy machine the thread may wait for a processor longer than a
    // song takes; the worker then reads in the caller for a while.
    void start(std::unique_ptr<TTagJob> job);
    // The job started last, its tags read; waits for them if need be.
    std::unique_ptr<TTagJob> finish();

private:
    enum State : int { Idle, Started, Done, Quit };

    enum Way : int { Threaded, InLine };
    using Clock = std::chrono::steady_clock;

    void run();
    bool startThread();
    // Whether the thread reads the song being started; now and then a few
    // songs are read each way and timed, and the faster way is kept.
    bool threadReadsNext();

    std::atomic<int> state_{Idle};
    // Handed over with state_: written by the side that sets the state,
    // read by the side that sees it.
    std::unique_ptr<TTagJob> job_;
    std::thread thread_;
    bool threadTried_ = false;

    Clock::time_point lastStart_;
    Clock::duration trialTime_[2] = {};
    int trialSongs_[2] = {};
    int measured_ = -1; // the way of the song started last, -1: not timed
    int roundAt_ = 0;
    bool threadFaster_ = true;
    // Whether the thread slept before the song it read last (written by it
    // before it hands the song back), and whether the caller did as well.
    bool workerSlept_ = false;
    bool bothSlept_ = false;
};
