#pragma once

// The player as an MPRIS 2 media player on the session bus, so that desktop
// media keys, lock screens, panel widgets and tools such as playerctl control
// it. The service knows nothing of the window: it reads the state through the
// hooks it gets at construction and hands every request back through them.
//
// Requests are answered at once and carried out afterwards from the event
// loop, one after the other, so that a message box the player shows never
// holds a caller on the bus, and a request that comes in while one is shown
// waits for it to close.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <deque>
#include <functional>

namespace Mpris {

enum class Status { Stopped, Playing, Paused };
enum class Request { Play, Pause, PlayPause, Stop, Next, Previous };

// The song the player holds. An empty id means none.
struct Track
{
    QString id;    // an object path, unique for the playlist row
    QString title;
    QString artist;
    QString album;
    QString url;
    qint64 lengthUs = 0; // 0: unknown, as for a radio station
    bool operator==(const Track &) const = default;
};

// A playlist row as a track: a file on disk (empty archive), a member of an
// archive, or a radio station (empty file name, the URL as archive).
Track trackOf(int row, const QString &filename, const QString &archive, const QString &artist,
              const QString &title, const QString &album, qint64 lengthUs);

// The virtual key of the desktop media key whose press makes a desktop send
// the request; 0 for none.
int mediaKeyOf(Request request);

struct Hooks
{
    std::function<Status()> status;
    std::function<Track()> track;
    std::function<qint64()> positionUs;
    std::function<int()> volumePercent;
    std::function<bool()> canPlay;
    std::function<bool()> canGoNext;
    std::function<bool()> canSeek;

    // True when the request was sent for a key press the player's own hot
    // keys act on already; it is then dropped.
    std::function<bool(Request)> takenByHotKeys;
    std::function<void(Request)> act;
    std::function<void(qint64 positionUs)> seek;
    std::function<void(int percent)> setVolume;
    // A local file to add to the playlist, as a second start hands it over.
    std::function<void(const QString &path)> open;
    std::function<void()> raise;
    std::function<void()> quit;
};

} // namespace Mpris

class TMprisService : public QObject
{
    Q_OBJECT

public:
    static const QString kServiceName; // "org.mpris.MediaPlayer2.melodeck"
    static const QString kObjectPath;  // "/org/mpris/MediaPlayer2"
    static const QString kPlayerInterface;
    static const QString kNoTrack;

    explicit TMprisService(Mpris::Hooks hooks, QObject *parent = nullptr);
    ~TMprisService() override;

    // Offers the player on the bus. False, without a word to the user, when
    // there is no bus; a second player on the same bus takes a name with its
    // process number, as the media-player interface allows.
    bool publish(const QDBusConnection &bus);
    bool published() const { return published_; }
    QString busName() const { return busName_; }
    // Leaves the bus; requests still waiting are dropped.
    void withdraw();

    // Something the desktop may show changed: PropertiesChanged carries what
    // differs from what was last sent.
    void stateChanged();
    // The position jumped (a seek); the desktop learns the new one.
    void seeked();
    // Requests taken but not yet carried out.
    int pendingRequests() const { return static_cast<int>(pending_.size()); }

    // What the two bus interfaces read and ask; see mprisadaptors.h.
    const Mpris::Hooks &hooks() const { return hooks_; }
    Mpris::Status status() const;
    QString statusText() const;
    QVariantMap metadata() const;
    double volume() const;
    void request(Mpris::Request request);
    void seekBy(qint64 offsetUs);
    void setPosition(const QString &trackId, qint64 positionUs);
    void setVolume(double volume);
    void openUri(const QString &uri);
    void raise();
    void quit();

Q_SIGNALS:
    void Seeked(qlonglong positionUs);

private:
    // The properties PropertiesChanged reports, as last sent.
    struct Shown
    {
        Mpris::Status status = Mpris::Status::Stopped;
        Mpris::Track track;
        int volume = -1;
        bool canPlay = false;
        bool canGoNext = false;
        bool canSeek = false;
        bool operator==(const Shown &) const = default;
    };
    Shown current() const;
    void enqueue(std::function<void()> work);
    void runPending();

    Mpris::Hooks hooks_;
    QDBusConnection bus_;
    QString busName_;
    bool published_ = false;
    Shown shown_;
    std::deque<std::function<void()>> pending_;
    bool running_ = false;
};
