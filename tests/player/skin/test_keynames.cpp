#include "keynames.h"

#include <gtest/gtest.h>

#include <QString>

#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Every named key of the table, with its name.
const std::vector<std::pair<int, QString>> &namedKeys()
{
    static const std::vector<std::pair<int, QString>> keys{
        {8, u"backspace"_s}, {9, u"tab"_s}, {13, u"return"_s}, {16, u"shift"_s},
        {17, u"strg"_s}, {18, u"alt"_s}, {19, u"pause"_s}, {20, u"caps lock"_s},
        {27, u"esc"_s}, {32, u"space"_s}, {33, u"page up"_s}, {34, u"page down"_s},
        {35, u"end"_s}, {36, u"pos 1"_s}, {37, u"left"_s}, {38, u"up"_s},
        {39, u"right"_s}, {40, u"down"_s}, {45, u"insert"_s}, {46, u"remove"_s},
        {144, u"num"_s}, {186, QString(QChar(0x00FC))}, {187, u"+"_s}, {188, u","_s},
        {189, u"-"_s}, {190, u"."_s}, {191, u"#"_s}, {192, QString(QChar(0x00F6))},
        {219, QString(QChar(0x00DF))}, {220, u"^"_s}, {221, QString(QChar(0x00B4))},
        {222, QString(QChar(0x00E4))}, {226, u"<"_s},
    };
    return keys;
}

TEST(KeyName, NamedKeysOfTheTable)
{
    for (const auto &[code, name] : namedKeys()) {
        EXPECT_EQ(keyName(code), name) << code;
        // Lower-casing only concerns letters.
        EXPECT_EQ(keyName(code, true), name) << code;
    }
}

TEST(KeyName, LettersDigitsAndFunctionKeys)
{
    EXPECT_EQ(keyName(65), u"A"_s);
    EXPECT_EQ(keyName(65, true), u"a"_s);
    EXPECT_EQ(keyName(90), u"Z"_s);
    EXPECT_EQ(keyName(90, true), u"z"_s);
    for (int code = 65; code <= 90; ++code) {
        EXPECT_EQ(keyName(code), QString(QChar(u'A' + (code - 65))));
        EXPECT_EQ(keyName(code, true), QString(QChar(u'a' + (code - 65))));
    }
    for (int code = 48; code <= 57; ++code)
        EXPECT_EQ(keyName(code, true), QString(QChar(u'0' + (code - 48))));
    EXPECT_EQ(keyName(112), u"F1"_s);
    EXPECT_EQ(keyName(116), u"F5"_s);
    EXPECT_EQ(keyName(123), u"F12"_s);
}

TEST(KeyName, UnknownCodesAndRangeEdges)
{
    EXPECT_EQ(keyName(255), u"UNKNOWN_KEY (255)"_s);
    EXPECT_EQ(keyName(0), u"UNKNOWN_KEY (0)"_s);
    EXPECT_EQ(keyName(65535), u"UNKNOWN_KEY (65535)"_s);
    // Just outside the letter, digit and function-key ranges.
    EXPECT_EQ(keyName(64), u"UNKNOWN_KEY (64)"_s);
    EXPECT_EQ(keyName(91), u"UNKNOWN_KEY (91)"_s);
    EXPECT_EQ(keyName(47), u"UNKNOWN_KEY (47)"_s);
    EXPECT_EQ(keyName(58), u"UNKNOWN_KEY (58)"_s);
    EXPECT_EQ(keyName(111), u"UNKNOWN_KEY (111)"_s);
    EXPECT_EQ(keyName(124), u"UNKNOWN_KEY (124)"_s);
    EXPECT_EQ(keyName(41), u"UNKNOWN_KEY (41)"_s);
}

TEST(KeyMapping, QtKeysReachTheVirtualKeys)
{
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_A), 65);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_Z), 90);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_0), 48);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_9), 57);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_F1), 112);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_F12), 123);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_Left), 37);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_Up), 38);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_Right), 39);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_Down), 40);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_Control), 17);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_Home), 36);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_Delete), 46);
    // The keypad's enter is the same key to a hot key as return.
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_Enter), 13);
    EXPECT_EQ(virtualKeyFromQtKey(Qt::Key_unknown), 0);
    EXPECT_EQ(virtualKeyFromQtKey(0), 0);
}

TEST(KeyMapping, EveryKeyGetsTheCodeItsKeyboardGivesIt)
{
    const Qt::KeyboardModifiers pad = Qt::KeypadModifier;
    // What the real keys on an X server do not show: the pad with Num Lock
    // on and off, and a key with neither a known character nor a known place.
    const struct
    {
        int qtKey;
        Qt::KeyboardModifiers modifiers;
        int x11KeyCode;
        int code;
    } rows[] = {
        {Qt::Key_0, pad, 0, 96},        {Qt::Key_Insert, pad, 0, 96},  {Qt::Key_Home, pad, 0, 103},
        {Qt::Key_Home, {}, 0, 36},      {Qt::Key_Delete, pad, 0, 110}, {Qt::Key_Comma, pad, 0, 110},
        {Qt::Key_Enter, pad, 0, 13},    {Qt::Key_Tools, {}, 191, 124}, {Qt::Key_Ugrave, {}, 48, 222},
        {Qt::Key_Ugrave, {}, 0, 0},     {Qt::Key_Ugrave, {}, 10, 0},   {Qt::Key_MediaPlay, {}, 0, 179},
    };
    for (const auto &row : rows)
        EXPECT_EQ(virtualKeyFromQtKey(row.qtKey, row.modifiers, row.x11KeyCode), row.code)
            << std::hex << row.qtKey << std::dec << " at " << row.x11KeyCode;
}

TEST(KeyMapping, EveryNamedKeyMapsBothWays)
{
    std::vector<int> codes;
    for (int c = 65; c <= 90; ++c)
        codes.push_back(c);
    for (int c = 48; c <= 57; ++c)
        codes.push_back(c);
    for (int c = 112; c <= 123; ++c)
        codes.push_back(c);
    for (const auto &entry : namedKeys())
        codes.push_back(entry.first);
    for (const int code : codes) {
        const int qtKey = qtKeyFromVirtualKey(code);
        EXPECT_NE(qtKey, 0) << code;
        EXPECT_EQ(virtualKeyFromQtKey(qtKey), code) << code;
    }
    EXPECT_EQ(qtKeyFromVirtualKey(255), 0);
    EXPECT_EQ(qtKeyFromVirtualKey(0), 0);
    EXPECT_EQ(qtKeyFromVirtualKey(116), int(Qt::Key_F5));
}

} // namespace
