#pragma once

// Whether a key is down now or has been pressed since it was last asked
// about, whichever window has the focus. Keys are the virtual-key numbers the
// skin settings store.
//
// On an X11 display the whole desktop's keyboard is seen: raw key events from
// the root window (so a press shorter than the polling interval still
// counts) together with the server's current key map. Without X11 only the
// keys the program's own windows receive count; the window feeds them in.

#include <QObject>

#include <bitset>
#include <memory>

class QSocketNotifier;
class TX11Keyboard;

class TKeyState : public QObject
{
    Q_OBJECT

public:
    // useX11: the program runs on an X11 display; it is then opened from
    // $DISPLAY. When that fails, or the server lacks XInput 2.1, the keys of
    // the program's own windows are used instead.
    explicit TKeyState(bool useX11, QObject *parent = nullptr);
    ~TKeyState() override;

    TKeyState(const TKeyState &) = delete;
    TKeyState &operator=(const TKeyState &) = delete;

    // True while keys are seen desktop-wide.
    bool global() const;

    // Starts or stops listening to the desktop's keyboard. While stopped,
    // presses elsewhere are not recorded.
    void setWatching(bool on);
    bool watching() const { return watching_; }

    // True when the key is down now or has been pressed since the previous
    // query of it; the query forgets the press.
    bool getAsyncKeyState(int virtualKey);

    // Key events of the program's own windows; they count only while the
    // desktop's keyboard cannot be seen.
    void notePress(int virtualKey);
    void noteRelease(int virtualKey);
    // The program lost the keyboard: releases it will not see.
    void releaseAll();

    // Takes in what the X server has sent so far. pressesSeen counts the key
    // presses taken in, so a caller can wait until a press made elsewhere has
    // arrived.
    void readEvents();
    quint64 pressesSeen() const;

private:
    static constexpr std::size_t kVirtualKeys = 65536;
    bool inRange(int virtualKey) const;
    void dropX11();

    std::unique_ptr<TX11Keyboard> x11_;
    QSocketNotifier *notifier_ = nullptr;
    std::bitset<kVirtualKeys> down_;
    std::bitset<kVirtualKeys> pressed_;
    quint64 ownPresses_ = 0;
    bool watching_ = false;
};
