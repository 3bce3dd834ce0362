#pragma once

// Shared by the tests that drive the player through its media-player
// interfaces on a private bus: the player is offered on a connection of its
// own, and requests come from another, as from a desktop.

#include "mediacontrol.h"
#include "melodeck.h"
#include "privatebus.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QTest>

namespace mpristest {

using namespace Qt::StringLiterals;

inline const QString kPropertiesInterface = u"org.freedesktop.DBus.Properties"_s;
constexpr int kWaitMs = 20000;

inline bool publish(Melodeck &window, const PrivateBus &bus)
{
    return window.mediaControl()->publish(QDBusConnection::connectToBus(bus.address(), u"player"_s));
}

inline QDBusConnection client(const PrivateBus &bus)
{
    return QDBusConnection::connectToBus(bus.address(), u"client"_s);
}

// Calls a method of the player and waits for the answer and for the work
// the request started.
inline QDBusMessage call(Melodeck &window, const PrivateBus &bus, const QString &method,
                         const QVariantList &arguments = {},
                         const QString &interface = TMprisService::kPlayerInterface)
{
    TMprisService &service = window.mediaControl()->service();
    QDBusMessage message =
        QDBusMessage::createMethodCall(service.busName(), TMprisService::kObjectPath, interface, method);
    message.setArguments(arguments);
    const QDBusPendingCall pending = client(bus).asyncCall(message);
    if (!QTest::qWaitFor([&] { return pending.isFinished(); }, kWaitMs)
        || !QTest::qWaitFor([&] { return service.pendingRequests() == 0; }, kWaitMs))
        return {};
    return pending.reply();
}

inline QVariant property(Melodeck &window, const PrivateBus &bus, const QString &name,
                         const QString &interface = TMprisService::kPlayerInterface)
{
    const QDBusMessage reply = call(window, bus, u"Get"_s, {interface, name}, kPropertiesInterface);
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

} // namespace mpristest
