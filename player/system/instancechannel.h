#pragma once

// The message channel between a second start and the running instance: a
// local stream socket in the owner-only instance directory. The sender writes
// the forwarded text as UTF-8 followed by one zero byte and waits for a
// one-byte reply, which the running instance writes only after its handler
// has returned. That makes the hand-over synchronous, like a window message
// that is sent rather than posted.

#include <QHash>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>

class QLocalServer;
class QLocalSocket;

// Path of the channel socket inside an instance directory.
QString instanceSocketPath(const QString &directory);

// The running instance's end. Lives on the user-interface thread, so the
// handler runs there.
class TInstanceServer : public QObject
{
    Q_OBJECT
public:
    using Handler = std::function<void(const QString &text)>;

    explicit TInstanceServer(QObject *parent = nullptr);
    ~TInstanceServer() override;

    // Must only be called while holding the instance lock: a socket file
    // left by a crashed instance is removed first.
    bool listen(const QString &socketPath);
    void setHandler(Handler handler) { handler_ = std::move(handler); }
    QString errorString() const;

    // Larger messages are dropped; nobody passes megabytes of paths.
    static constexpr qsizetype kMaxMessageBytes = 4 * 1024 * 1024;

private:
    void acceptConnections();
    void readFrom(QLocalSocket *socket);

    QLocalServer *server_ = nullptr;
    Handler handler_;
    QHash<QLocalSocket *, QByteArray> pending_;
};

// The second start's end. Connects (retrying while the running instance may
// still be setting up its channel), sends, and blocks until the reply comes
// or the connection is closed. Returns true when the receiver confirmed.
bool sendToRunningInstance(const QString &socketPath, const QString &text,
                           std::chrono::milliseconds connectPatience = std::chrono::seconds(5));
