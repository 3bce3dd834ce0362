#include "keystate.h"

#include "keystate_x11.h"

#include <QSocketNotifier>

TKeyState::TKeyState(bool useX11, QObject *parent)
    : QObject(parent)
{
    if (useX11)
        x11_ = TX11Keyboard::open();
    if (x11_) {
        // Events are read as they arrive, so the connection never backs up
        // between two polls, and again before every query.
        notifier_ = new QSocketNotifier(static_cast<qintptr>(x11_->connectionFd()), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &TKeyState::readEvents);
    }
}

TKeyState::~TKeyState() = default;

bool TKeyState::global() const
{
    return x11_ != nullptr;
}

void TKeyState::dropX11()
{
    // A broken connection is never touched again; the notifier would
    // otherwise fire on the dead socket for ever.
    delete notifier_;
    notifier_ = nullptr;
    x11_.reset();
}

void TKeyState::setWatching(bool on)
{
    watching_ = on;
    if (x11_) {
        x11_->setWatching(on);
        if (x11_->broken())
            dropX11();
    }
}

bool TKeyState::inRange(int virtualKey) const
{
    return virtualKey > 0 && static_cast<std::size_t>(virtualKey) < kVirtualKeys;
}

bool TKeyState::getAsyncKeyState(int virtualKey)
{
    if (!inRange(virtualKey))
        return false;
    if (x11_) {
        const bool result = x11_->queryAndForget(virtualKey);
        if (!x11_->broken())
            return result;
        dropX11();
    }
    const auto key = static_cast<std::size_t>(virtualKey);
    const bool result = down_.test(key) || pressed_.test(key);
    pressed_.reset(key);
    return result;
}

void TKeyState::notePress(int virtualKey)
{
    if (x11_ || !inRange(virtualKey))
        return;
    const auto key = static_cast<std::size_t>(virtualKey);
    down_.set(key);
    pressed_.set(key);
    ++ownPresses_;
}

void TKeyState::noteRelease(int virtualKey)
{
    if (x11_ || !inRange(virtualKey))
        return;
    down_.reset(static_cast<std::size_t>(virtualKey));
}

void TKeyState::releaseAll()
{
    down_.reset();
}

void TKeyState::readEvents()
{
    if (!x11_)
        return;
    x11_->readEvents();
    if (x11_->broken())
        dropX11();
}

quint64 TKeyState::pressesSeen() const
{
    return x11_ ? x11_->pressesSeen() : ownPresses_;
}
