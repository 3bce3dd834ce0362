#include "colorstrings.h"
#include "skintestapp.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPalette>

#include <random>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const std::vector<std::pair<QString, quint32>> &namedColors()
{
    static const std::vector<std::pair<QString, quint32>> colors{
        {u"clBlack"_s, 0x000000}, {u"clMaroon"_s, 0x000080}, {u"clGreen"_s, 0x008000},
        {u"clOlive"_s, 0x008080}, {u"clNavy"_s, 0x800000}, {u"clPurple"_s, 0x800080},
        {u"clTeal"_s, 0x808000}, {u"clGray"_s, 0x808080}, {u"clSilver"_s, 0xC0C0C0},
        {u"clRed"_s, 0x0000FF}, {u"clLime"_s, 0x00FF00}, {u"clYellow"_s, 0x00FFFF},
        {u"clBlue"_s, 0xFF0000}, {u"clFuchsia"_s, 0xFF00FF}, {u"clAqua"_s, 0xFFFF00},
        {u"clWhite"_s, 0xFFFFFF}, {u"clMoneyGreen"_s, 0xC0DCC0}, {u"clSkyBlue"_s, 0xF0CAA6},
        {u"clCream"_s, 0xF0FBFF}, {u"clMedGray"_s, 0xA4A0A0},
        {u"clScrollBar"_s, 0xFF000000}, {u"clBackground"_s, 0xFF000001},
        {u"clActiveCaption"_s, 0xFF000002}, {u"clInactiveCaption"_s, 0xFF000003},
        {u"clMenu"_s, 0xFF000004}, {u"clWindow"_s, 0xFF000005},
        {u"clWindowFrame"_s, 0xFF000006}, {u"clMenuText"_s, 0xFF000007},
        {u"clWindowText"_s, 0xFF000008}, {u"clCaptionText"_s, 0xFF000009},
        {u"clActiveBorder"_s, 0xFF00000A}, {u"clInactiveBorder"_s, 0xFF00000B},
        {u"clAppWorkSpace"_s, 0xFF00000C}, {u"clHighlight"_s, 0xFF00000D},
        {u"clHighlightText"_s, 0xFF00000E}, {u"clBtnFace"_s, 0xFF00000F},
        {u"clBtnShadow"_s, 0xFF000010}, {u"clGrayText"_s, 0xFF000011},
        {u"clBtnText"_s, 0xFF000012}, {u"clInactiveCaptionText"_s, 0xFF000013},
        {u"clBtnHighlight"_s, 0xFF000014}, {u"cl3DDkShadow"_s, 0xFF000015},
        {u"cl3DLight"_s, 0xFF000016}, {u"clInfoText"_s, 0xFF000017},
        {u"clInfoBk"_s, 0xFF000018}, {u"clHotLight"_s, 0xFF00001A},
        {u"clGradientActiveCaption"_s, 0xFF00001B},
        {u"clGradientInactiveCaption"_s, 0xFF00001C},
        {u"clMenuHighlight"_s, 0xFF00001D}, {u"clMenuBar"_s, 0xFF00001E},
        {u"clNone"_s, 0x1FFFFFFF}, {u"clDefault"_s, 0x20000000},
    };
    return colors;
}

quint32 read(const QString &text, bool expectOk = true)
{
    bool ok = !expectOk;
    const quint32 value = colorFromString(text, &ok);
    EXPECT_EQ(ok, expectOk) << text.toStdString();
    return value;
}

TEST(ColorStrings, EveryNameReadsAndWritesBack)
{
    for (const auto &[name, value] : namedColors()) {
        EXPECT_EQ(read(name), value) << name.toStdString();
        EXPECT_EQ(colorToString(value), name);
    }
}

TEST(ColorStrings, NamesIgnoreCaseButNotSpelling)
{
    EXPECT_EQ(read(u"CLRED"_s), 0x0000FFu);
    EXPECT_EQ(read(u"clred"_s), 0x0000FFu);
    EXPECT_EQ(read(u"ClBtnFace"_s), 0xFF00000Fu);
    read(u"red"_s, false);
    read(u"clRedd"_s, false);
    read(u"cl Red"_s, false);
}

TEST(ColorStrings, NumbersInDecimalAndDollarHex)
{
    EXPECT_EQ(read(u"$00C08040"_s), 0x00C08040u);
    EXPECT_EQ(read(u"$c08040"_s), 0x00C08040u);
    EXPECT_EQ(read(u"12632256"_s), 0xC0C0C0u);
    EXPECT_EQ(read(u"0"_s), 0u);
    EXPECT_EQ(read(u"$FFFFFFFF"_s), 0xFFFFFFFFu);
    // Negative decimals are the 32-bit pattern: this one is the button face.
    EXPECT_EQ(read(u"-16777201"_s), 0xFF00000Fu);
}

TEST(ColorStrings, DamagedTextIsRefused)
{
    for (const QString &bad : {u""_s, u"$"_s, u"$G0"_s, u"12x"_s, u"1.5"_s, u"0x10"_s,
                               u"$-5"_s, u"4294967296"_s, u"$100000000"_s, u"--3"_s}) {
        bool ok = true;
        EXPECT_EQ(colorFromString(bad, &ok), 0u) << bad.toStdString();
        EXPECT_FALSE(ok) << bad.toStdString();
    }
    // Without an ok pointer the call still just gives 0.
    EXPECT_EQ(colorFromString(u"nonsense"_s), 0u);
}

TEST(ColorStrings, UnnamedValuesAreWrittenAsEightHexDigits)
{
    EXPECT_EQ(colorToString(0x00C08040), u"$00C08040"_s);
    EXPECT_EQ(colorToString(0x1), u"$00000001"_s);
    EXPECT_EQ(colorToString(0xFF00001F), u"$FF00001F"_s);
    EXPECT_EQ(colorToString(0xFF000019), u"$FF000019"_s); // index 25 has no name
    std::mt19937 rng(4711);
    for (int i = 0; i < 500; ++i) {
        const quint32 value = rng();
        const QString text = colorToString(value);
        EXPECT_EQ(read(text), value) << text.toStdString();
    }
}

TEST(ColorStrings, NameListsOfTheEditor)
{
    EXPECT_EQ(standardColorNames().size(), 16);
    EXPECT_EQ(standardColorNames().front(), u"clBlack"_s);
    EXPECT_EQ(standardColorNames().back(), u"clWhite"_s);
    EXPECT_EQ(extendedColorNames().size(), 4);
    EXPECT_EQ(systemColorNames().size(), 30);
    for (const QString &name : standardColorNames() + extendedColorNames() + systemColorNames())
        read(name);
}

class QtColors : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ensureSkinTestApp(); }
};

TEST_F(QtColors, ValuesKeepRedInTheLowByte)
{
    EXPECT_EQ(toQColor(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(toQColor(0xFF0000), QColor(0, 0, 255));
    EXPECT_EQ(toQColor(0x00C08040), QColor(0x40, 0x80, 0xC0));
    EXPECT_EQ(toQColor(0x1FFFFFFF).alpha(), 0);
}

TEST_F(QtColors, SystemColoursFollowThePalette)
{
    const QPalette saved = QGuiApplication::palette();
    QPalette palette = saved;
    palette.setColor(QPalette::Button, QColor(1, 2, 3));
    palette.setColor(QPalette::Highlight, QColor(4, 5, 6));
    palette.setColor(QPalette::HighlightedText, QColor(7, 8, 9));
    palette.setColor(QPalette::Base, QColor(10, 11, 12));
    palette.setColor(QPalette::Text, QColor(13, 14, 15));
    palette.setColor(QPalette::ButtonText, QColor(16, 17, 18));
    palette.setColor(QPalette::ToolTipBase, QColor(19, 20, 21));
    QGuiApplication::setPalette(palette);
    EXPECT_EQ(toQColor(read(u"clBtnFace"_s)), QColor(1, 2, 3));
    EXPECT_EQ(toQColor(read(u"clHighlight"_s)), QColor(4, 5, 6));
    EXPECT_EQ(toQColor(read(u"clHighlightText"_s)), QColor(7, 8, 9));
    EXPECT_EQ(toQColor(read(u"clWindow"_s)), QColor(10, 11, 12));
    EXPECT_EQ(toQColor(read(u"clWindowText"_s)), QColor(13, 14, 15));
    EXPECT_EQ(toQColor(read(u"clBtnText"_s)), QColor(16, 17, 18));
    EXPECT_EQ(toQColor(read(u"clInfoBk"_s)), QColor(19, 20, 21));
    EXPECT_EQ(toQColor(read(u"clDefault"_s)), QColor(13, 14, 15));
    // Every system colour gives an opaque colour, also the unnamed index 25.
    for (quint32 index = 0; index <= 30; ++index)
        EXPECT_TRUE(toQColor(0xFF000000u + index).isValid()) << index;
    QGuiApplication::setPalette(saved);
}

} // namespace
