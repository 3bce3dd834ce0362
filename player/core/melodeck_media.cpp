// The main window's media control from the desktop.

#include "mediacontrol.h"
#include "melodeck.h"

#include <QDBusConnection>

void Melodeck::createMediaControl()
{
    mediaControl_ = std::make_unique<TMediaControl>(*this);
    mediaControl_->publish(QDBusConnection::sessionBus());
}

void Melodeck::mediaStateChanged()
{
    if (mediaControl_)
        mediaControl_->changed();
}

void Melodeck::mediaPositionJumped()
{
    if (mediaControl_)
        mediaControl_->seeked();
}
