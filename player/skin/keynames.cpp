#include "keynames.h"

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
    // Keys without a name of their own in the table but with a Qt key that
    // should still reach the same virtual key.
    {13, nullptr, Qt::Key_Enter},
    {9, nullptr, Qt::Key_Backtab},
    {18, nullptr, Qt::Key_AltGr},
};

constexpr int kFirstLetter = 65;
constexpr int kLastLetter = 90;
constexpr int kFirstDigit = 48;
constexpr int kLastDigit = 57;
constexpr int kFirstFunctionKey = 112;
constexpr int kLastFunctionKey = 123;

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

int virtualKeyFromQtKey(int qtKey)
{
    // Qt's letter and digit keys carry the same numbers as the virtual keys.
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return qtKey;
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return qtKey;
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return kFirstFunctionKey + (qtKey - Qt::Key_F1);
    for (const NamedKey &key : kNamedKeys) {
        if (key.qtKey == qtKey)
            return key.virtualKey;
    }
    return 0;
}

int qtKeyFromVirtualKey(int virtualKey)
{
    if (virtualKey >= kFirstLetter && virtualKey <= kLastLetter)
        return virtualKey;
    if (virtualKey >= kFirstDigit && virtualKey <= kLastDigit)
        return virtualKey;
    if (virtualKey >= kFirstFunctionKey && virtualKey <= kLastFunctionKey)
        return Qt::Key_F1 + (virtualKey - kFirstFunctionKey);
    // The first entry of a virtual key is its main Qt key.
    for (const NamedKey &key : kNamedKeys) {
        if (key.virtualKey == virtualKey)
            return key.qtKey;
    }
    return 0;
}
