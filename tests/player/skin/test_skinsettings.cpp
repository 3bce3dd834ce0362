#include "skinsettings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

// A complete, valid list that differs from the defaults in every line.
QStringList customLines()
{
    return {u"$00C08040"_s, u"clYellow"_s, u"0"_s,
            u"65"_s, u"66"_s, u"67"_s, u"68"_s, u"69"_s, u"70"_s,
            u"1"_s,
            u"mp3file"_s, u""_s, u"wavfile"_s, u"WMAFile"_s, u"ogg.file"_s,
            u"1"_s,
            u"0"_s, u"5"_s, u"10"_s, u"15"_s, u"20"_s, u"25"_s, u"30"_s,
            u"1"_s, u"clFuchsia"_s, u"0"_s};
}

TSkinSettings decode(const QStringList &lines, bool expectOk)
{
    bool ok = !expectOk;
    const TSkinSettings s = TSkinSettings::fromLines(lines, &ok);
    EXPECT_EQ(ok, expectOk);
    return s;
}

TEST(SkinSettingsLines, AllTwentySixLinesDecode)
{
    const TSkinSettings s = decode(customLines(), true);
    EXPECT_EQ(s.barColor, 0x00C08040u);
    EXPECT_EQ(s.fontColor, 0x00FFFFu);
    EXPECT_FALSE(s.showGridHints);
    EXPECT_EQ(s.hotKeys, (std::array<int, 6>{65, 66, 67, 68, 69, 70}));
    EXPECT_TRUE(s.hotKeysOn);
    EXPECT_EQ(s.previousFileTypes[0], u"mp3file"_s);
    EXPECT_EQ(s.previousFileTypes[1], u""_s);
    EXPECT_EQ(s.previousFileTypes[4], u"ogg.file"_s);
    EXPECT_TRUE(s.checkDefaultPlayer);
    EXPECT_EQ(s.equalizer, (std::array<int, 7>{0, 5, 10, 15, 20, 25, 30}));
    EXPECT_TRUE(s.equalizerOn);
    EXPECT_EQ(s.spectrumColor, 0xFF00FFu);
    EXPECT_FALSE(s.spectrumOn);
    // Written back, the lines are the same (the colours by name or "$"),
    // with levelling off after them.
    EXPECT_EQ(s.toLines(), customLines() << u"0"_s);
}

TEST(SkinSettingsLines, OnlyTheExactTextOneSwitchesAFlagOn)
{
    for (const int line : {2, 9, 15, 23, 25}) {
        QStringList lines = customLines();
        lines[line] = u"1"_s;
        const TSkinSettings on = decode(lines, true);
        for (const QString &off : {u"1 "_s, u" 1"_s, u"true"_s, u"01"_s, u""_s, u"2"_s, u"0"_s}) {
            lines[line] = off;
            const TSkinSettings s = decode(lines, true);
            TSkinSettings expected = on;
            switch (line) {
            case 2: expected.showGridHints = false; break;
            case 9: expected.hotKeysOn = false; break;
            case 15: expected.checkDefaultPlayer = false; break;
            case 23: expected.equalizerOn = false; break;
            case 25: expected.spectrumOn = false; break;
            }
            EXPECT_EQ(s, expected) << "line " << line << " text '" << off.toStdString() << "'";
        }
    }
}

TEST(SkinSettingsLines, TheLineAfterTheTwentySixIsTheLevellingModeAndAnythingUnknownIsOff)
{
    using M = ReplayGainMode;
    for (const auto &[text, mode] : std::vector<std::pair<QString, M>>{
             {u"0"_s, M::Off}, {u"1"_s, M::Track}, {u"2"_s, M::Album}, {u"3"_s, M::Off}, {u"1 "_s, M::Off},
             {u"02"_s, M::Off}, {u"track"_s, M::Off}}) {
        const TSkinSettings s = decode(customLines() << text, true);
        EXPECT_EQ(s.replayGain, mode) << text.toStdString();
        EXPECT_EQ(s.toLines().at(SkinLine::ReplayGain), QString::number(static_cast<int>(mode)));
    }
    // An older file of 26 lines is complete and levels nothing.
    EXPECT_EQ(decode(customLines(), true).replayGain, M::Off);
}

TEST(SkinSettingsLines, PreviousFileTypesDoNotChangeTheSkin)
{
    QStringList lines = customLines();
    for (int i = 10; i <= 14; ++i)
        lines[i] = kNotSetFileType;
    TSkinSettings notSet = decode(lines, true);
    for (int i = 10; i <= 14; ++i)
        lines[i] = u"any text at all; 1"_s;
    TSkinSettings other = decode(lines, true);
    other.previousFileTypes = notSet.previousFileTypes;
    EXPECT_EQ(other, notSet);
}

TEST(SkinSettingsLines, ShortAndEmptyListsKeepTheDefaultsForMissingLines)
{
    EXPECT_EQ(decode({}, false), TSkinSettings::defaults());
    const QStringList ten = customLines().mid(0, 10);
    const TSkinSettings s = decode(ten, false);
    EXPECT_EQ(s.barColor, 0x00C08040u);
    EXPECT_TRUE(s.hotKeysOn);
    EXPECT_EQ(s.hotKeys[5], 70);
    const TSkinSettings d = TSkinSettings::defaults();
    EXPECT_EQ(s.previousFileTypes, d.previousFileTypes);
    EXPECT_EQ(s.equalizer, d.equalizer);
    EXPECT_EQ(s.spectrumOn, d.spectrumOn);
    EXPECT_EQ(s.spectrumColor, d.spectrumColor);
    // Twenty-five lines are one too few.
    decode(customLines().mid(0, 25), false);
    // Extra lines after the 26th are ignored.
    decode(customLines() + QStringList{u"extra"_s}, true);
}

TEST(SkinSettingsLines, DamagedNumbersAndColoursFallBackOneByOne)
{
    const TSkinSettings d = TSkinSettings::defaults();
    struct Case
    {
        int line;
        QString text;
    };
    const Case cases[] = {
        {0, u"no colour"_s}, {1, u""_s}, {3, u"abc"_s}, {4, u"12 "_s}, {5, u"65536"_s},
        {6, u"-1"_s}, {7, u"1.5"_s}, {16, u"31"_s}, {17, u"-1"_s}, {22, u"x"_s},
        {24, u"$zz"_s},
    };
    for (const Case &c : cases) {
        QStringList lines = customLines();
        lines[c.line] = c.text;
        const TSkinSettings s = decode(lines, false);
        TSkinSettings expected = decode(customLines(), true);
        if (c.line == 0)
            expected.barColor = d.barColor;
        else if (c.line == 1)
            expected.fontColor = d.fontColor;
        else if (c.line >= 3 && c.line <= 8)
            expected.hotKeys[std::size_t(c.line - 3)] = d.hotKeys[std::size_t(c.line - 3)];
        else if (c.line >= 16 && c.line <= 22)
            expected.equalizer[std::size_t(c.line - 16)] = d.equalizer[std::size_t(c.line - 16)];
        else if (c.line == 24)
            expected.spectrumColor = d.spectrumColor;
        // Everything else of the file still applies.
        EXPECT_EQ(s, expected) << "line " << c.line;
    }
}

TEST(SkinSettingsLines, NumberLimits)
{
    QStringList lines = customLines();
    lines[3] = u"65535"_s;
    lines[4] = u"0"_s;
    lines[16] = u"30"_s;
    lines[17] = u"0"_s;
    lines[18] = u"  7"_s; // leading blanks are tolerated
    const TSkinSettings s = decode(lines, true);
    EXPECT_EQ(s.hotKeys[0], 65535);
    EXPECT_EQ(s.hotKeys[1], 0);
    EXPECT_EQ(s.equalizer[0], 30);
    EXPECT_EQ(s.equalizer[1], 0);
    EXPECT_EQ(s.equalizer[2], 7);
}

TEST(SkinSettingsLines, DefaultsRoundTrip)
{
    const TSkinSettings d = TSkinSettings::defaults();
    const QStringList lines = d.toLines();
    EXPECT_EQ(lines.size(), kSkinSettingsLineCount);
    EXPECT_EQ(decode(lines, true), d);
    for (int i = 10; i <= 14; ++i)
        EXPECT_EQ(lines[i], kNotSetFileType);
}

TEST(SkinSettingsFile, SavedSettingsLoadBack)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(kSkinSettingsFileName);
    const TSkinSettings custom = decode(customLines(), true);
    ASSERT_TRUE(custom.saveToFile(path));
    EXPECT_GT(QFile(path).size(), 0);
    TSkinSettings loaded;
    EXPECT_TRUE(TSkinSettings::loadFromFile(path, loaded));
    EXPECT_EQ(loaded, custom);
}

TEST(SkinSettingsFile, MissingOrDamagedFilesAreReported)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TSkinSettings loaded = decode(customLines(), true);
    EXPECT_FALSE(TSkinSettings::loadFromFile(dir.filePath(u"nothing.azo"_s), loaded));
    EXPECT_EQ(loaded, TSkinSettings::defaults());

    const QString junk = dir.filePath(u"junk.azo"_s);
    QFile file(junk);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    static const char damaged[] = "AZ\x05\x00\x00\x00garbage that is no container";
    file.write(damaged, sizeof damaged - 1);
    file.close();
    EXPECT_FALSE(TSkinSettings::loadFromFile(junk, loaded));
    EXPECT_EQ(loaded, TSkinSettings::defaults());
}

} // namespace
