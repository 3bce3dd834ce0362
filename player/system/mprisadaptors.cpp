#include "mprisadaptors.h"

#include "mprisservice.h"

using namespace Qt::StringLiterals;

const QString TMprisRootAdaptor::kIdentity = u"Melodeck"_s;
const QString TMprisRootAdaptor::kDesktopEntry = u"melodeck"_s;

namespace {
// The song types the player opens; the same list as its menu entry.
const QStringList kMimeTypes{
    u"audio/mpeg"_s,   u"audio/mp2"_s,       u"audio/x-mp2"_s,      u"audio/x-wav"_s,   u"audio/wav"_s,
    u"audio/x-ms-wma"_s, u"audio/ogg"_s,     u"audio/x-vorbis+ogg"_s, u"audio/flac"_s,  u"audio/x-flac"_s,
    u"audio/x-opus+ogg"_s, u"audio/opus"_s,  u"audio/mp4"_s,        u"audio/x-m4a"_s,   u"audio/aac"_s,
    u"audio/x-aac"_s,  u"audio/x-wavpack"_s, u"audio/x-ape"_s,      u"audio/aiff"_s,    u"audio/x-aiff"_s};
const QStringList kUriSchemes{u"file"_s};
} // namespace

TMprisRootAdaptor::TMprisRootAdaptor(TMprisService &service)
    : QDBusAbstractAdaptor(&service), service_(service)
{
}

QStringList TMprisRootAdaptor::supportedUriSchemes() const
{
    return kUriSchemes;
}

QStringList TMprisRootAdaptor::supportedMimeTypes() const
{
    return kMimeTypes;
}

void TMprisRootAdaptor::Raise()
{
    service_.raise();
}

void TMprisRootAdaptor::Quit()
{
    service_.quit();
}

TMprisPlayerAdaptor::TMprisPlayerAdaptor(TMprisService &service)
    : QDBusAbstractAdaptor(&service), service_(service)
{
    setAutoRelaySignals(true);
}

QString TMprisPlayerAdaptor::playbackStatus() const
{
    return service_.statusText();
}

void TMprisPlayerAdaptor::setRate(double rate)
{
    if (rate == 0.0)
        service_.request(Mpris::Request::Pause);
}

QVariantMap TMprisPlayerAdaptor::metadata() const
{
    return service_.metadata();
}

double TMprisPlayerAdaptor::volume() const
{
    return service_.volume();
}

void TMprisPlayerAdaptor::setVolume(double volume)
{
    service_.setVolume(volume);
}

qlonglong TMprisPlayerAdaptor::position() const
{
    const auto &hooks = service_.hooks();
    return hooks.positionUs ? hooks.positionUs() : 0;
}

bool TMprisPlayerAdaptor::canGoNext() const
{
    const auto &hooks = service_.hooks();
    return hooks.canGoNext && hooks.canGoNext();
}

bool TMprisPlayerAdaptor::canPlay() const
{
    const auto &hooks = service_.hooks();
    return hooks.canPlay && hooks.canPlay();
}

bool TMprisPlayerAdaptor::canSeek() const
{
    const auto &hooks = service_.hooks();
    return hooks.canSeek && hooks.canSeek();
}

void TMprisPlayerAdaptor::Next()
{
    service_.request(Mpris::Request::Next);
}

void TMprisPlayerAdaptor::Previous()
{
    service_.request(Mpris::Request::Previous);
}

void TMprisPlayerAdaptor::Pause()
{
    service_.request(Mpris::Request::Pause);
}

void TMprisPlayerAdaptor::PlayPause()
{
    service_.request(Mpris::Request::PlayPause);
}

void TMprisPlayerAdaptor::Stop()
{
    service_.request(Mpris::Request::Stop);
}

void TMprisPlayerAdaptor::Play()
{
    service_.request(Mpris::Request::Play);
}

void TMprisPlayerAdaptor::Seek(qlonglong offset)
{
    service_.seekBy(offset);
}

void TMprisPlayerAdaptor::SetPosition(const QDBusObjectPath &trackId, qlonglong position)
{
    service_.setPosition(trackId.path(), position);
}

void TMprisPlayerAdaptor::OpenUri(const QString &uri)
{
    service_.openUri(uri);
}
