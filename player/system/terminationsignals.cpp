#include "terminationsignals.h"

#include <QSocketNotifier>
#include <QtGlobal>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The write end for the handler; -1 when no object exists.
volatile std::sig_atomic_t writeEnd = -1;

extern "C" void onTerminationSignal(int number)
{
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(number);
    // A full pipe already holds a wake-up; losing this byte changes nothing.
    [[maybe_unused]] const ssize_t written = ::write(writeEnd, &byte, 1);
    errno = saved;
}

} // namespace

TTerminationSignals::TTerminationSignals(QObject *parent) : QObject(parent)
{
    Q_ASSERT(writeEnd == -1);
    if (::pipe2(pipe_.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        qWarning("Melodeck: no pipe for signals: %s", qPrintable(qt_error_string(errno)));
        return;
    }
    writeEnd = pipe_[1];
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &TTerminationSignals::readPipe);

    struct sigaction action{};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    active_ = true;
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        // A signal the starter chose to ignore (nohup) stays ignored.
        if (::sigaction(kSignals[i], nullptr, &previous_[i]) == 0 && previous_[i].sa_handler == SIG_IGN)
            continue;
        installed_[i] = ::sigaction(kSignals[i], &action, &previous_[i]) == 0;
        active_ = active_ && installed_[i];
    }
}

TTerminationSignals::~TTerminationSignals()
{
    restoreHandlers();
    writeEnd = -1;
    for (const int fd : pipe_)
        if (fd >= 0)
            ::close(fd);
}

void TTerminationSignals::restoreHandlers()
{
    for (std::size_t i = 0; i < kSignals.size(); ++i) {
        if (installed_[i])
            ::sigaction(kSignals[i], &previous_[i], nullptr);
        installed_[i] = false;
    }
}

void TTerminationSignals::readPipe()
{
    unsigned char byte = 0;
    int number = 0;
    while (::read(pipe_[0], &byte, 1) == 1)
        number = byte;
    if (number == 0)
        return;
    caught_ = true;
    restoreHandlers();
    Q_EMIT received(number);
}
