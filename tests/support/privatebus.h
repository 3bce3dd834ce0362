#pragma once

// A dbus-daemon of the test's own, so that nothing a test offers or asks
// reaches the desktop's buses. It lets anyone own any name and send anything.

#include <QProcess>
#include <QTemporaryDir>

class PrivateBus
{
public:
    ~PrivateBus();
    // Starts the daemon; false when it does not come up.
    bool start();
    QString address() const { return address_; }

private:
    QTemporaryDir dir_;
    QProcess daemon_;
    QString address_;
};
