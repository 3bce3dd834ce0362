#include "mediacontrol.h"

TMediaControl::TMediaControl(Mpris::Hooks hooks)
    : service_(std::make_unique<TMprisService>(std::move(hooks)))
{
}

TMediaControl::~TMediaControl() = default;

bool TMediaControl::publish(const QDBusConnection &bus)
{
    return service_->publish(bus);
}

void TMediaControl::withdraw()
{
    service_->withdraw();
}

void TMediaControl::changed()
{
    service_->stateChanged();
}

void TMediaControl::seeked()
{
    service_->seeked();
}
