#include "instancechannel.h"
#include "instancelock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

QCoreApplication &app()
{
    static int argc = 1;
    static char name[] = "test_instance";
    static char *argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
    return instance;
}

// Runs the event loop until the flag is set; the time limit only ends a
// broken build, a busy machine merely takes longer.
bool spinUntil(const std::atomic<bool> &flag, int ms = 20000)
{
    QElapsedTimer clock;
    clock.start();
    while (!flag.load() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return flag.load();
}

class InstanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        app();
        ASSERT_TRUE(dir_.isValid());
        ::chmod(QFile::encodeName(dir_.path()).constData(), 0700);
    }
    QTemporaryDir dir_;
};

} // namespace

TEST_F(InstanceTest, SecondLockIsRefusedWhileTheFirstIsHeld)
{
    TInstanceLock first(dir_.path());
    ASSERT_EQ(first.acquire(), TInstanceLock::Result::Acquired);
    TInstanceLock second(dir_.path());
    EXPECT_EQ(second.acquire(), TInstanceLock::Result::HeldElsewhere);
    EXPECT_FALSE(second.held());
}

TEST_F(InstanceTest, ReleasedLockCanBeTakenAgain)
{
    {
        TInstanceLock first(dir_.path());
        ASSERT_EQ(first.acquire(), TInstanceLock::Result::Acquired);
    }
    TInstanceLock next(dir_.path());
    EXPECT_EQ(next.acquire(), TInstanceLock::Result::Acquired);
}

TEST_F(InstanceTest, LockOfAKilledProcessDoesNotBlock)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const QString path = dir_.path();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TInstanceLock lock(path);
        const char ok = lock.acquire() == TInstanceLock::Result::Acquired ? '1' : '0';
        if (::write(ready[1], &ok, 1) != 1)
            ::_exit(2);
        ::pause();
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');
    TInstanceLock blocked(path);
    EXPECT_EQ(blocked.acquire(), TInstanceLock::Result::HeldElsewhere);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    // The lock file is still there, but nobody holds it any more.
    EXPECT_TRUE(QFile::exists(path + u"/Melodeck.lock"_s));
    TInstanceLock next(path);
    EXPECT_EQ(next.acquire(), TInstanceLock::Result::Acquired);
}

TEST_F(InstanceTest, RuntimeDirectoryIsUsedOnlyWhenPrivate)
{
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir_.path()));
    EXPECT_EQ(instanceDirectory(), dir_.path());

    ::chmod(QFile::encodeName(dir_.path()).constData(), 0755);
    const QString fallback = instanceDirectory();
    EXPECT_NE(fallback, dir_.path());
    if (!fallback.isEmpty()) {
        struct stat info {};
        ASSERT_EQ(::lstat(QFile::encodeName(fallback).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 077, 0u);
        EXPECT_EQ(info.st_uid, ::geteuid());
    }
    if (saved.isEmpty())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", saved);
}

TEST_F(InstanceTest, MessageArrivesAndTheSenderWaitsForTheHandler)
{
    TInstanceServer server;
    const QString socket = instanceSocketPath(dir_.path());
    ASSERT_TRUE(server.listen(socket)) << server.errorString().toStdString();

    // Nobody but the owner may connect.
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(socket).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u);

    QStringList received;
    std::atomic<bool> handlerDone{false};
    server.setHandler([&](const QString &text) {
        received.append(text);
        // A slow handler: the sender must still be waiting afterwards.
        std::this_thread::sleep_for(150ms);
        handlerDone = true;
    });

    std::atomic<bool> finished{false};
    std::atomic<bool> confirmed{false};
    std::atomic<bool> handlerDoneWhenReturned{false};
    std::thread sender([&] {
        confirmed = sendToRunningInstance(socket, u"|/a/Ärger.mp3|/b/c d.ogg"_s);
        handlerDoneWhenReturned = handlerDone.load();
        finished = true;
    });
    const bool done = spinUntil(finished);
    sender.join();
    ASSERT_TRUE(done);
    EXPECT_TRUE(confirmed);
    EXPECT_TRUE(handlerDoneWhenReturned);
    EXPECT_EQ(received, QStringList{u"|/a/Ärger.mp3|/b/c d.ogg"_s});
}

TEST_F(InstanceTest, SenderWaitsForAServerThatIsStillStarting)
{
    const QString socket = instanceSocketPath(dir_.path());
    TInstanceServer server;
    QString received;
    server.setHandler([&](const QString &text) { received = text; });

    std::atomic<bool> finished{false};
    std::atomic<bool> confirmed{false};
    std::thread sender([&] {
        confirmed = sendToRunningInstance(socket, u"|late"_s, 5s);
        finished = true;
    });
    QTimer::singleShot(300, &server, [&] { ASSERT_TRUE(server.listen(socket)); });
    const bool done = spinUntil(finished);
    sender.join();
    ASSERT_TRUE(done);
    EXPECT_TRUE(confirmed);
    EXPECT_EQ(received, u"|late"_s);
}

TEST_F(InstanceTest, SenderGivesUpWithoutAServer)
{
    const QString socket = instanceSocketPath(dir_.path());
    EXPECT_FALSE(sendToRunningInstance(socket, u"|x"_s, 200ms));
}

TEST_F(InstanceTest, LeftoverSocketFileDoesNotBlockListening)
{
    const QString socket = instanceSocketPath(dir_.path());
    {
        QFile leftover(socket);
        ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    }
    TInstanceServer server;
    EXPECT_TRUE(server.listen(socket)) << server.errorString().toStdString();
}

TEST_F(InstanceTest, OversizedMessageIsDroppedWithoutReachingTheHandler)
{
    TInstanceServer server;
    const QString socket = instanceSocketPath(dir_.path());
    ASSERT_TRUE(server.listen(socket));
    bool called = false;
    server.setHandler([&](const QString &) { called = true; });

    std::atomic<bool> finished{false};
    std::atomic<bool> confirmed{true};
    std::thread sender([&] {
        confirmed = sendToRunningInstance(
            socket, QString(TInstanceServer::kMaxMessageBytes + 1024, u'a'));
        finished = true;
    });
    const bool done = spinUntil(finished, 20000);
    sender.join();
    ASSERT_TRUE(done);
    EXPECT_FALSE(confirmed);
    EXPECT_FALSE(called);
}

TEST_F(InstanceTest, SenderThatHangsUpWhileTheHandlerRunsTheLoopIsSurvived)
{
    TInstanceServer server;
    const QString socket = instanceSocketPath(dir_.path());
    ASSERT_TRUE(server.listen(socket));
    std::atomic<bool> senderGone{false};
    std::atomic<bool> handled{false};
    int calls = 0;
    server.setHandler([&](const QString &) {
        ++calls;
        // Like a scan: the loop runs while the sender disappears.
        spinUntil(senderGone);
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        handled = true;
    });

    std::thread sender([&] {
        // Sends without waiting for the reply, then hangs up.
        const QByteArray path = QFile::encodeName(socket);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0) {
            const char message[] = "|gone";
            [[maybe_unused]] const ssize_t n = ::send(fd, message, sizeof(message), MSG_NOSIGNAL);
        }
        std::this_thread::sleep_for(100ms);
        ::close(fd);
        senderGone = true;
    });
    ASSERT_TRUE(spinUntil(handled));
    sender.join();
    EXPECT_EQ(calls, 1);

    // The server still serves the next start.
    std::atomic<bool> finished{false};
    std::atomic<bool> confirmed{false};
    std::thread next([&] {
        confirmed = sendToRunningInstance(socket, u"|next"_s);
        finished = true;
    });
    server.setHandler([](const QString &) {});
    spinUntil(finished);
    next.join();
    EXPECT_TRUE(confirmed);
}
