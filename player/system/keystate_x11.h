#pragma once

// The desktop's keyboard on an X11 display, for TKeyState: a connection of its
// own, XInput2 raw key events from the root window, and the server's key map.
// No X header is needed to use it.

#include <QtGlobal>

#include <bitset>
#include <memory>
#include <unordered_map>
#include <vector>

struct _XDisplay;

class TX11Keyboard
{
public:
    // Null when $DISPLAY cannot be opened or lacks XInput 2.1.
    static std::unique_ptr<TX11Keyboard> open();
    ~TX11Keyboard();

    TX11Keyboard(const TX11Keyboard &) = delete;
    TX11Keyboard &operator=(const TX11Keyboard &) = delete;

    int connectionFd() const;
    // The connection to the server broke; nothing works any more.
    bool broken() const { return broken_; }

    void setWatching(bool on);
    // Down now, or pressed since the previous query of the same key.
    bool queryAndForget(int virtualKey);
    // The same answer, with the press kept for the next query.
    bool peek(int virtualKey);
    void readEvents();
    quint64 pressesSeen() const { return presses_; }

    // The X key symbols a virtual key stands for; empty for keys that have
    // none here.
    static std::vector<unsigned long> keySymbols(int virtualKey);
    // Whether the key at an X key code, with these symbols on its levels
    // (unshifted first), gives the virtual key whose symbols are given.
    static bool keyGives(int virtualKey, const std::vector<unsigned long> &symbols, int keyCode,
                         const unsigned long *levels, int levelCount);

private:
    TX11Keyboard(_XDisplay *display, int xiOpcode);
    bool query(int virtualKey, bool forget);
    const std::vector<int> &keyCodes(int virtualKey);
    void selectRawKeys(bool on);
    void readKeyMap(std::bitset<256> &keys);
    void takeEvent();

    static void ioErrorExit(_XDisplay *display, void *self);

    _XDisplay *display_;
    int xiOpcode_;
    bool broken_ = false;
    bool watching_ = false;
    quint64 presses_ = 0;
    // By X key code: held according to the raw events (so that auto-repeat
    // does not count as a new press), and pressed since the last query.
    std::bitset<256> down_;
    std::bitset<256> pressed_;
    std::unordered_map<int, std::vector<int>> keyCodes_;
};
