#include "keystate_x11.h"

// The X headers define macros such as None and Bool; they come last.
#include <X11/XF86keysym.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>

namespace {

// Virtual keys with a key symbol of their own. The punctuation keys follow the
// German layout the key names are taken from; a symbol missing from the
// current layout leaves its key unused.
struct SymbolKey
{
    int virtualKey;
    std::array<unsigned long, 2> symbols; // 0: no second symbol
};

constexpr SymbolKey kSymbolKeys[] = {
    {8, {XK_BackSpace, 0}},
    {9, {XK_Tab, XK_ISO_Left_Tab}},
    {13, {XK_Return, XK_KP_Enter}},
    {16, {XK_Shift_L, XK_Shift_R}},
    {17, {XK_Control_L, XK_Control_R}},
    {18, {XK_Alt_L, XK_Alt_R}},
    {19, {XK_Pause, 0}},
    {20, {XK_Caps_Lock, 0}},
    {27, {XK_Escape, 0}},
    {32, {XK_space, 0}},
    {33, {XK_Prior, 0}},
    {34, {XK_Next, 0}},
    {35, {XK_End, 0}},
    {36, {XK_Home, 0}},
    {37, {XK_Left, 0}},
    {38, {XK_Up, 0}},
    {39, {XK_Right, 0}},
    {40, {XK_Down, 0}},
    {45, {XK_Insert, 0}},
    {46, {XK_Delete, 0}},
    {106, {XK_KP_Multiply, 0}},
    {107, {XK_KP_Add, 0}},
    {109, {XK_KP_Subtract, 0}},
    {110, {XK_KP_Decimal, XK_KP_Separator}},
    {111, {XK_KP_Divide, 0}},
    {144, {XK_Num_Lock, 0}},
    {145, {XK_Scroll_Lock, 0}},
    {160, {XK_Shift_L, 0}},
    {161, {XK_Shift_R, 0}},
    {162, {XK_Control_L, 0}},
    {163, {XK_Control_R, 0}},
    {164, {XK_Alt_L, 0}},
    {165, {XK_Alt_R, XK_ISO_Level3_Shift}},
    {173, {XF86XK_AudioMute, 0}},
    {174, {XF86XK_AudioLowerVolume, 0}},
    {175, {XF86XK_AudioRaiseVolume, 0}},
    {176, {XF86XK_AudioNext, 0}},
    {177, {XF86XK_AudioPrev, 0}},
    {178, {XF86XK_AudioStop, 0}},
    {179, {XF86XK_AudioPlay, 0}},
    {186, {XK_udiaeresis, 0}},
    {187, {XK_plus, 0}},
    {188, {XK_comma, 0}},
    {189, {XK_minus, 0}},
    {190, {XK_period, 0}},
    {191, {XK_numbersign, 0}},
    {192, {XK_odiaeresis, 0}},
    {219, {XK_ssharp, 0}},
    {220, {XK_asciicircum, XK_dead_circumflex}},
    {221, {XK_acute, XK_dead_acute}},
    {222, {XK_adiaeresis, 0}},
    {226, {XK_less, 0}},
};

// Ranges whose virtual keys and key symbols both run in order.
struct SymbolRange
{
    int firstKey;
    int lastKey;
    unsigned long firstSymbol;
};

constexpr SymbolRange kSymbolRanges[] = {
    {48, 57, XK_0},     // digits
    {65, 90, XK_a},     // letters: the unshifted symbol names the key
    {96, 105, XK_KP_0}, // number pad digits
    {112, 135, XK_F1},  // F1 to F24
};

constexpr int kKeyCodes = 256;

// Xlib's handler for a lost connection is process-wide, and its default ends
// the program. The connections opened here are let go instead (their exit
// handler marks them broken); any other connection keeps the handler it had.
std::vector<Display *> ownDisplays;
XIOErrorHandler previousIoErrorHandler = nullptr;

int ioErrorHandler(Display *display)
{
    if (std::find(ownDisplays.begin(), ownDisplays.end(), display) != ownDisplays.end())
        return 0;
    return previousIoErrorHandler ? previousIoErrorHandler(display) : 0;
}

} // namespace

std::vector<unsigned long> TX11Keyboard::keySymbols(int virtualKey)
{
    for (const SymbolRange &range : kSymbolRanges) {
        if (virtualKey >= range.firstKey && virtualKey <= range.lastKey)
            return {range.firstSymbol + static_cast<unsigned long>(virtualKey - range.firstKey)};
    }
    std::vector<unsigned long> symbols;
    for (const SymbolKey &key : kSymbolKeys) {
        if (key.virtualKey != virtualKey)
            continue;
        for (const unsigned long symbol : key.symbols) {
            if (symbol != 0)
                symbols.push_back(symbol);
        }
    }
    return symbols;
}

std::unique_ptr<TX11Keyboard> TX11Keyboard::open()
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return nullptr;
    int opcode = 0;
    int firstEvent = 0;
    int firstError = 0;
    int major = 2;
    int minor = 1;
    // Raw events reach the root window since XInput 2.1.
    if (!XQueryExtension(display, "XInputExtension", &opcode, &firstEvent, &firstError)
        || XIQueryVersion(display, &major, &minor) != Success || major < 2 || (major == 2 && minor < 1)) {
        XCloseDisplay(display);
        return nullptr;
    }
    std::unique_ptr<TX11Keyboard> keyboard(new TX11Keyboard(display, opcode));
    // A lost server must not end the program from inside Xlib; the keyboard
    // just stops working and the caller falls back.
    XSetIOErrorExitHandler(display, &TX11Keyboard::ioErrorExit, keyboard.get());
    if (ownDisplays.empty()) {
        const XIOErrorHandler previous = XSetIOErrorHandler(&ioErrorHandler);
        if (previous != &ioErrorHandler)
            previousIoErrorHandler = previous;
    }
    ownDisplays.push_back(display);
    return keyboard;
}

TX11Keyboard::TX11Keyboard(_XDisplay *display, int xiOpcode)
    : display_(display), xiOpcode_(xiOpcode)
{
}

TX11Keyboard::~TX11Keyboard()
{
    // Closing a broken connection would report the failure once more.
    if (!broken_)
        XCloseDisplay(display_);
    std::erase(ownDisplays, display_);
}

void TX11Keyboard::ioErrorExit(_XDisplay *, void *self)
{
    static_cast<TX11Keyboard *>(self)->broken_ = true;
}

int TX11Keyboard::connectionFd() const
{
    return XConnectionNumber(display_);
}

void TX11Keyboard::selectRawKeys(bool on)
{
    std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> bits{};
    if (on) {
        for (const int type : {XI_RawKeyPress, XI_RawKeyRelease})
            bits[static_cast<std::size_t>(type >> 3)] |= static_cast<unsigned char>(1u << (type & 7));
    }
    XIEventMask mask;
    mask.deviceid = XIAllMasterDevices;
    mask.mask_len = static_cast<int>(bits.size());
    mask.mask = bits.data();
    XISelectEvents(display_, XDefaultRootWindow(display_), &mask, 1);
    XFlush(display_);
}

void TX11Keyboard::setWatching(bool on)
{
    if (broken_ || on == watching_)
        return;
    watching_ = on;
    selectRawKeys(on);
    // What is held now was pressed before; its release comes as an event.
    if (on)
        readKeyMap(down_);
    readEvents();
}

void TX11Keyboard::readKeyMap(std::bitset<256> &keys)
{
    std::array<char, kKeyCodes / 8> map{};
    if (!broken_)
        XQueryKeymap(display_, map.data());
    keys.reset();
    for (std::size_t code = 0; code < kKeyCodes; ++code) {
        if (!broken_ && (static_cast<unsigned char>(map[code / 8]) & (1u << (code % 8))))
            keys.set(code);
    }
}

const std::vector<int> &TX11Keyboard::keyCodes(int virtualKey)
{
    const auto known = keyCodes_.find(virtualKey);
    if (known != keyCodes_.end())
        return known->second;
    std::vector<int> &codes = keyCodes_[virtualKey];
    const std::vector<unsigned long> symbols = keySymbols(virtualKey);
    int minCode = 0;
    int maxCode = 0;
    XDisplayKeycodes(display_, &minCode, &maxCode);
    int perCode = 0;
    KeySym *map = symbols.empty() || broken_
                      ? nullptr
                      : XGetKeyboardMapping(display_, static_cast<KeyCode>(minCode), maxCode - minCode + 1, &perCode);
    if (!map)
        return codes;
    // Every level counts: a symbol reached with Shift still names its key.
    for (int code = minCode; code <= maxCode; ++code) {
        const KeySym *levels = map + static_cast<std::ptrdiff_t>(code - minCode) * perCode;
        if (std::any_of(levels, levels + perCode, [&](KeySym symbol) {
                return std::find(symbols.begin(), symbols.end(), symbol) != symbols.end();
            }))
            codes.push_back(code);
    }
    XFree(map);
    return codes;
}

void TX11Keyboard::takeEvent()
{
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type == MappingNotify) {
        XRefreshKeyboardMapping(&event.xmapping);
        keyCodes_.clear();
        return;
    }
    if (event.type != GenericEvent || event.xcookie.extension != xiOpcode_)
        return;
    if (!XGetEventData(display_, &event.xcookie))
        return;
    const auto *raw = static_cast<const XIRawEvent *>(event.xcookie.data);
    if (raw->detail >= 0 && raw->detail < kKeyCodes) {
        const auto code = static_cast<std::size_t>(raw->detail);
        if (event.xcookie.evtype == XI_RawKeyPress) {
            if (!down_.test(code)) {
                pressed_.set(code);
                ++presses_;
            }
            down_.set(code);
        } else if (event.xcookie.evtype == XI_RawKeyRelease) {
            down_.reset(code);
        }
    }
    XFreeEventData(display_, &event.xcookie);
}

void TX11Keyboard::readEvents()
{
    while (!broken_ && XPending(display_) > 0)
        takeEvent();
}

bool TX11Keyboard::queryAndForget(int virtualKey)
{
    // The key map's reply comes after every event the server sent before it,
    // so reading the events afterwards misses no earlier press.
    std::bitset<kKeyCodes> now;
    readKeyMap(now);
    readEvents();
    if (broken_)
        return false;
    bool result = false;
    for (const int code : keyCodes(virtualKey)) {
        const auto bit = static_cast<std::size_t>(code);
        result = result || now.test(bit) || pressed_.test(bit);
        pressed_.reset(bit);
    }
    return result;
}
