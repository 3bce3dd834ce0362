#include "skinsettings.h"

#include "colorstrings.h"

#include <optional>

using namespace Qt::StringLiterals;

const QString kSkinSettingsFileName = u"skin.azo"_s;
const QString kSkinPictureFileName = u"skin.bmp"_s;
const QString kNotSetFileType = u"melodeck_not_set"_s;

namespace {

namespace Line = SkinLine;

constexpr int kMaxVirtualKey = 65535;
constexpr int kMaxBand = 30;
constexpr int kFlatBand = 15;

const QString kOn = u"1"_s;
const QString kOff = u"0"_s;

// Reads the settings lines; every failed line is counted so the caller can
// tell the user once.
class LineReader
{
public:
    explicit LineReader(const QStringList &lines)
        : lines_(lines)
    {
    }

    bool allUsable() const { return usable_; }

    std::optional<QString> text(int index)
    {
        if (index < lines_.size())
            return lines_.at(index);
        usable_ = false;
        return std::nullopt;
    }

    void flag(int index, bool &out)
    {
        if (const auto t = text(index))
            out = *t == kOn;
    }

    void integer(int index, int low, int high, int &out)
    {
        const auto t = text(index);
        if (!t)
            return;
        bool ok = false;
        // Leading blanks are tolerated the way the number reader always did;
        // anything after the digits is not.
        const int value = QStringView(*t).trimmed().toInt(&ok, 10);
        if (ok && !t->back().isSpace() && value >= low && value <= high)
            out = value;
        else
            usable_ = false;
    }

    void color(int index, quint32 &out)
    {
        const auto t = text(index);
        if (!t)
            return;
        bool ok = false;
        const quint32 value = colorFromString(*t, &ok);
        if (ok)
            out = value;
        else
            usable_ = false;
    }

private:
    const QStringList &lines_;
    bool usable_ = true;
};

ReplayGainMode replayGainModeFromText(const QString &text)
{
    if (text == u"1"_s)
        return ReplayGainMode::Track;
    if (text == u"2"_s)
        return ReplayGainMode::Album;
    return ReplayGainMode::Off;
}

QString flagText(bool on)
{
    return on ? kOn : kOff;
}

} // namespace

TSkinSettings TSkinSettings::defaults()
{
    TSkinSettings s;
    s.barColor = 0xC0C0C0;     // clSilver
    s.fontColor = 0xFFFFFF;    // clWhite
    s.showGridHints = true;
    // Page down / page up / pause / end / "-" / "+": harmless keys, and the
    // hot keys start switched off anyway.
    s.hotKeys = {34, 33, 19, 35, 189, 187};
    s.hotKeysOn = false;
    s.previousFileTypes.fill(kNotSetFileType);
    s.checkDefaultPlayer = false;
    s.equalizer.fill(kFlatBand);
    s.equalizerOn = false;
    s.spectrumColor = 0xFFFF00; // clAqua
    s.spectrumOn = true;
    return s;
}

TSkinSettings TSkinSettings::fromLines(const QStringList &lines, bool *ok)
{
    TSkinSettings s = defaults();
    LineReader r(lines);
    r.color(Line::BarColor, s.barColor);
    r.color(Line::FontColor, s.fontColor);
    r.flag(Line::ShowGridHints, s.showGridHints);
    for (int i = 0; i < kHotKeyCount; ++i)
        r.integer(Line::FirstHotKey + i, 0, kMaxVirtualKey, s.hotKeys[static_cast<std::size_t>(i)]);
    r.flag(Line::HotKeysOn, s.hotKeysOn);
    for (int i = 0; i < kPreviousFileTypeCount; ++i) {
        if (const auto t = r.text(Line::FirstFileType + i))
            s.previousFileTypes[static_cast<std::size_t>(i)] = *t;
    }
    r.flag(Line::CheckDefaultPlayer, s.checkDefaultPlayer);
    for (int i = 0; i < kEqualizerBandCount; ++i)
        r.integer(Line::FirstBand + i, 0, kMaxBand, s.equalizer[static_cast<std::size_t>(i)]);
    r.flag(Line::EqualizerOn, s.equalizerOn);
    r.color(Line::SpectrumColor, s.spectrumColor);
    r.flag(Line::SpectrumOn, s.spectrumOn);
    // Newer than the rest: missing or unknown text is off, not damage.
    if (Line::ReplayGain < lines.size())
        s.replayGain = replayGainModeFromText(lines.at(Line::ReplayGain));
    if (ok != nullptr)
        *ok = r.allUsable();
    return s;
}

QStringList TSkinSettings::toLines() const
{
    QStringList lines;
    lines.reserve(kSkinSettingsLineCount);
    lines << colorToString(barColor) << colorToString(fontColor) << flagText(showGridHints);
    for (const int key : hotKeys)
        lines << QString::number(key);
    lines << flagText(hotKeysOn);
    for (const QString &type : previousFileTypes)
        lines << type;
    lines << flagText(checkDefaultPlayer);
    for (const int band : equalizer)
        lines << QString::number(band);
    lines << flagText(equalizerOn) << colorToString(spectrumColor) << flagText(spectrumOn)
          << QString::number(static_cast<int>(replayGain));
    return lines;
}
