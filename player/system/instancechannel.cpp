#include "instancechannel.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
const QString kSocketFileName = u"Melodeck.socket"_s;
constexpr char kReplyByte = '\x01';

// Closes a file descriptor when the scope ends.
class FdGuard
{
public:
    explicit FdGuard(int fd) : fd_(fd) {}
    ~FdGuard()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FdGuard(const FdGuard &) = delete;
    FdGuard &operator=(const FdGuard &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}
} // namespace

QString instanceSocketPath(const QString &directory)
{
    return directory + u'/' + kSocketFileName;
}

TInstanceServer::TInstanceServer(QObject *parent)
    : QObject(parent), server_(new QLocalServer(this))
{
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &TInstanceServer::acceptConnections);
}

TInstanceServer::~TInstanceServer() = default;

bool TInstanceServer::listen(const QString &socketPath)
{
    // We hold the lock, so nobody else serves at this path: whatever lies
    // there was left by an instance that died.
    QLocalServer::removeServer(socketPath);
    return server_->listen(socketPath);
}

QString TInstanceServer::errorString() const
{
    return server_->errorString();
}

void TInstanceServer::acceptConnections()
{
    while (QLocalSocket *socket = server_->nextPendingConnection()) {
        pending_.insert(socket, {});
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            pending_.remove(socket);
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            readFrom(socket);
    }
}

void TInstanceServer::readFrom(QLocalSocket *socket)
{
    auto it = pending_.find(socket);
    if (it == pending_.end())
        return;
    it.value() += socket->readAll();
    const qsizetype end = it.value().indexOf('\0');
    const qsizetype length = end < 0 ? it.value().size() : end;
    if (length > kMaxMessageBytes) {
        qWarning("Melodeck: dropping an oversized message from a second start");
        pending_.erase(it);
        socket->abort();
        return;
    }
    if (end < 0)
        return;
    const QString text = QString::fromUtf8(it.value().left(end));
    // Later bytes of the same connection are not part of the protocol.
    pending_.erase(it);
    // The handler may run the message loop (a scan does), during which the
    // sender may hang up and its socket be deleted.
    const QPointer<QLocalSocket> alive(socket);
    if (handler_)
        handler_(text);
    if (alive && socket->state() == QLocalSocket::ConnectedState) {
        socket->write(&kReplyByte, 1);
        socket->flush();
        socket->disconnectFromServer();
    }
}

bool sendToRunningInstance(const QString &socketPath, const QString &text,
                           std::chrono::milliseconds connectPatience)
{
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (static_cast<size_t>(path.size()) >= sizeof(address.sun_path)) {
        qWarning("Melodeck: the instance socket path is too long: %s", path.constData());
        return false;
    }
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));

    const auto deadline = std::chrono::steady_clock::now() + connectPatience;
    int connected = -1;
    for (;;) {
        connected = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (connected < 0)
            return false;
        if (::connect(connected, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0)
            break;
        const int error = errno;
        ::close(connected);
        connected = -1;
        // The running instance holds the lock but may not listen yet.
        const bool notYet = error == ENOENT || error == ECONNREFUSED || error == EAGAIN || error == EINTR;
        if (!notYet || std::chrono::steady_clock::now() >= deadline) {
            qWarning("Melodeck: cannot reach the running instance: %s", std::strerror(error));
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    const FdGuard fd(connected);

    QByteArray message = text.toUtf8();
    message.append('\0');
    if (!writeAll(fd.get(), message.constData(), static_cast<size_t>(message.size())))
        return false;

    // Waits as long as the receiver works (it may scan whole directories);
    // if it dies, the connection closes and recv returns.
    char reply = 0;
    for (;;) {
        const ssize_t n = ::recv(fd.get(), &reply, 1, 0);
        if (n < 0 && errno == EINTR)
            continue;
        return n == 1 && reply == kReplyByte;
    }
}
