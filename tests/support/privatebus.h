#pragma once

// A dbus-daemon of the test's own, so that nothing a test offers or asks
// reaches the desktop's buses. It accepts any name and any message.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class PrivateBus
{
public:
    PrivateBus() = default;
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    // Starts the daemon and waits until it takes connections; false when
    // it cannot be started.
    bool start();
    QString address() const { return address_; }

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
};
