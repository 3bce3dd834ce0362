#include "tagreadahead.h"

#include <algorithm>
#include <chrono>
#include <sched.h>
#include <system_error>

namespace {

// A file takes some microseconds, far less than a sleeping caller takes to
// wake up, so a caller waiting for the thread's file watches it that long
// before it sleeps. Not longer: on a busy machine the thread may not be
// running at all.
constexpr auto kWatchTime = std::chrono::microseconds(30);

void relax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

} // namespace

TTagReadAhead::TTagReadAhead(Read read) : read_(std::move(read)) {}

TTagReadAhead::~TTagReadAhead()
{
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
    }
    work_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

bool TTagReadAhead::startThread()
{
    if (threadTried_)
        return thread_.joinable();
    threadTried_ = true;
    // The processors this process may run on, not those the machine has.
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (std::thread::hardware_concurrency() < 2
        || (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) < 2))
        return false;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error &) {
        return false;
    }
    return true;
}

void TTagReadAhead::submit(TReadAheadJob *const *jobs, std::size_t count)
{
    if (count == 0)
        return;
    const bool threaded = startThread();
    bool wake = false;
    {
        const std::lock_guard lock(mutex_);
        for (std::size_t k = 0; k < count; ++k) {
            jobs[k]->state_.store(TReadAheadJob::Queued, std::memory_order_relaxed);
            queue_.push_back(jobs[k]);
        }
        wake = threaded && threadSleeps_;
    }
    if (wake)
        work_.notify_one();
}

void TTagReadAhead::claim(std::deque<TReadAheadJob *>::iterator at)
{
    (*at)->state_.store(TReadAheadJob::Reading, std::memory_order_relaxed);
    queue_.erase(at);
}

void TTagReadAhead::readClaimed(TReadAheadJob &job, std::unique_lock<std::mutex> &lock)
{
    lock.unlock();
    read_(job);
    lock.lock();
    job.state_.store(TReadAheadJob::Done, std::memory_order_release);
}

void TTagReadAhead::waitUntilRead(TReadAheadJob &job, std::unique_lock<std::mutex> &lock)
{
    while (job.state_.load(std::memory_order_relaxed) == TReadAheadJob::Reading) {
        // The thread reads it: read the next waiting file meanwhile, if any.
        if (!queue_.empty()) {
            TReadAheadJob &next = *queue_.front();
            claim(queue_.begin());
            readClaimed(next, lock);
            continue;
        }
        lock.unlock();
        const auto until = std::chrono::steady_clock::now() + kWatchTime;
        bool read = false;
        do {
            for (int spin = 0; spin < 16 && !read; ++spin) {
                relax();
                read = job.state_.load(std::memory_order_acquire) == TReadAheadJob::Done;
            }
        } while (!read && std::chrono::steady_clock::now() < until);
        lock.lock();
        if (read)
            break;
        callerWaits_ = true;
        done_.wait(lock, [&job, this] {
            return job.state_.load(std::memory_order_relaxed) != TReadAheadJob::Reading || !queue_.empty();
        });
        callerWaits_ = false;
    }
}

void TTagReadAhead::wait(TReadAheadJob &job)
{
    std::unique_lock lock(mutex_);
    switch (job.state_.load(std::memory_order_relaxed)) {
    case TReadAheadJob::Queued:
        claim(std::find(queue_.begin(), queue_.end(), &job));
        readClaimed(job, lock);
        break;
    case TReadAheadJob::Idle:
        job.state_.store(TReadAheadJob::Reading, std::memory_order_relaxed);
        readClaimed(job, lock);
        break;
    default:
        waitUntilRead(job, lock);
    }
}

void TTagReadAhead::withdraw(TReadAheadJob &job)
{
    std::unique_lock lock(mutex_);
    if (job.state_.load(std::memory_order_relaxed) == TReadAheadJob::Queued)
        queue_.erase(std::find(queue_.begin(), queue_.end(), &job));
    else
        waitUntilRead(job, lock);
    job.state_.store(TReadAheadJob::Idle, std::memory_order_relaxed);
}

void TTagReadAhead::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        threadSleeps_ = true;
        work_.wait(lock, [this] { return quit_ || !queue_.empty(); });
        threadSleeps_ = false;
        if (quit_)
            return;
        TReadAheadJob &job = *queue_.front();
        claim(queue_.begin());
        readClaimed(job, lock);
        if (callerWaits_)
            done_.notify_one();
    }
}
