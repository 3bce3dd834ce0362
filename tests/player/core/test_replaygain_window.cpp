// Loudness levelling heard through the main window: pairs of songs 12 dB apart,
// tagged in each tag kind, played into the disk output and measured there.

#include "tabcontrol.h"
#include "test_play_support.h"

#include <taglib/apetag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>

#include <complex>
#include <cstring>
#include <numbers>

using namespace Qt::StringLiterals;

namespace {

using Tags = std::vector<std::pair<QString, QString>>;
// ffmpeg writes the tags, or TagLib for the kinds ffmpeg does not write.
enum class Writer { Ffmpeg, Ape, Mp4 };
using Mode = ReplayGainMode;

// The loud song is at half of full scale, the quiet one 12 dB below it.
struct Case { const char *name; QString extension; Writer writer; Mode mode; Tags loud, quiet; double quietMinusLoud; };

const QString kTrack = u"REPLAYGAIN_TRACK_GAIN"_s;
const QString kAlbum = u"REPLAYGAIN_ALBUM_GAIN"_s;
const Tags kLoud{{kTrack, u"-6.00 dB"_s}};
const Tags kQuiet{{u"replaygain_track_gain"_s, u"+6.00 dB"_s}};

const std::vector<Case> kCases{
    {"id3v2 txxx", u".mp3"_s, Writer::Ffmpeg, Mode::Track, kLoud, kQuiet, 0},
    {"levelling off", u".mp3"_s, Writer::Ffmpeg, Mode::Off, kLoud, kQuiet, -12},
    {"ape items", u".mp3"_s, Writer::Ape, Mode::Track, kLoud, kQuiet, 0},
    {"vorbis comments", u".ogg"_s, Writer::Ffmpeg, Mode::Track, kLoud, kQuiet, 0},
    {"flac comments", u".flac"_s, Writer::Ffmpeg, Mode::Track, kLoud, kQuiet, 0},
    {"itunes atoms", u".m4a"_s, Writer::Mp4, Mode::Track, kLoud, kQuiet, 0},
    // Q7.8 against -23 LUFS: -11 and +1 dB there are -6 and +6 here.
    {"opus r128", u".opus"_s, Writer::Ffmpeg, Mode::Track, {{u"R128_TRACK_GAIN"_s, u"-2816"_s}},
     {{u"R128_TRACK_GAIN"_s, u"256"_s}}, 0},
    // +12 dB would bring the quiet song up to the loud one; its peak allows +6.
    {"clipping prevention", u".flac"_s, Writer::Ffmpeg, Mode::Track, {},
     {{kTrack, u"12 dB"_s}, {u"REPLAYGAIN_TRACK_PEAK"_s, u"0.5"_s}}, -6},
    {"album gain", u".ogg"_s, Writer::Ffmpeg, Mode::Album, {{kTrack, u"0 dB"_s}, {kAlbum, u"-6 dB"_s}},
     {{kTrack, u"0 dB"_s}, {kAlbum, u"+6 dB"_s}}, 0},
    {"album mode, track gain only", u".ogg"_s, Writer::Ffmpeg, Mode::Album, kLoud, kQuiet, 0},
    {"nonsense gains", u".mp3"_s, Writer::Ffmpeg, Mode::Track, {{kTrack, u"60 dB"_s}}, {{kTrack, u"nan dB"_s}}, -12},
};

constexpr int kRate = 44100;
constexpr std::size_t kWindow = kRate / 10; // a whole number of cycles of every song's tone

// Each song has a tone of its own, so its level is found wherever it landed.
double frequencyOf(std::size_t song)
{
    return 400.0 + 100.0 * static_cast<double>(song);
}

bool writeTagged(const QString &path, std::size_t song, Writer writer, const Tags &tags)
{
    // lavfi's sine has an amplitude of 1/8; odd songs are the quiet ones.
    QStringList args{u"-loglevel"_s, u"error"_s, u"-y"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                     u"sine=frequency=%1:duration=0.6"_s.arg(frequencyOf(song)), u"-af"_s,
                     song % 2 ? u"volume=1"_s : u"volume=4"_s, u"-ac"_s, u"2"_s};
    if (path.endsWith(u".opus"_s))
        args << u"-c:a"_s << u"libopus"_s;
    for (const auto &[key, value] : tags)
        args << u"-metadata"_s << key + u'=' + value;
    QProcess ffmpeg;
    ffmpeg.start(u"ffmpeg"_s, args << path);
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
        return false;
    const QByteArray name = QFile::encodeName(path);
    TagLib::MPEG::File mpeg(writer == Writer::Ape ? name.constData() : "", false);
    TagLib::MP4::File mp4(writer == Writer::Mp4 ? name.constData() : "", false);
    for (const auto &[key, value] : tags) {
        if (writer == Writer::Ape)
            mpeg.APETag(true)->addValue(key.toStdString(), value.toStdString());
        if (writer == Writer::Mp4)
            mp4.tag()->setItem("----:com.apple.iTunes:" + key.toLower().toStdString(),
                               TagLib::StringList(value.toStdString()));
    }
    if (writer == Writer::Ape)
        return mpeg.save(TagLib::MPEG::File::APE, TagLib::File::StripOthers);
    return writer == Writer::Ffmpeg || mp4.save();
}

// A tone's amplitude in the left channel, in the window where it is loudest.
double levelOf(const std::vector<float> &left, double frequency)
{
    double best = 0;
    for (std::size_t start = 0; start + kWindow <= left.size(); start += kWindow / 2) {
        std::complex<double> sum;
        for (std::size_t n = 0; n < kWindow; ++n)
            sum += double(left[start + n]) * std::polar(1.0, -2 * std::numbers::pi * frequency * double(n) / kRate);
        best = std::max(best, 2 * std::abs(sum) / double(kWindow));
    }
    return best;
}

using ReplayGainWindow = playtest::PlayFixture;

TEST_F(ReplayGainWindow, SongsTaggedTwelveDecibelsApartPlayAtOneLevelWhenLevelled)
{
    for (std::size_t song = 0; song < 2 * kCases.size(); ++song) {
        const Case &c = kCases[song / 2];
        ASSERT_TRUE(writeTagged(home() + QString::number(song) + c.extension, song, c.writer,
                                song % 2 ? c.quiet : c.loud))
            << c.name;
    }
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(home() + u"heard.raw"_s));
    start();
    qputenv("SDL_AUDIODRIVER", "dummy");
    for (std::size_t i = 0; i < kCases.size(); ++i) {
        TSkinSettings settings;
        settings.spectrumOn = false;
        settings.replayGain = kCases[i].mode;
        writeSkin(settings);
        window_->loadSkin(true); // as when the skin editor closes
        window_->playlist.clear();
        for (const std::size_t song : {2 * i, 2 * i + 1})
            addRow(window_->playlist, home() + QString::number(song) + kCases[i].extension);
        window_->playSong(0, false);
        ASSERT_TRUE(QTest::qWaitFor([this] { return window_->currentIndex == 1 && !window_->play_monitor.isActive(); },
                                    playtest::kStateWaitMs))
            << kCases[i].name;
    }
    window_.reset(); // the device closes: all that was heard is in the file
    QFile capture(home() + u"heard.raw"_s);
    ASSERT_TRUE(capture.open(QIODevice::ReadOnly));
    const QByteArray bytes = capture.readAll();
    std::vector<float> left(static_cast<std::size_t>(bytes.size() / 8)); // stereo floats
    for (std::size_t at = 0; at < left.size(); ++at)
        std::memcpy(&left[at], bytes.constData() + at * 8, sizeof(float));
    for (std::size_t i = 0; i < kCases.size(); ++i) {
        const double loud = levelOf(left, frequencyOf(2 * i));
        ASSERT_GT(loud, 0.0) << kCases[i].name;
        EXPECT_NEAR(20 * std::log10(levelOf(left, frequencyOf(2 * i + 1)) / loud), kCases[i].quietMinusLoud, 0.5)
            << kCases[i].name;
    }
    EXPECT_TRUE(messages().isEmpty());
}

} // namespace
