#pragma once

// SIGTERM, SIGINT and SIGHUP as events of the Qt event loop. A desktop
// log-out, a service manager or Ctrl+C in a terminal then close the player
// the way its close button does, so the stream is freed and the scratch file
// deleted. The handlers only write the signal's number to a pipe; a socket
// notifier reads it on the user-interface thread. After the first signal the
// previous handlers are back, so a second one ends a close that hangs. A
// signal that was ignored at start (nohup) stays ignored.

#include <QObject>

#include <array>
#include <csignal>

class QSocketNotifier;

class TTerminationSignals : public QObject
{
    Q_OBJECT

public:
    static constexpr std::array<int, 3> kSignals{SIGTERM, SIGINT, SIGHUP};

    // Installs the handlers; only one object may exist at a time.
    explicit TTerminationSignals(QObject *parent = nullptr);
    ~TTerminationSignals() override;
    TTerminationSignals(const TTerminationSignals &) = delete;
    TTerminationSignals &operator=(const TTerminationSignals &) = delete;

    // False when the pipe or a handler could not be set up.
    bool isActive() const { return active_; }
    // A signal has come (it may have been emitted before anyone listened).
    bool caught() const { return caught_; }

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPipe();
    void restoreHandlers();

    std::array<int, 2> pipe_{-1, -1};
    std::array<struct sigaction, kSignals.size()> previous_{};
    std::array<bool, kSignals.size()> installed_{};
    QSocketNotifier *notifier_ = nullptr;
    bool active_ = false;
    bool caught_ = false;
};
