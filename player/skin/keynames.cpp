#include "keynames.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <Qt>

#include <array>
#include <utility>

namespace {

using namespace Qt::StringLiterals;

const QString kUnknownKeyPrefix = u"UNKNOWN_KEY ("_s;
const QString kUnknownKeySuffix = u")"_s;

struct NamedKey
{
    int virtualKey;
    const char16_t *name;
    int qtKey;
};

// Letters, digits and function keys follow from their ranges; these are the
// keys with a name of their own. The names follow a German keyboard layout,
// which is also why "strg" stands for the control key.
constexpr NamedKey kNamedKeys[] = {
    {8, u"backspace", Qt::Key_Backspace},
    {9, u"tab", Qt::Key_Tab},
    {13, u"return", Qt::Key_Return},
    {16, u"shift", Qt::Key_Shift},
    {17, u"strg", Qt::Key_Control},
    {18, u"alt", Qt::Key_Alt},
    {19, u"pause", Qt::Key_Pause},
    {20, u"caps lock", Qt::Key_CapsLock},
    {27, u"esc", Qt::Key_Escape},
    {32, u"space", Qt::Key_Space},
    {33, u"page up", Qt::Key_PageUp},
    {34, u"page down", Qt::Key_PageDown},
    {35, u"end", Qt::Key_End},
    {36, u"pos 1", Qt::Key_Home},
    {37, u"left", Qt::Key_Left},
    {38, u"up", Qt::Key_Up},
    {39, u"right", Qt::Key_Right},
    {40, u"down", Qt::Key_Down},
    {45, u"insert", Qt::Key_Insert},
    {46, u"remove", Qt::Key_Delete},
    {144, u"num", Qt::Key_NumLock},
    {186, u"\u00FC", Qt::Key_Udiaeresis},
    {187, u"+", Qt::Key_Plus},
    {188, u",", Qt::Key_Comma},
    {189, u"-", Qt::Key_Minus},
    {190, u".", Qt::Key_Period},
    {191, u"#", Qt::Key_NumberSign},
    {192, u"\u00F6", Qt::Key_Odiaeresis},
    {219, u"\u00DF", Qt::Key_ssharp},
    {220, u"^", Qt::Key_AsciiCircum},
    {221, u"\u00B4", Qt::Key_acute},
    {222, u"\u00E4", Qt::Key_Adiaeresis},
    {226, u"<", Qt::Key_Less},
    // The keys below have no name of their own but still their code.
    {13, nullptr, Qt::Key_Enter},
    {9, nullptr, Qt::Key_Backtab},
    {18, nullptr, Qt::Key_AltGr},
    {12, nullptr, Qt::Key_Clear},
    {44, nullptr, Qt::Key_Print},
    {93, nullptr, Qt::Key_Menu},
    {145, nullptr, Qt::Key_ScrollLock},
    {173, nullptr, Qt::Key_VolumeMute},
    {174, nullptr, Qt::Key_VolumeDown},
    {175, nullptr, Qt::Key_VolumeUp},
    {176, nullptr, Qt::Key_MediaNext},
    {177, nullptr, Qt::Key_MediaPrevious},
    {178, nullptr, Qt::Key_MediaStop},
    {179, nullptr, Qt::Key_MediaPlay},
    {179, nullptr, Qt::Key_MediaTogglePlayPause},
    {179, nullptr, Qt::Key_MediaPause},
    {180, nullptr, Qt::Key_LaunchMail},
    {181, nullptr, Qt::Key_LaunchMedia},
    {182, nullptr, Qt::Key_Launch0},
    {183, nullptr, Qt::Key_Launch1},
    {183, nullptr, Qt::Key_Calculator},
    // The punctuation keys take the code the key gives on a US or German
    // layout; both name each key by its character, and their characters
    // never claim one another's codes.
    {186, nullptr, Qt::Key_Semicolon},
    {187, nullptr, Qt::Key_Equal},
    {191, nullptr, Qt::Key_Slash},
    {192, nullptr, Qt::Key_QuoteLeft},
    {219, nullptr, Qt::Key_BracketLeft},
    {220, nullptr, Qt::Key_Backslash},
    {220, nullptr, Qt::Key_Dead_Circumflex},
    {221, nullptr, Qt::Key_BracketRight},
    {221, nullptr, Qt::Key_Dead_Acute},
    {222, nullptr, Qt::Key_Apostrophe},
};

constexpr int kFirstLetter = 65;
constexpr int kLastLetter = 90;
constexpr int kFirstDigit = 48;
constexpr int kLastDigit = 57;
constexpr int kFirstFunctionKey = 112;
constexpr int kLastFunctionKey = 123;
constexpr int kLastExtraFunctionKey = 135; // F13 to F24 follow F12

// The number pad: one code per key whether Num Lock is on or off, so that a
// hot key on the pad acts in both states.
struct PadKey
{
    int virtualKey;
    int qtKeys[2];
};

constexpr PadKey kPadKeys[] = {
    {96, {Qt::Key_0, Qt::Key_Insert}},   {97, {Qt::Key_1, Qt::Key_End}},
    {98, {Qt::Key_2, Qt::Key_Down}},     {99, {Qt::Key_3, Qt::Key_PageDown}},
    {100, {Qt::Key_4, Qt::Key_Left}},    {101, {Qt::Key_5, Qt::Key_Clear}},
    {102, {Qt::Key_6, Qt::Key_Right}},   {103, {Qt::Key_7, Qt::Key_Home}},
    {104, {Qt::Key_8, Qt::Key_Up}},      {105, {Qt::Key_9, Qt::Key_PageUp}},
    {106, {Qt::Key_Asterisk, 0}},        {107, {Qt::Key_Plus, 0}},
    {109, {Qt::Key_Minus, 0}},           {110, {Qt::Key_Period, Qt::Key_Delete}},
    {110, {Qt::Key_Comma, 0}},           {111, {Qt::Key_Slash, 0}},
    {13, {Qt::Key_Enter, 0}},
};

// X key codes of the punctuation keys, where a layout's character is none
// of those above: the key then takes the code it has on a US layout.
struct KeyPosition
{
    int x11KeyCode;
    int virtualKey;
};

constexpr KeyPosition kKeyPositions[] = {
    {49, 192}, {20, 189}, {21, 187}, {34, 219}, {35, 221}, {51, 220},
    {47, 186}, {48, 222}, {59, 188}, {60, 190}, {61, 191}, {94, 226},
};

// The X key codes of F13 to F24, which most layouts give other symbols
// (XF86Tools, XF86Launch5 and so on).
constexpr int kFirstExtraFunctionKeyCode = 191;
constexpr int kExtraFunctionKeys = 12;

} // namespace

QString keyName(int virtualKey, bool lower)
{
    if (virtualKey >= kFirstLetter && virtualKey <= kLastLetter) {
        const QChar letter(virtualKey);
        return lower ? QString(letter.toLower()) : QString(letter);
    }
    if (virtualKey >= kFirstDigit && virtualKey <= kLastDigit)
        return QString(QChar(virtualKey));
    if (virtualKey >= kFirstFunctionKey && virtualKey <= kLastFunctionKey)
        return u"F"_s + QString::number(virtualKey - (kFirstFunctionKey - 1));
    for (const NamedKey &key : kNamedKeys) {
        if (key.virtualKey == virtualKey && key.name != nullptr)
            return QString::fromUtf16(key.name);
    }
    return kUnknownKeyPrefix + QString::number(virtualKey) + kUnknownKeySuffix;
}

int virtualKeyAtX11KeyCode(int x11KeyCode)
{
    if (x11KeyCode >= kFirstExtraFunctionKeyCode && x11KeyCode < kFirstExtraFunctionKeyCode + kExtraFunctionKeys)
        return kLastFunctionKey + 1 + (x11KeyCode - kFirstExtraFunctionKeyCode);
    for (const KeyPosition &position : kKeyPositions) {
        if (position.x11KeyCode == x11KeyCode)
            return position.virtualKey;
    }
    return 0;
}

int virtualKeyFromQtKey(int qtKey, Qt::KeyboardModifiers modifiers, int x11KeyCode)
{
    if (modifiers & Qt::KeypadModifier) {
        for (const PadKey &key : kPadKeys) {
            if (key.qtKeys[0] == qtKey || key.qtKeys[1] == qtKey)
                return key.virtualKey;
        }
    }
    // Qt's letter and digit keys carry the same numbers as the virtual keys.
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return qtKey;
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return kFirstFunctionKey + (qtKey - Qt::Key_F1);
    for (const NamedKey &key : kNamedKeys) {
        if (key.qtKey == qtKey)
            return key.virtualKey;
    }
    return virtualKeyAtX11KeyCode(x11KeyCode);
}

int virtualKeyOf(const QKeyEvent &event)
{
    // Both desktops hand over the key code of the X keyboard extension.
    const QString platform = QGuiApplication::platformName();
    const bool xkb = platform == u"xcb"_s || platform.startsWith(u"wayland"_s);
    return virtualKeyFromQtKey(event.key(), event.modifiers(), xkb ? static_cast<int>(event.nativeScanCode()) : 0);
}

int qtKeyFromVirtualKey(int virtualKey)
{
    if (virtualKey >= kFirstLetter && virtualKey <= kLastLetter)
        return virtualKey;
    if (virtualKey >= kFirstDigit && virtualKey <= kLastDigit)
        return virtualKey;
    if (virtualKey >= kFirstFunctionKey && virtualKey <= kLastExtraFunctionKey)
        return Qt::Key_F1 + (virtualKey - kFirstFunctionKey);
    // The first entry of a virtual key is its main Qt key.
    for (const NamedKey &key : kNamedKeys) {
        if (key.virtualKey == virtualKey)
            return key.qtKey;
    }
    return 0;
}
