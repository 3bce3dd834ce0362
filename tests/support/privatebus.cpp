#include "privatebus.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace {
constexpr int kWaitMs = 10000;
}

PrivateBus::~PrivateBus()
{
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.terminate();
        daemon_.waitForFinished(kWaitMs);
    }
}

bool PrivateBus::start()
{
    if (!dir_.isValid())
        return false;
    const QString config = dir_.path() + u"/bus.conf"_s;
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QStringLiteral(
                   "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                   " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
                   "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                   "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                   .arg(dir_.path())
                   .toUtf8());
    file.close();
    // The address is printed once the daemon listens.
    daemon_.start(u"dbus-daemon"_s, {u"--config-file="_s + config, u"--print-address=1"_s, u"--nofork"_s});
    if (!daemon_.waitForStarted(kWaitMs))
        return false;
    while (!daemon_.canReadLine()) {
        if (!daemon_.waitForReadyRead(kWaitMs))
            return false;
    }
    address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    return !address_.isEmpty();
}
