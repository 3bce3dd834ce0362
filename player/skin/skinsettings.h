#pragma once

// The lines of "skin.azo": colours, switches, hot keys, the file types
// taken over from other programs, the equalizer, the spectrum and, last,
// the loudness levelling mode.

#include <QString>
#include <QStringList>

#include <array>

// The 26 original lines and the levelling mode after them; a file of 26
// lines is as good as ever and plays with levelling off.
constexpr int kSkinSettingsLineCount = 27;
constexpr int kHotKeyCount = 6;
constexpr int kEqualizerBandCount = 7;
constexpr int kPreviousFileTypeCount = 5;

// Indexes of the hot keys in TSkinSettings::hotKeys.
namespace HotKey {
constexpr int Next = 0;
constexpr int Previous = 1;
constexpr int PlayPause = 2;
constexpr int Stop = 3;
constexpr int VolumeDown = 4;
constexpr int VolumeUp = 5;
} // namespace HotKey

// Where each setting stands in the file.
namespace SkinLine {
constexpr int BarColor = 0;
constexpr int FontColor = 1;
constexpr int ShowGridHints = 2;
constexpr int FirstHotKey = 3;
constexpr int HotKeysOn = 9;
constexpr int FirstFileType = 10;
constexpr int CheckDefaultPlayer = 15;
constexpr int FirstBand = 16;
constexpr int EqualizerOn = 23;
constexpr int SpectrumColor = 24;
constexpr int SpectrumOn = 25;
constexpr int ReplayGain = 26;
} // namespace SkinLine

// The file name of the skin settings and of the skin picture in programDir().
extern const QString kSkinSettingsFileName; // "skin.azo"
extern const QString kSkinPictureFileName;  // "skin.bmp"
// The text that marks a file type with nothing to restore.
extern const QString kNotSetFileType;       // "melodeck_not_set"

// How songs are levelled by their stored loudness values, as line 26 holds it.
enum class ReplayGainMode { Off = 0, Track = 1, Album = 2 };

struct TSkinSettings
{
    quint32 barColor = 0;
    quint32 fontColor = 0;
    bool showGridHints = false;
    std::array<int, kHotKeyCount> hotKeys{};
    bool hotKeysOn = false;
    std::array<QString, kPreviousFileTypeCount> previousFileTypes;
    bool checkDefaultPlayer = false;
    std::array<int, kEqualizerBandCount> equalizer{};
    bool equalizerOn = false;
    quint32 spectrumColor = 0;
    bool spectrumOn = false;
    ReplayGainMode replayGain = ReplayGainMode::Off;

    // The settings the program ships with (the same as the shipped file).
    static TSkinSettings defaults();
    // Decodes the lines. A flag is on only for the exact text "1". A missing
    // line, or a number or colour line that does not convert, keeps its
    // default; *ok then tells that something was unusable.
    static TSkinSettings fromLines(const QStringList &lines, bool *ok = nullptr);
    // The 26 lines in file order; flags as "1" or "0", colours as strings.
    QStringList toLines() const;

    // Reads a stored settings file. False when the file is missing, damaged
    // or has unusable lines; `out` then holds what could be read, with
    // defaults for the rest.
    static bool loadFromFile(const QString &fileName, TSkinSettings &out);
    bool saveToFile(const QString &fileName) const;

    bool operator==(const TSkinSettings &other) const = default;
};
