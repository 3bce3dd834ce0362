// The equalizer and the spectrum in the main window: the stored equalizer
// settings at the deferred start-up, the bands on the songs that play, and the
// spectrum as it shows on the pixels of Image1.

#include "azvis.h"
#include "defaultskin.h"
#include "dialogs.h"
#include "equalizer.h"
#include "mediafixtures.h"
#include "soundcapture.h"
#include "tabcontrol.h"
#include "tequalizer_form.h"
#include "test_play_support.h"
#include "timage.h"

#include <QCheckBox>
#include <QSlider>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr double kToneAmplitude = 0.05;

class EffectsWindow : public playtest::PlayFixture
{
protected:
    void SetUp() override
    {
        PlayFixture::SetUp();
        settings_ = TSkinSettings::defaults();
        settings_.hotKeysOn = false;
        settings_.spectrumOn = true;
        settings_.spectrumColor = 0x00FF00; // clLime
        writeSkin(settings_);
        // A stored song list with a base directory: the deferred start-up only
        // loads it and asks nothing.
        ASSERT_TRUE(QDir(home()).mkpath(u"music"_s));
        ASSERT_TRUE(TStringListC{home() + u"music"_s}.SaveToFile(home() + u"music_directories.azi"_s));
        QFile songList(home() + u"songlist.azl"_s);
        ASSERT_TRUE(songList.open(QIODevice::WriteOnly));
        const TStringListC filter{u".wav"_s, u"0"_s, u"0"_s};
        ASSERT_TRUE(filter.SaveToFile(home() + u"filetypes.azi"_s));
    }
    QString tone(const QString &name, double seconds, double frequency, double amplitude = kToneAmplitude)
    {
        const QString path = home() + name;
        QString error;
        if (!QFile::exists(path)) {
            EXPECT_TRUE(testsupport::writeTone(path, seconds, frequency, amplitude, &error)) << qPrintable(error);
        }
        return path;
    }
    // Plays a tone with the spectrum on until its bars show.
    void playUntilBarsShow()
    {
        addRow(window_->playlist, tone(u"music/tone.wav"_s, 20.0, 440.0, 0.4), u"tone"_s);
        window_->playSong(0, false);
        ASSERT_TRUE(playing());
        ASSERT_TRUE(QTest::qWaitFor([this] { return area() != background(); }, 10000));
    }
    QImage area() const { return window_->Image1->picture().copy(window_->spectrum().area()); }
    QImage background() const
    {
        return defaultSkinPicture().convertToFormat(QImage::Format_RGB32).copy(window_->spectrum().area());
    }
    TAzVis &spectrum() const { return window_->spectrum(); }

    TSkinSettings settings_;
};

// What a frame with these bars looks like: each a rectangle from (x, 35 - h)
// to (x + 5, 35), outlined in black and filled with the colour, cut off at
// the area's edges.
QImage withBars(QImage background, const std::vector<std::pair<int, int>> &bars, QRgb fill)
{
    const int height = background.height();
    for (const auto &[x, h] : bars) {
        const int top = height - h;
        for (int px = x; px < x + 5 && px < background.width(); ++px)
            for (int y = std::max(top, 0); y < height; ++y) {
                const bool edge = px == x || px == x + 4 || y == top || y == height - 1;
                background.setPixel(px, y, edge ? qRgb(0, 0, 0) : fill);
            }
    }
    return background;
}

TEST_F(EffectsWindow, ASingleValueShowsInItsBarAtAnEighthOfItsSize)
{
    start();
    const float scale = spectrum().levels().scale;
    struct Case
    {
        int value; // FFT value index
        float size;
        bool shown;
    };
    const Case cases[] = {
        {1, 1.0f, true},      // the first bar, values 1 to 8
        {100, 0.25f, true},   // bar 13
        {240, 0.1f, true},    // bar 30, the last one inside the area
        {60, 4.0f, true},     // taller than the area: cut off at the top
        {244, 1.0f, false},   // bar 31 starts at x = 150, outside the area
        {0, 1.0f, false},     // value 0 belongs to no bar
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        spectrum().clearSpectrum(false); // nothing plays: no new values come
        spectrum().levels().resetLevels();
        spectrum().levels().fft[static_cast<std::size_t>(c.value)] = c.size;
        window_->azVisTimerTimer();
        std::vector<std::pair<int, int>> bars;
        if (c.shown) {
            const int bar = (c.value - 1) / 8;
            const int i = 9 + 8 * bar; // the FFT index just after the bar's values
            const double weight = 2.0 * std::log10(i / 4.0 + 5.0) - 1.2;
            const double h = 35.0 * (c.size / 8.0 / scale) * weight;
            ASSERT_GT(std::abs(h - std::floor(h) - 0.5), 0.05) << "choose a size that is not a half";
            bars.push_back({5 * bar, static_cast<int>(std::lround(h))});
        }
        EXPECT_EQ(area(), withBars(background(), bars, qRgb(0, 255, 0)));
        // Nothing plays, so the reference stays as it was.
        EXPECT_EQ(spectrum().levels().scale, scale);
    }
}

TEST_F(EffectsWindow, WhenPlayingEndsTheBarsFallOrStay)
{
    struct Case
    {
        const char *what;
        std::function<void(Melodeck &)> act;
        bool fall;
    };
    const Case cases[] = {
        {"stop: the bars fall to zero, then the timer stops", [](Melodeck &w) { w.button_stop->click(); }, true},
        {"a preview without spectrum: the bars fall although the song plays on",
         [](Melodeck &w) {
             w.skinEditorCallbacks().skinApplied(defaultSkinPicture(), 0xC0C0C0, 0xFFFFFF, 0x00FF00, false);
         },
         true},
        {"pause: the timer stops at once and the bars stay", [](Melodeck &w) { w.button_playpause->click(); },
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        start();
        playUntilBarsShow();
        c.act(*window_);
        if (c.fall) {
            ASSERT_TRUE(QTest::qWaitFor([this] { return !window_->azVisTimer.isActive(); }, 10000));
            EXPECT_EQ(area(), background());
            EXPECT_TRUE(spectrum().levels().allLevelsZero());
            EXPECT_FALSE(spectrum().levels().hold);
        } else {
            EXPECT_FALSE(window_->azVisTimer.isActive());
            const QImage stayed = area();
            QCoreApplication::processEvents();
            EXPECT_EQ(area(), stayed);
            EXPECT_NE(area(), background());
        }
        window_.reset();
    }
}

TEST_F(EffectsWindow, ANewSkinRestartsFromZeroOnItsOwnBackground)
{
    start();
    playUntilBarsShow();
    window_->button_playpause->click(); // paused, the bars stay
    ASSERT_NE(area(), background());
    QImage picture(600, 260, QImage::Format_RGB32);
    picture.fill(qRgb(10, 60, 110));
    ASSERT_TRUE(saveSkinPicture(picture, home() + kSkinPictureFileName));

    window_->loadSkin(true);
    EXPECT_TRUE(spectrum().levels().allLevelsZero());
    EXPECT_TRUE(window_->azVisTimer.isActive());
    window_->azVisTimerTimer();
    EXPECT_EQ(area(), picture.copy(spectrum().area()));
    // Nothing plays and every bar is down: the timer has stopped itself.
    EXPECT_FALSE(window_->azVisTimer.isActive());
}

TEST_F(EffectsWindow, StoredSettingsPutTheBandsOnTheSongs)
{
    settings_.spectrumOn = false;
    settings_.equalizer = {0, 15, 15, 15, 15, 15, 15};
    settings_.equalizerOn = true;
    writeSkin(settings_);

    // Started before the settings are loaded: the first song of the command
    // line plays without bands until the deferred start-up switches them on.
    start({tone(u"music/first.wav"_s, 1.0, 125.0)});
    ASSERT_TRUE(playing());
    const TDialogs dialogs = createDialogs(*window_);
    const auto &handles = window_->equalizer().handles();
    EXPECT_EQ(handles, (std::array<audio::Handle, 7>{}));
    window_->load_songlist_timerTimer();
    EXPECT_EQ(dialogs.equalizer_form->f1->value(), 0);
    EXPECT_EQ(dialogs.equalizer_form->f7->value(), 15);
    EXPECT_TRUE(dialogs.equalizer_form->active->isChecked());
    EXPECT_EQ(window_->equalizer().stream(), window_->currentStream);
    audio::ParamEq band;
    ASSERT_TRUE(window_->engine().fxGetParameters(handles[0], band));
    EXPECT_EQ(band.center, 125.0f);
    EXPECT_EQ(band.gain, 15.0f);
    window_.reset();

    // Started while they are on: the song is shaped from its first sound.
    const testsupport::TDiskOutput ear(home() + u"heard.raw"_s);
    start();
    createDialogs(*window_);
    window_->load_songlist_timerTimer();
    addRow(window_->playlist, tone(u"music/second.wav"_s, 0.6, 125.0), u"second"_s);
    // Whether the stream already played when each band was put on it.
    std::vector<audio::Active> whenAdded;
    TEffectCalls &calls = window_->equalizer().effectCalls();
    calls.setFx = [this, &whenAdded, add = calls.setFx](audio::Handle stream) {
        whenAdded.push_back(window_->engine().channelIsActive(stream));
        return add(stream);
    };
    window_->playSong(0, false);
    EXPECT_EQ(whenAdded, std::vector<audio::Active>(7, audio::Active::Stopped));
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return window_->engine().channelIsActive(window_->currentStream) == audio::Active::Stopped; },
        20000));
    window_.reset(); // the device closes: everything heard is in the file
    const std::vector<float> sound = ear.sound();
    ASSERT_GE(sound.size(), 44100u / 2);
    // A band glides to its setting over its first 256 frames.
    EXPECT_NEAR(testsupport::levelDb(sound, 512, 4096, kToneAmplitude), 15.0, 0.3);
    EXPECT_NEAR(testsupport::levelDb(sound, 512, sound.size() - 1024, kToneAmplitude), 15.0, 0.3);
}

} // namespace
