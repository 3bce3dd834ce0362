#include "keystate_x11.h"

#include "keynames.h"

// The X headers define macros such as None and Bool; they come last.
#include <X11/XF86keysym.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

#include <algorithm>
#include <array>

namespace {

// Virtual keys with a key symbol of their own. A punctuation key takes the
// code it gives on a US or a German layout (the key names follow the German
// one); their characters never claim one another's codes.
struct SymbolKey
{
    int virtualKey;
    std::array<unsigned long, 3> symbols; // 0: no further symbol
};

constexpr SymbolKey kSymbolKeys[] = {
    {8, {XK_BackSpace}},
    {9, {XK_Tab, XK_ISO_Left_Tab}},
    {12, {XK_Clear}},
    {13, {XK_Return, XK_KP_Enter}},
    {16, {XK_Shift_L, XK_Shift_R}},
    {17, {XK_Control_L, XK_Control_R}},
    {18, {XK_Alt_L, XK_Alt_R}},
    {19, {XK_Pause}},
    {20, {XK_Caps_Lock}},
    {27, {XK_Escape}},
    {32, {XK_space}},
    {33, {XK_Prior}},
    {34, {XK_Next}},
    {35, {XK_End}},
    {36, {XK_Home}},
    {37, {XK_Left}},
    {38, {XK_Up}},
    {39, {XK_Right}},
    {40, {XK_Down}},
    {44, {XK_Print}},
    {45, {XK_Insert}},
    {46, {XK_Delete}},
    {93, {XK_Menu}},
    {106, {XK_KP_Multiply}},
    {107, {XK_KP_Add}},
    {109, {XK_KP_Subtract}},
    {110, {XK_KP_Decimal, XK_KP_Separator}},
    {111, {XK_KP_Divide}},
    {144, {XK_Num_Lock}},
    {145, {XK_Scroll_Lock}},
    {160, {XK_Shift_L}},
    {161, {XK_Shift_R}},
    {162, {XK_Control_L}},
    {163, {XK_Control_R}},
    {164, {XK_Alt_L}},
    {165, {XK_Alt_R, XK_ISO_Level3_Shift}},
    {173, {XF86XK_AudioMute}},
    {174, {XF86XK_AudioLowerVolume}},
    {175, {XF86XK_AudioRaiseVolume}},
    {176, {XF86XK_AudioNext}},
    {177, {XF86XK_AudioPrev}},
    {178, {XF86XK_AudioStop}},
    {179, {XF86XK_AudioPlay, XF86XK_AudioPause}},
    {180, {XF86XK_Mail}},
    {181, {XF86XK_AudioMedia}},
    {182, {XF86XK_MyComputer}},
    {183, {XF86XK_Calculator}},
    {186, {XK_udiaeresis, XK_semicolon}},
    {187, {XK_plus, XK_equal}},
    {188, {XK_comma}},
    {189, {XK_minus}},
    {190, {XK_period}},
    {191, {XK_numbersign, XK_slash}},
    {192, {XK_odiaeresis, XK_grave}},
    {219, {XK_ssharp, XK_bracketleft}},
    {220, {XK_asciicircum, XK_dead_circumflex, XK_backslash}},
    {221, {XK_acute, XK_dead_acute, XK_bracketright}},
    {222, {XK_adiaeresis, XK_apostrophe}},
    {226, {XK_less}},
};

// A punctuation key counts by its unshifted symbol only: "+" is the shifted
// "=" of a US layout and "/" the shifted "7" of a German one.
bool punctuationKey(int virtualKey)
{
    return (virtualKey >= 186 && virtualKey <= 192) || (virtualKey >= 219 && virtualKey <= 223) || virtualKey == 226;
}

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

// Whether any code stands for the symbol.
bool symbolHasCode(unsigned long symbol)
{
    const bool inRange = std::any_of(std::begin(kSymbolRanges), std::end(kSymbolRanges), [symbol](const SymbolRange &r) {
        return symbol >= r.firstSymbol && symbol <= r.firstSymbol + static_cast<unsigned long>(r.lastKey - r.firstKey);
    });
    return inRange || std::any_of(std::begin(kSymbolKeys), std::end(kSymbolKeys), [symbol](const SymbolKey &key) {
               return std::find(key.symbols.begin(), key.symbols.end(), symbol) != key.symbols.end();
           });
}

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

bool TX11Keyboard::keyGives(int virtualKey, const std::vector<unsigned long> &symbols, int keyCode,
                            const unsigned long *levels, int levelCount)
{
    const auto named = [&symbols](unsigned long symbol) {
        return std::find(symbols.begin(), symbols.end(), symbol) != symbols.end();
    };
    if (levelCount < 1)
        return false;
    // Every level counts, so that a digit reached with Shift or the pad's
    // digit behind its Num Lock still names its key; but punctuation counts
    // by its unshifted symbol alone.
    if (punctuationKey(virtualKey) ? named(levels[0]) : std::any_of(levels, levels + levelCount, named))
        return true;
    // A symbol without a code here (a character of another layout, or
    // XF86Tools where F13 is) keeps the code of the key's place.
    return levels[0] != NoSymbol && !symbolHasCode(levels[0]) && virtualKeyAtX11KeyCode(keyCode) == virtualKey;
}

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
    for (int code = minCode; code <= maxCode; ++code) {
        const KeySym *levels = map + static_cast<std::ptrdiff_t>(code - minCode) * perCode;
        if (keyGives(virtualKey, symbols, code, levels, perCode))
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
    return query(virtualKey, true);
}

bool TX11Keyboard::peek(int virtualKey)
{
    return query(virtualKey, false);
}

bool TX11Keyboard::query(int virtualKey, bool forget)
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
        if (forget)
            pressed_.reset(bit);
    }
    return result;
}
