// The refresh worker never holds up whoever destroys it: a probe that cannot
// be interrupted (a name lookup) is abandoned, runs on to its end, and its
// result reaches no one.

#include "stationprober.h"

#include <QCoreApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

// A probe that ignores its cancel flag and returns only when released.
struct Latch {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool released = false;
    bool returned = false;
    template <typename Predicate>
    void waitFor(Predicate predicate)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, predicate);
    }
    void set(bool Latch::*flag)
    {
        {
            std::lock_guard lock(mutex);
            this->*flag = true;
        }
        changed.notify_all();
    }
};

TEST(StationProber, ABlockedProbeHoldsUpNoOneAndItsResultReachesNoOne)
{
    int argc = 1;
    char name[] = "test";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const struct {
        bool closeWhileProbing;
        int results;
    } cases[] = {{false, 1}, {true, 0}};
    for (const auto &c : cases) {
        auto latch = std::make_shared<Latch>();
        auto receiver = std::make_unique<QObject>();
        int results = 0;
        auto prober = std::make_unique<TStationProber>(
            receiver.get(),
            [latch](const QString &, TStreamInfo &info, std::shared_ptr<const std::atomic<bool>>) {
                latch->set(&Latch::entered);
                latch->waitFor([&latch] { return latch->released; });
                info.stationName = QStringLiteral("late");
                latch->set(&Latch::returned);
            },
            [&results](const QString &, const TStreamInfo &info) { results += info.stationName.size() > 0; });
        prober->probe(QStringLiteral("http://127.0.0.1:1/"));
        latch->waitFor([&latch] { return latch->entered; });
        if (c.closeWhileProbing) {
            prober.reset();  // returns although the probe is still stuck
            receiver.reset();
        }
        latch->set(&Latch::released);
        latch->waitFor([&latch] { return latch->returned; });
        if (c.closeWhileProbing) {
            QCoreApplication::processEvents();
        } else {
            ASSERT_TRUE(QTest::qWaitFor([&results] { return results > 0; }));
        }
        EXPECT_EQ(results, c.results) << c.closeWhileProbing;
    }
}

}  // namespace
