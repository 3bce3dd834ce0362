#include "shutdown.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QString>
#include <QVariant>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
const QString kService = u"org.freedesktop.login1"_s;
const QString kManagerPath = u"/org/freedesktop/login1"_s;
const QString kManagerInterface = u"org.freedesktop.login1.Manager"_s;
const QString kSessionInterface = u"org.freedesktop.login1.Session"_s;
const QString kPowerOff = u"PowerOff"_s;
const QString kReboot = u"Reboot"_s;
const QString kSessionByPid = u"GetSessionByPID"_s;
const QString kTerminate = u"Terminate"_s;

bool accepted(const QDBusMessage &reply)
{
    if (reply.type() == QDBusMessage::ErrorMessage) {
        qWarning("shutdown: logind refused: %s", qUtf8Printable(reply.errorMessage()));
        return false;
    }
    return reply.type() == QDBusMessage::ReplyMessage;
}

// The manager's power methods take one flag: whether logind may ask the
// user for authorisation. The player never waits for a question.
bool callManager(const QDBusConnection &bus, const QString &method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kManagerPath, kManagerInterface, method);
    call << false;
    return accepted(bus.call(call));
}

bool endSession(const QDBusConnection &bus)
{
    QDBusMessage lookup = QDBusMessage::createMethodCall(kService, kManagerPath, kManagerInterface, kSessionByPid);
    lookup << static_cast<quint32>(::getpid());
    const QDBusReply<QDBusObjectPath> session = bus.call(lookup);
    if (!session.isValid()) {
        qWarning("shutdown: no session for this process: %s", qUtf8Printable(session.error().message()));
        return false;
    }
    const QDBusMessage terminate =
        QDBusMessage::createMethodCall(kService, session.value().path(), kSessionInterface, kTerminate);
    return accepted(bus.call(terminate));
}
} // namespace

bool shutdownSystem(int kind)
{
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        qWarning("shutdown: no system bus: %s", qUtf8Printable(bus.lastError().message()));
        return false;
    }
    switch (kind) {
    case ShutdownKind::Shutdown:
    case ShutdownKind::PowerOff:
        return callManager(bus, kPowerOff);
    case ShutdownKind::Reboot:
        return callManager(bus, kReboot);
    case ShutdownKind::LogOff:
        return endSession(bus);
    default:
        return false;
    }
}
