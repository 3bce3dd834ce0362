// shutdownSystem against a private bus started here, on which a stand-in
// logind records what it was asked. The machine's own buses are never used:
// the system-bus address points at the private daemon before the first call.

#include "privatebus.h"
#include "shutdown.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMutex>
#include <QMutexLocker>
#include <QSemaphore>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kSessionPath = u"/org/freedesktop/login1/session/c7"_s;

// What the stand-in was asked, shared between its thread and the test.
struct CallLog
{
    QMutex mutex;
    QStringList calls;
    bool refuse = false;

    void add(const QString &call)
    {
        const QMutexLocker lock(&mutex);
        calls.append(call);
    }
    QStringList take()
    {
        const QMutexLocker lock(&mutex);
        return std::exchange(calls, {});
    }
    bool refusing()
    {
        const QMutexLocker lock(&mutex);
        return refuse;
    }
};

class StandInManager : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    explicit StandInManager(CallLog &log) : log_(log) {}

public Q_SLOTS:
    void PowerOff(bool interactive) { answer(u"PowerOff "_s + QString::number(interactive)); }
    void Reboot(bool interactive) { answer(u"Reboot "_s + QString::number(interactive)); }
    QDBusObjectPath GetSessionByPID(uint pid)
    {
        answer(u"GetSessionByPID "_s + QString::number(pid));
        return QDBusObjectPath(kSessionPath);
    }

private:
    void answer(const QString &call)
    {
        log_.add(call);
        if (log_.refusing())
            sendErrorReply(QDBusError::AccessDenied, u"Interactive authentication required."_s);
    }
    CallLog &log_;
};

class StandInSession : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")

public:
    explicit StandInSession(CallLog &log) : log_(log) {}

public Q_SLOTS:
    void Terminate()
    {
        log_.add(u"Terminate "_s + message().path());
        if (log_.refusing())
            sendErrorReply(QDBusError::AccessDenied, u"Not allowed."_s);
    }

private:
    CallLog &log_;
};

// The stand-in serves from its own thread, so the blocking calls of the
// code under test get their answers.
class StandInThread : public QThread
{
public:
    StandInThread(QString address, CallLog &log) : address_(std::move(address)), log_(log) {}
    bool ready() const { return ready_; }

protected:
    void run() override
    {
        {
            QDBusConnection bus = QDBusConnection::connectToBus(address_, u"standin"_s);
            StandInManager manager(log_);
            StandInSession session(log_);
            ready_ = bus.isConnected()
                     && bus.registerObject(u"/org/freedesktop/login1"_s, &manager, QDBusConnection::ExportAllSlots)
                     && bus.registerObject(kSessionPath, &session, QDBusConnection::ExportAllSlots)
                     && bus.registerService(u"org.freedesktop.login1"_s);
            started_.release();
            exec();
            bus.unregisterService(u"org.freedesktop.login1"_s);
        }
        QDBusConnection::disconnectFromBus(u"standin"_s);
    }

public:
    void waitStarted() { started_.acquire(); }

private:
    QString address_;
    CallLog &log_;
    std::atomic<bool> ready_{false};
    QSemaphore started_;
};

class ShutdownTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        bus_ = std::make_unique<PrivateBus>();
        ASSERT_TRUE(bus_->start());
        const QString address = bus_->address();
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8());
        log_ = std::make_unique<CallLog>();
        standIn_ = std::make_unique<StandInThread>(address, *log_);
        standIn_->start();
        standIn_->waitStarted();
        ASSERT_TRUE(standIn_->ready());
    }
    static void TearDownTestSuite()
    {
        if (standIn_) {
            standIn_->quit();
            standIn_->wait();
        }
        standIn_.reset();
        bus_.reset();
    }
    void SetUp() override
    {
        ASSERT_TRUE(standIn_ && standIn_->ready());
        log_->take();
        const QMutexLocker lock(&log_->mutex);
        log_->refuse = false;
    }

    static inline std::unique_ptr<PrivateBus> bus_;
    static inline std::unique_ptr<CallLog> log_;
    static inline std::unique_ptr<StandInThread> standIn_;
};

TEST_F(ShutdownTest, BothShutDownKindsPowerTheMachineOffWithoutAskingTheUser)
{
    EXPECT_TRUE(shutdownSystem(ShutdownKind::Shutdown));
    EXPECT_TRUE(shutdownSystem(ShutdownKind::PowerOff));
    EXPECT_EQ(log_->take(), (QStringList{u"PowerOff 0"_s, u"PowerOff 0"_s}));
}

TEST_F(ShutdownTest, RestartReboots)
{
    EXPECT_TRUE(shutdownSystem(ShutdownKind::Reboot));
    EXPECT_EQ(log_->take(), QStringList{u"Reboot 0"_s});
}

TEST_F(ShutdownTest, LogOffEndsTheSessionThisProcessRunsIn)
{
    EXPECT_TRUE(shutdownSystem(ShutdownKind::LogOff));
    EXPECT_EQ(log_->take(), (QStringList{u"GetSessionByPID "_s + QString::number(::getpid()),
                                         u"Terminate "_s + kSessionPath}));
}

TEST_F(ShutdownTest, ARefusalIsReportedAsFailure)
{
    {
        const QMutexLocker lock(&log_->mutex);
        log_->refuse = true;
    }
    EXPECT_FALSE(shutdownSystem(ShutdownKind::PowerOff));
    EXPECT_FALSE(shutdownSystem(ShutdownKind::Reboot));
    // The session lookup is refused, so nothing is terminated.
    EXPECT_FALSE(shutdownSystem(ShutdownKind::LogOff));
    EXPECT_EQ(log_->take(), (QStringList{u"PowerOff 0"_s, u"Reboot 0"_s,
                                         u"GetSessionByPID "_s + QString::number(::getpid())}));
}

TEST_F(ShutdownTest, UnknownKindsAskNothing)
{
    EXPECT_FALSE(shutdownSystem(4));
    EXPECT_FALSE(shutdownSystem(-1));
    EXPECT_TRUE(log_->take().isEmpty());
}

// Last, as the stand-in goes away for good.
TEST_F(ShutdownTest, ZNoLogindOnTheBusIsAFailure)
{
    standIn_->quit();
    standIn_->wait();
    EXPECT_FALSE(shutdownSystem(ShutdownKind::PowerOff));
    EXPECT_FALSE(shutdownSystem(ShutdownKind::LogOff));
    EXPECT_TRUE(log_->take().isEmpty());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "test_shutdown.moc"
