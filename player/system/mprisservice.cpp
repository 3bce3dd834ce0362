#include "mprisservice.h"

#include "mprisadaptors.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QUrl>
#include <QtNumeric>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

const QString TMprisService::kServiceName = u"org.mpris.MediaPlayer2.melodeck"_s;
const QString TMprisService::kObjectPath = u"/org/mpris/MediaPlayer2"_s;
const QString TMprisService::kPlayerInterface = u"org.mpris.MediaPlayer2.Player"_s;
const QString TMprisService::kNoTrack = u"/org/mpris/MediaPlayer2/TrackList/NoTrack"_s;

namespace {
const QString kPropertiesInterface = u"org.freedesktop.DBus.Properties"_s;
const QString kPropertiesChanged = u"PropertiesChanged"_s;
const QString kInstanceSuffix = u".instance"_s;
const QString kTrackPath = u"/org/melodeck/Melodeck/playlist/"_s;
const QString kFileScheme = u"file"_s;

// The virtual keys of the media keys, as the skin settings store them.
constexpr int kMediaNext = 176;
constexpr int kMediaPrevious = 177;
constexpr int kMediaStop = 178;
constexpr int kMediaPlayPause = 179;
constexpr double kPercent = 100.0;
} // namespace

namespace Mpris {

Track trackOf(int row, const QString &filename, const QString &archive, const QString &artist,
              const QString &title, const QString &album, qint64 lengthUs)
{
    Track track;
    track.id = kTrackPath + QString::number(row);
    track.artist = artist;
    track.album = album;
    track.lengthUs = lengthUs;
    if (filename.isEmpty()) {
        // A station: its address is all there is to open again.
        track.url = archive;
        track.lengthUs = 0;
        track.title = title.isEmpty() ? archive : title;
        return track;
    }
    QUrl url = QUrl::fromLocalFile(archive.isEmpty() ? filename : archive);
    if (!archive.isEmpty())
        url.setFragment(filename);
    track.url = url.toString(QUrl::FullyEncoded);
    // A song without a title in its tags is known by its file name.
    track.title = title.isEmpty() ? QFileInfo(filename).completeBaseName() : title;
    return track;
}

int mediaKeyOf(Request request)
{
    switch (request) {
    case Request::Play:
    case Request::Pause:
    case Request::PlayPause:
        return kMediaPlayPause;
    case Request::Stop:
        return kMediaStop;
    case Request::Next:
        return kMediaNext;
    case Request::Previous:
        return kMediaPrevious;
    }
    return 0;
}

} // namespace Mpris

TMprisService::TMprisService(Mpris::Hooks hooks, QObject *parent)
    : QObject(parent), hooks_(std::move(hooks)), bus_(QString())
{
    new TMprisRootAdaptor(*this);
    new TMprisPlayerAdaptor(*this);
}

TMprisService::~TMprisService()
{
    withdraw();
}

bool TMprisService::publish(const QDBusConnection &bus)
{
    withdraw();
    if (!bus.isConnected())
        return false;
    bus_ = bus;
    if (!bus_.registerObject(kObjectPath, this, QDBusConnection::ExportAdaptors))
        return false;
    busName_ = kServiceName;
    if (!bus_.registerService(busName_)) {
        busName_ = kServiceName + kInstanceSuffix + QString::number(QCoreApplication::applicationPid());
        if (!bus_.registerService(busName_)) {
            bus_.unregisterObject(kObjectPath);
            busName_.clear();
            return false;
        }
    }
    published_ = true;
    shown_ = current();
    return true;
}

void TMprisService::withdraw()
{
    pending_.clear();
    if (!published_)
        return;
    published_ = false;
    bus_.unregisterService(busName_);
    bus_.unregisterObject(kObjectPath);
    busName_.clear();
}

Mpris::Status TMprisService::status() const
{
    return hooks_.status ? hooks_.status() : Mpris::Status::Stopped;
}

QString TMprisService::statusText() const
{
    switch (status()) {
    case Mpris::Status::Playing:
        return u"Playing"_s;
    case Mpris::Status::Paused:
        return u"Paused"_s;
    case Mpris::Status::Stopped:
        break;
    }
    return u"Stopped"_s;
}

QVariantMap TMprisService::metadata() const
{
    const Mpris::Track track = hooks_.track ? hooks_.track() : Mpris::Track{};
    if (track.id.isEmpty())
        return {};
    QVariantMap map{
        {u"mpris:trackid"_s, QVariant::fromValue(QDBusObjectPath(track.id))},
        {u"xesam:title"_s, track.title},
        {u"xesam:url"_s, track.url},
    };
    if (!track.artist.isEmpty())
        map.insert(u"xesam:artist"_s, QStringList{track.artist});
    if (!track.album.isEmpty())
        map.insert(u"xesam:album"_s, track.album);
    if (track.lengthUs > 0)
        map.insert(u"mpris:length"_s, track.lengthUs);
    return map;
}

double TMprisService::volume() const
{
    return hooks_.volumePercent ? hooks_.volumePercent() / kPercent : 0.0;
}

TMprisService::Shown TMprisService::current() const
{
    Shown shown;
    shown.status = status();
    shown.track = hooks_.track ? hooks_.track() : Mpris::Track{};
    shown.volume = hooks_.volumePercent ? hooks_.volumePercent() : 0;
    shown.canPlay = hooks_.canPlay && hooks_.canPlay();
    shown.canGoNext = hooks_.canGoNext && hooks_.canGoNext();
    shown.canSeek = hooks_.canSeek && hooks_.canSeek();
    return shown;
}

void TMprisService::stateChanged()
{
    if (!published_)
        return;
    const Shown now = current();
    if (now == shown_)
        return;
    QVariantMap changed;
    if (now.status != shown_.status)
        changed.insert(u"PlaybackStatus"_s, statusText());
    if (now.track != shown_.track)
        changed.insert(u"Metadata"_s, metadata());
    if (now.volume != shown_.volume)
        changed.insert(u"Volume"_s, now.volume / kPercent);
    if (now.canPlay != shown_.canPlay) {
        changed.insert(u"CanPlay"_s, now.canPlay);
        changed.insert(u"CanPause"_s, now.canPlay);
    }
    if (now.canGoNext != shown_.canGoNext) {
        changed.insert(u"CanGoNext"_s, now.canGoNext);
        changed.insert(u"CanGoPrevious"_s, now.canGoNext);
    }
    if (now.canSeek != shown_.canSeek)
        changed.insert(u"CanSeek"_s, now.canSeek);
    shown_ = now;
    QDBusMessage signal = QDBusMessage::createSignal(kObjectPath, kPropertiesInterface, kPropertiesChanged);
    signal << kPlayerInterface << changed << QStringList();
    bus_.send(signal);
}

void TMprisService::seeked()
{
    if (published_ && hooks_.positionUs)
        Q_EMIT Seeked(hooks_.positionUs());
}

void TMprisService::enqueue(std::function<void()> work)
{
    pending_.push_back(std::move(work));
    if (!running_ && pending_.size() == 1)
        QMetaObject::invokeMethod(this, &TMprisService::runPending, Qt::QueuedConnection);
}

void TMprisService::runPending()
{
    // An action may show a message box, whose loop takes further requests;
    // they queue up behind it and run once it has closed.
    if (running_)
        return;
    running_ = true;
    while (!pending_.empty()) {
        const std::function<void()> work = std::move(pending_.front());
        pending_.pop_front();
        work();
    }
    running_ = false;
}

void TMprisService::request(Mpris::Request request)
{
    // Decided now, while the key's press is still fresh.
    if (hooks_.takenByHotKeys && hooks_.takenByHotKeys(request))
        return;
    enqueue([this, request] {
        // Play and Pause only ever move the state their way; the state is
        // read when the request runs, after any before it.
        const Mpris::Status now = status();
        if ((request == Mpris::Request::Play && now == Mpris::Status::Playing)
            || (request == Mpris::Request::Pause && now != Mpris::Status::Playing))
            return;
        if (hooks_.act)
            hooks_.act(request == Mpris::Request::Play || request == Mpris::Request::Pause
                           ? Mpris::Request::PlayPause
                           : request);
    });
}

void TMprisService::seekBy(qint64 offsetUs)
{
    enqueue([this, offsetUs] {
        if (!hooks_.canSeek || !hooks_.canSeek() || !hooks_.positionUs)
            return;
        // Any offset is valid on the bus; one that overshoots either end
        // lands on that end instead of wrapping round.
        qint64 target = 0;
        if (qAddOverflow(hooks_.positionUs(), offsetUs, &target))
            target = offsetUs > 0 ? std::numeric_limits<qint64>::max() : 0;
        target = std::max<qint64>(0, target);
        const qint64 length = hooks_.track ? hooks_.track().lengthUs : 0;
        // Past the end the next song starts, as the interface prescribes.
        if (target > length) {
            if (hooks_.act)
                hooks_.act(Mpris::Request::Next);
        } else if (hooks_.seek) {
            hooks_.seek(target);
        }
    });
}

void TMprisService::setPosition(const QString &trackId, qint64 positionUs)
{
    enqueue([this, trackId, positionUs] {
        if (!hooks_.canSeek || !hooks_.canSeek() || !hooks_.track || !hooks_.seek)
            return;
        // A position for a song that is no longer the current one is stale.
        const Mpris::Track track = hooks_.track();
        if (trackId != track.id || positionUs < 0 || positionUs > track.lengthUs)
            return;
        hooks_.seek(positionUs);
    });
}

void TMprisService::setVolume(double volume)
{
    if (!hooks_.setVolume || std::isnan(volume))
        return;
    hooks_.setVolume(static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * kPercent)));
}

void TMprisService::openUri(const QString &uri)
{
    const QUrl url(uri);
    if (url.scheme() != kFileScheme || !url.isLocalFile() || !hooks_.open)
        return;
    const QString path = url.toLocalFile();
    enqueue([this, path] { hooks_.open(path); });
}

void TMprisService::raise()
{
    if (hooks_.raise)
        enqueue([this] { hooks_.raise(); });
}

void TMprisService::quit()
{
    // Not behind the queue: an action waiting on a message box would hold
    // it up until the box is answered, and ending cancels that box anyway.
    if (hooks_.quit)
        QMetaObject::invokeMethod(this, [this] { hooks_.quit(); }, Qt::QueuedConnection);
}
