#include "xvfbserver.h"

#include <QByteArray>
#include <QStandardPaths>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

TXvfbServer::~TXvfbServer()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
}

bool TXvfbServer::start()
{
    const QByteArray program = QStandardPaths::findExecutable(QStringLiteral("Xvfb")).toLocal8Bit();
    if (program.isEmpty())
        return false;
    int ready[2];
    if (::pipe(ready) != 0)
        return false;
    const QByteArray fd = QByteArray::number(ready[1]);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        return false;
    }
    if (pid == 0) {
        ::close(ready[0]);
        const int quiet = ::open("/dev/null", O_WRONLY);
        if (quiet >= 0) {
            ::dup2(quiet, STDOUT_FILENO);
            ::dup2(quiet, STDERR_FILENO);
        }
        const char *arguments[] = {program.constData(), "-displayfd", fd.constData(), "-nolisten", "tcp",
                                   "-screen", "0", "1024x768x24", nullptr};
        ::execv(program.constData(), const_cast<char *const *>(arguments));
        ::_exit(127);
    }
    pid_ = pid;
    ::close(ready[1]);
    // The server writes its display number once it accepts clients, and
    // nothing when it fails (the pipe then just ends).
    QByteArray number;
    char c = 0;
    while (::read(ready[0], &c, 1) == 1 && c != '\n')
        number.append(c);
    ::close(ready[0]);
    bool ok = false;
    number.toInt(&ok);
    if (!ok)
        return false;
    display_ = QLatin1Char(':') + QString::fromLatin1(number);
    return true;
}
