#include "tagworker.h"

#include <chrono>
#include <sched.h>
#include <system_error>
#include <utility>
#include <unistd.h>

namespace {

// The other side usually answers within a few microseconds, far sooner
// than a sleeping thread wakes up, so a wait spins that long first. Not
// longer: on a busy machine the other side may not be running at all, and
// a longer spin would only keep it from the processor.
constexpr auto kSpinTime = std::chrono::microseconds(10);
constexpr int kSpinsBetweenClockReads = 16;

void relax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

// Waits until the state is none of the two values and returns it; slept
// tells whether the wait outlasted the spin.
int waitWhile(const std::atomic<int> &state, int first, int second, bool *slept = nullptr)
{
    const auto settled = [&](int now) { return now != first && now != second; };
    int now = state.load(std::memory_order_acquire);
    if (settled(now))
        return now;
    const auto until = std::chrono::steady_clock::now() + kSpinTime;
    do {
        for (int spin = 0; spin < kSpinsBetweenClockReads; ++spin) {
            relax();
            now = state.load(std::memory_order_acquire);
            if (settled(now))
                return now;
        }
    } while (std::chrono::steady_clock::now() < until);
    if (slept)
        *slept = true;
    for (;;) {
        state.wait(now, std::memory_order_acquire);
        now = state.load(std::memory_order_acquire);
        if (settled(now))
            return now;
    }
}

void readJob(TTagJob &job)
{
    readTagsFrom(job.path, {job.head, job.fd, job.size, &job.tagLibRoom}, job.tags);
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

bool TTagWorker::threadReadsNext()
{
    // A song's share of a scan: the time from its start to the next one's.
    // Longer ones are pauses between operations, or a message loop that
    // drew; they tell nothing about either way.
    constexpr auto kLongest = std::chrono::milliseconds(2);
    constexpr int kTrialSongs = 32;
    constexpr int kRoundSongs = 1024;
    const Clock::time_point now = Clock::now();
    if (measured_ >= 0 && now - lastStart_ < kLongest) {
        trialTime_[measured_] += now - lastStart_;
        ++trialSongs_[measured_];
    }
    lastStart_ = now;
    // Both sides had to sleep for the last song: the thread and the caller
    // took turns on one processor. Reading in line is faster until the
    // next round looks again.
    if (std::exchange(bothSlept_, false) && roundAt_ > 0 && (roundAt_ <= kTrialSongs || threadFaster_)
        && roundAt_ != 2 * kTrialSongs) {
        trialSongs_[Threaded] = 0;
        threadFaster_ = false;
        if (roundAt_ < kTrialSongs)
            roundAt_ = kTrialSongs;
    }
    // Each round reads a few songs each way, then keeps the faster one.
    const int at = roundAt_;
    roundAt_ = (at + 1) % kRoundSongs;
    if (at == 0) {
        trialTime_[Threaded] = trialTime_[InLine] = Clock::duration::zero();
        trialSongs_[Threaded] = trialSongs_[InLine] = 0;
    }
    if (at < 2 * kTrialSongs) {
        measured_ = at < kTrialSongs ? Threaded : InLine;
        return measured_ == Threaded;
    }
    if (at == 2 * kTrialSongs) {
        const auto average = [this](int way) {
            return trialSongs_[way] ? trialTime_[way] / trialSongs_[way] : Clock::duration::max();
        };
        threadFaster_ = average(Threaded) <= average(InLine);
    }
    measured_ = -1;
    return threadFaster_;
}

void TTagWorker::start(std::unique_ptr<TTagJob> job)
{
    job_ = std::move(job);
    if (!threadReadsNext() || !startThread()) {
        readJob(*job_);
        state_.store(Done, std::memory_order_relaxed);
        return;
    }
    state_.store(Started, std::memory_order_release);
    state_.notify_one();
}

std::unique_ptr<TTagJob> TTagWorker::finish()
{
    bool slept = false;
    waitWhile(state_, Started, Started, &slept);
    // A wait that outlasts the spin on both sides means the two took turns
    // on one processor; a long song alone, or a long message loop, makes
    // only one side sleep.
    bothSlept_ = slept && workerSlept_;
    state_.store(Idle, std::memory_order_relaxed);
    return std::move(job_);
}

void TTagWorker::run()
{
    for (;;) {
        bool slept = false;
        if (waitWhile(state_, Idle, Done, &slept) == Quit)
            return;
        workerSlept_ = slept;
        readJob(*job_);
        state_.store(Done, std::memory_order_release);
        state_.notify_one();
    }
}
