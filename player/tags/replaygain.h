#pragma once

// Loudness levelling values of one music file, read when the file is opened
// for playing, and the scale factor they ask for.

#include <optional>
#include <string>

struct ReplayGainValues
{
    // Gains in dB towards the common reference level; peaks as linear sample
    // values (1.0 = full scale). Whatever the file does not state, or states
    // as nonsense, is empty.
    std::optional<double> trackGain;
    std::optional<double> albumGain;
    std::optional<double> trackPeak;
    std::optional<double> albumPeak;

    bool operator==(const ReplayGainValues &) const = default;
};

// Reads the values of `path`; `extension` (lower case, with its dot) names
// the format, since an extracted archive member lies in a scratch file of
// another name. A file that cannot be read, or a format without such values,
// gives no values.
ReplayGainValues readReplayGain(const std::string &path, const std::string &extension);

// The factor for the decoded samples: the album values when asked for and
// present, else the track values; no gain means 1. A known peak lowers the
// factor so the loudest sample does not clip.
double replayGainFactor(const ReplayGainValues &values, bool album);

// The value texts as they are stored: a gain such as "-6.50 dB", a peak
// such as "0.988", an Opus gain as a Q7.8 integer relative to -23 LUFS.
std::optional<double> parseGain(const std::string &text);
std::optional<double> parsePeak(const std::string &text);
std::optional<double> parseR128Gain(const std::string &text);
