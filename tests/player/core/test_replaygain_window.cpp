// Loudness levelling heard through the main window: pairs of songs 12 dB
// apart, tagged in each of the tag kinds, played into the disk output and
// measured in what came out.

#include "tabcontrol.h"
#include "test_play_support.h"

#include <QAction>

#include <taglib/apetag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <numbers>

using namespace Qt::StringLiterals;

namespace {

using Tags = std::vector<std::pair<QString, QString>>;
// Who writes the tags: ffmpeg for the kinds it writes, TagLib for the others.
enum class Writer { Ffmpeg, Ape, Mp4 };

struct Case
{
    const char *name;
    QString extension;
    Writer writer;
    ReplayGainMode mode;
    Tags loud;  // on a song at half of full scale
    Tags quiet; // on one 12 dB below it
    double quietMinusLoudDb;
};

const Tags kLoudTrack{{u"REPLAYGAIN_TRACK_GAIN"_s, u"-6.00 dB"_s}};
const Tags kQuietTrack{{u"replaygain_track_gain"_s, u"+6.00 dB"_s}};

const std::vector<Case> kCases{
    {"id3v2 txxx, track", u".mp3"_s, Writer::Ffmpeg, ReplayGainMode::Track, kLoudTrack, kQuietTrack, 0},
    {"id3v2 txxx, off", u".mp3"_s, Writer::Ffmpeg, ReplayGainMode::Off, kLoudTrack, kQuietTrack, -12},
    {"ape items", u".mp3"_s, Writer::Ape, ReplayGainMode::Track, kLoudTrack, kQuietTrack, 0},
    {"vorbis comments", u".ogg"_s, Writer::Ffmpeg, ReplayGainMode::Track, kLoudTrack, kQuietTrack, 0},
    {"flac comments", u".flac"_s, Writer::Ffmpeg, ReplayGainMode::Track, kLoudTrack, kQuietTrack, 0},
    {"itunes atoms", u".m4a"_s, Writer::Mp4, ReplayGainMode::Track, kLoudTrack, kQuietTrack, 0},
    // Q7.8 against -23 LUFS: -11 and +1 dB there are -6 and +6 here.
    {"opus r128", u".opus"_s, Writer::Ffmpeg, ReplayGainMode::Track, {{u"R128_TRACK_GAIN"_s, u"-2816"_s}},
     {{u"R128_TRACK_GAIN"_s, u"256"_s}}, 0},
    // +12 dB would bring the quiet song to the loud one; its stated peak of
    // 0.5 allows only +6.
    {"clipping prevention", u".flac"_s, Writer::Ffmpeg, ReplayGainMode::Track, {},
     {{u"REPLAYGAIN_TRACK_GAIN"_s, u"12 dB"_s}, {u"REPLAYGAIN_TRACK_PEAK"_s, u"0.5"_s}}, -6},
    {"album gain", u".ogg"_s, Writer::Ffmpeg, ReplayGainMode::Album,
     {{u"REPLAYGAIN_TRACK_GAIN"_s, u"0 dB"_s}, {u"REPLAYGAIN_ALBUM_GAIN"_s, u"-6 dB"_s}},
     {{u"REPLAYGAIN_TRACK_GAIN"_s, u"0 dB"_s}, {u"REPLAYGAIN_ALBUM_GAIN"_s, u"+6 dB"_s}}, 0},
    {"album mode, track gain only", u".ogg"_s, Writer::Ffmpeg, ReplayGainMode::Album, kLoudTrack, kQuietTrack, 0},
    {"nonsense gains", u".mp3"_s, Writer::Ffmpeg, ReplayGainMode::Track, {{u"REPLAYGAIN_TRACK_GAIN"_s, u"60 dB"_s}},
     {{u"REPLAYGAIN_TRACK_GAIN"_s, u"nan dB"_s}}, -12},
};

constexpr int kRate = 44100;
constexpr int kWindow = kRate / 10; // every test frequency is a whole number of cycles in it

double frequencyOf(std::size_t song)
{
    return 400.0 + 100.0 * static_cast<double>(song);
}

bool writeTagged(const QString &path, double frequency, double amplitude, Writer writer, const Tags &tags)
{
    // lavfi's sine has an amplitude of 1/8.
    QStringList args{u"-hide_banner"_s, u"-loglevel"_s, u"error"_s, u"-y"_s, u"-f"_s, u"lavfi"_s, u"-i"_s,
                     u"sine=frequency=%1:sample_rate=44100:duration=0.6"_s.arg(frequency),
                     u"-af"_s, u"volume=%1"_s.arg(amplitude * 8), u"-ac"_s, u"2"_s};
    if (path.endsWith(u".opus"_s))
        args << u"-c:a"_s << u"libopus"_s;
    if (writer == Writer::Ffmpeg)
        for (const auto &[key, value] : tags)
            args << u"-metadata"_s << key + u'=' + value;
    QProcess ffmpeg;
    ffmpeg.start(u"ffmpeg"_s, args << path);
    if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
        return false;
    const QByteArray name = QFile::encodeName(path);
    if (writer == Writer::Ape) {
        TagLib::MPEG::File file(name.constData());
        for (const auto &[key, value] : tags)
            file.APETag(true)->addValue(key.toStdString(), value.toStdString());
        return file.save(TagLib::MPEG::File::APE, TagLib::File::StripOthers);
    }
    if (writer == Writer::Mp4) {
        TagLib::MP4::File file(name.constData());
        for (const auto &[key, value] : tags)
            file.tag()->setItem("----:com.apple.iTunes:" + key.toLower().toStdString(),
                                TagLib::StringList(value.toStdString()));
        return file.save();
    }
    return true;
}

// The loudest stretch of a tone in the left channel: its amplitude over the
// window where it stands at its full level.
double levelOf(const std::vector<float> &left, double frequency)
{
    double best = 0;
    for (std::size_t start = 0; start + kWindow <= left.size(); start += kWindow / 2) {
        std::complex<double> sum;
        for (std::size_t n = 0; n < kWindow; ++n)
            sum += double(left[start + n])
                   * std::polar(1.0, -2 * std::numbers::pi * frequency * double(n) / kRate);
        best = std::max(best, 2 * std::abs(sum) / kWindow);
    }
    return best;
}

class ReplayGainWindow : public playtest::PlayFixture
{
};

TEST_F(ReplayGainWindow, SongsTaggedTwelveDecibelsApartPlayAtOneLevelWhenLevelled)
{
    // Each song has its own frequency, so its level can be found in the
    // capture wherever it landed.
    std::vector<QString> songs;
    for (const Case &c : kCases) {
        for (const bool quiet : {false, true}) {
            const QString path = home() + u"s%1"_s.arg(songs.size()) + c.extension;
            ASSERT_TRUE(writeTagged(path, frequencyOf(songs.size()), quiet ? 0.125 : 0.5, c.writer,
                                    quiet ? c.quiet : c.loud))
                << c.name;
            songs.push_back(path);
        }
    }
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(home() + u"heard.raw"_s));
    start();
    qputenv("SDL_AUDIODRIVER", "dummy");
    window_->after_playlist_stop->setChecked(true);
    for (std::size_t i = 0; i < kCases.size(); ++i) {
        SCOPED_TRACE(kCases[i].name);
        TSkinSettings settings;
        settings.spectrumOn = false;
        settings.replayGain = kCases[i].mode;
        writeSkin(settings);
        window_->loadSkin(true); // as when the skin editor closes
        window_->playlist.clear();
        addRow(window_->playlist, songs[2 * i], u"loud"_s);
        addRow(window_->playlist, songs[2 * i + 1], u"quiet"_s);
        window_->playSong(0, false);
        ASSERT_TRUE(QTest::qWaitFor(
            [this] { return window_->currentIndex == 1 && !window_->play_monitor.isActive(); }, playtest::kStateWaitMs));
    }
    window_.reset(); // the device closes: all that was heard is in the file
    QFile capture(home() + u"heard.raw"_s);
    ASSERT_TRUE(capture.open(QIODevice::ReadOnly));
    const QByteArray bytes = capture.readAll();
    std::vector<float> left(static_cast<std::size_t>(bytes.size() / 8));
    for (std::size_t at = 0; at < left.size(); ++at)
        std::memcpy(&left[at], bytes.constData() + at * 8, sizeof(float));
    for (std::size_t i = 0; i < kCases.size(); ++i) {
        const double loud = levelOf(left, frequencyOf(2 * i));
        const double quiet = levelOf(left, frequencyOf(2 * i + 1));
        ASSERT_GT(loud, 0.0) << kCases[i].name;
        EXPECT_NEAR(20 * std::log10(quiet / loud), kCases[i].quietMinusLoudDb, 0.5) << kCases[i].name;
    }
    EXPECT_TRUE(messages().isEmpty());
}

} // namespace
