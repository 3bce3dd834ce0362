#include "tagworker.h"

#include <system_error>
#include <unistd.h>

namespace {

// The other side usually answers within a few microseconds, far sooner
// than a sleeping thread wakes up, so a wait spins a little first.
constexpr int kSpins = 4000;

void relax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Waits until the state is none of the two values and returns it.
int waitWhile(const std::atomic<int> &state, int first, int second)
{
    for (int spin = 0; spin < kSpins; ++spin) {
        const int now = state.load(std::memory_order_acquire);
        if (now != first && now != second)
            return now;
        relax();
    }
    for (;;) {
        const int now = state.load(std::memory_order_acquire);
        if (now != first && now != second)
            return now;
        state.wait(now, std::memory_order_acquire);
    }
}

void readJob(TTagJob &job)
{
    readTagsFrom(job.path, {job.head, job.fd, job.size}, job.tags);
}

} // namespace

void TTagJob::closeFile()
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

TTagWorker::~TTagWorker()
{
    if (!thread_.joinable())
        return;
    waitWhile(state_, Started, Started);
    state_.store(Quit, std::memory_order_release);
    state_.notify_one();
    thread_.join();
}

bool TTagWorker::startThread()
{
    if (threadTried_)
        return thread_.joinable();
    threadTried_ = true;
    if (std::thread::hardware_concurrency() < 2)
        return false;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error &) {
        return false;
    }
    return true;
}

void TTagWorker::start(std::unique_ptr<TTagJob> job)
{
    job_ = std::move(job);
    if (!startThread()) {
        readJob(*job_);
        state_.store(Done, std::memory_order_relaxed);
        return;
    }
    state_.store(Started, std::memory_order_release);
    state_.notify_one();
}

std::unique_ptr<TTagJob> TTagWorker::finish()
{
    waitWhile(state_, Started, Started);
    state_.store(Idle, std::memory_order_relaxed);
    return std::move(job_);
}

void TTagWorker::run()
{
    for (;;) {
        if (waitWhile(state_, Idle, Done) == Quit)
            return;
        readJob(*job_);
        state_.store(Done, std::memory_order_release);
        state_.notify_one();
    }
}
