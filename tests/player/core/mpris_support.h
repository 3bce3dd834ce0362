#pragma once

// The player offered on a private bus on a connection of its own; requests
// come from another one, as from a desktop.

#include "mediacontrol.h"
#include "melodeck.h"
#include "privatebus.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QTest>

namespace mpristest {

using namespace Qt::StringLiterals;

// Connections are named after the bus, so that a test's next bus never
// finds one left from the last.
inline QDBusConnection connection(const PrivateBus &bus, const QString &who)
{
    return QDBusConnection::connectToBus(bus.address(), who + u' ' + bus.address());
}

inline void disconnect(const PrivateBus &bus)
{
    for (const QString &who : {u"player"_s, u"client"_s})
        QDBusConnection::disconnectFromBus(who + u' ' + bus.address());
}

inline bool publish(Melodeck &window, const PrivateBus &bus)
{
    return window.mediaControl()->publish(connection(bus, u"player"_s));
}

// Calls a method of the player and waits for the answer and for the work the
// request started; an empty message when either never came.
inline QDBusMessage call(Melodeck &window, const PrivateBus &bus, const QString &method,
                         const QVariantList &arguments = {},
                         const QString &interface = TMprisService::kPlayerInterface)
{
    TMprisService &service = window.mediaControl()->service();
    QDBusMessage message =
        QDBusMessage::createMethodCall(service.busName(), TMprisService::kObjectPath, interface, method);
    message.setArguments(arguments);
    const QDBusPendingCall pending = connection(bus, u"client"_s).asyncCall(message);
    constexpr int kWaitMs = 20000;
    if (!QTest::qWaitFor([&] { return pending.isFinished(); }, kWaitMs)
        || !QTest::qWaitFor([&] { return service.pendingRequests() == 0; }, kWaitMs))
        return {};
    return pending.reply();
}

} // namespace mpristest
