#include "replaygain.h"

#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace {

// Beyond this a gain is no levelling but a broken tag.
constexpr double kMaxGainDb = 51.0;
// Opus gains are relative to -23 LUFS, 5 dB below the reference level.
constexpr double kR128ToReferenceDb = 5.0;
constexpr double kQ78 = 256.0;

std::string upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A decimal number, then only the unit (when one is allowed) and blanks.
std::optional<double> number(std::string_view text, std::string_view unit)
{
    text = trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || !std::isfinite(value))
        return std::nullopt;
    const std::string_view rest = trimmed(std::string_view(end, static_cast<std::size_t>(text.data() + text.size() - end)));
    if (!rest.empty() && upper(std::string(rest)) != unit)
        return std::nullopt;
    return value;
}

std::optional<double> inGainRange(std::optional<double> gain)
{
    if (gain && std::abs(*gain) <= kMaxGainDb)
        return gain;
    return std::nullopt;
}

// Gathers the values from key/value pairs of any tag kind; the first
// usable value of a key wins.
class Collector
{
public:
    explicit Collector(bool r128)
        : r128_(r128)
    {
    }

    void add(const std::string &key, const std::string &value)
    {
        const std::string k = upper(key);
        if (k == "REPLAYGAIN_TRACK_GAIN")
            take(v_.trackGain, parseGain(value));
        else if (k == "REPLAYGAIN_ALBUM_GAIN")
            take(v_.albumGain, parseGain(value));
        else if (k == "REPLAYGAIN_TRACK_PEAK")
            take(v_.trackPeak, parsePeak(value));
        else if (k == "REPLAYGAIN_ALBUM_PEAK")
            take(v_.albumPeak, parsePeak(value));
        else if (r128_ && k == "R128_TRACK_GAIN")
            take(r128Track_, parseR128Gain(value));
        else if (r128_ && k == "R128_ALBUM_GAIN")
            take(r128Album_, parseR128Gain(value));
    }

    void add(const TagLib::String &key, const TagLib::String &value)
    {
        add(key.to8Bit(true), value.to8Bit(true));
    }

    void addXiph(const TagLib::Ogg::XiphComment *comment)
    {
        if (!comment)
            return;
        for (const auto &[key, values] : comment->fieldListMap())
            if (!values.isEmpty())
                add(key, values.front());
    }

    void addApe(const TagLib::APE::Tag *tag)
    {
        if (!tag)
            return;
        for (const auto &[key, item] : tag->itemListMap())
            add(key, item.toString());
    }

    void addId3v2(const TagLib::ID3v2::Tag *tag)
    {
        if (!tag)
            return;
        for (const auto *frame : tag->frameList("TXXX")) {
            const auto *text = dynamic_cast<const TagLib::ID3v2::UserTextIdentificationFrame *>(frame);
            // The first field is the description itself.
            if (text && text->fieldList().size() > 1)
                add(text->description(), text->fieldList()[1]);
        }
    }

    ReplayGainValues values() const
    {
        ReplayGainValues v = v_;
        // In Opus only the R128 values count: the decoder has applied the
        // header's output gain, which the R128 values are written against.
        if (r128_) {
            v.trackGain = r128Track_;
            v.albumGain = r128Album_;
        }
        return v;
    }

private:
    static void take(std::optional<double> &slot, std::optional<double> value)
    {
        if (!slot)
            slot = value;
    }

    const bool r128_;
    ReplayGainValues v_;
    std::optional<double> r128Track_;
    std::optional<double> r128Album_;
};

void addMp4(Collector &c, const TagLib::MP4::Tag *tag)
{
    if (!tag)
        return;
    static const std::string prefix = "----:COM.APPLE.ITUNES:";
    for (const auto &[key, item] : tag->itemMap()) {
        const std::string k = upper(key.to8Bit(true));
        const TagLib::StringList values = item.toStringList();
        if (k.starts_with(prefix) && !values.isEmpty())
            c.add(k.substr(prefix.size()), values.front().to8Bit(true));
    }
}

void addAsf(Collector &c, const TagLib::ASF::Tag *tag)
{
    if (!tag)
        return;
    for (const auto &[key, attributes] : tag->attributeListMap())
        if (!attributes.isEmpty())
            c.add(key, attributes.front().toString());
}

} // namespace

std::optional<double> parseGain(const std::string &text)
{
    return inGainRange(number(text, "DB"));
}

std::optional<double> parsePeak(const std::string &text)
{
    const auto peak = number(text, {});
    if (peak && *peak > 0.0)
        return peak;
    return std::nullopt;
}

std::optional<double> parseR128Gain(const std::string &text)
{
    const std::string_view t = trimmed(text);
    int q = 0;
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), q);
    if (error != std::errc() || end != t.data() + t.size() || q < -32768 || q > 32767)
        return std::nullopt;
    return inGainRange(q / kQ78 + kR128ToReferenceDb);
}

ReplayGainValues readReplayGain(const std::string &path, const std::string &extension)
{
    const char *name = path.c_str();
    const std::string ext = upper(extension);
    if (ext == ".MP3" || ext == ".MP2" || ext == ".MP1") {
        TagLib::MPEG::File file(name, false);
        Collector c(false);
        if (file.isValid()) {
            c.addId3v2(file.hasID3v2Tag() ? file.ID3v2Tag() : nullptr);
            c.addApe(file.hasAPETag() ? file.APETag() : nullptr);
        }
        return c.values();
    }
    if (ext == ".OGG" || ext == ".OGA" || ext == ".OPUS") {
        // ".ogg" may hold Opus too; each reader refuses the other's stream.
        if (ext != ".OPUS") {
            TagLib::Ogg::Vorbis::File vorbis(name, false);
            if (vorbis.isValid()) {
                Collector c(false);
                c.addXiph(vorbis.tag());
                return c.values();
            }
        }
        TagLib::Ogg::Opus::File opus(name, false);
        Collector c(true);
        if (opus.isValid())
            c.addXiph(opus.tag());
        return c.values();
    }
    Collector c(false);
    if (ext == ".FLAC") {
        TagLib::FLAC::File file(name, false);
        if (file.isValid())
            c.addXiph(file.xiphComment(false));
    } else if (ext == ".M4A" || ext == ".MP4" || ext == ".M4B" || ext == ".AAC") {
        TagLib::MP4::File file(name, false);
        if (file.isValid())
            addMp4(c, file.tag());
    } else if (ext == ".WMA" || ext == ".ASF") {
        TagLib::ASF::File file(name, false);
        if (file.isValid())
            addAsf(c, file.tag());
    } else if (ext == ".WAV") {
        TagLib::RIFF::WAV::File file(name, false);
        if (file.isValid() && file.hasID3v2Tag())
            c.addId3v2(file.ID3v2Tag());
    }
    return c.values();
}

double replayGainFactor(const ReplayGainValues &values, bool album)
{
    const bool useAlbum = album && values.albumGain.has_value();
    const std::optional<double> gain = useAlbum ? values.albumGain : values.trackGain;
    const std::optional<double> peak = useAlbum ? values.albumPeak : values.trackPeak;
    if (!gain)
        return 1.0;
    double factor = std::pow(10.0, *gain / 20.0);
    if (peak && *peak * factor > 1.0)
        factor = 1.0 / *peak;
    return factor;
}
