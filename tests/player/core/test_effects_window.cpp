// The equalizer and the spectrum in the main window: the stored equalizer
// settings on the songs that play, and the spectrum on the pixels of Image1.

#include "azvis.h"
#include "defaultskin.h"
#include "dialogs.h"
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

class EffectsWindow : public playtest::PlayFixture
{
protected:
    void SetUp() override
    {
        PlayFixture::SetUp();
        settings_.hotKeysOn = false;
        settings_.spectrumColor = 0x00FF00;
        writeSkin(settings_);
        // A stored song list and base directory: the deferred start-up asks nothing.
        ASSERT_TRUE(QDir(home()).mkpath(u"music"_s));
        ASSERT_TRUE(TStringListC{home() + u"music"_s}.SaveToFile(home() + u"music_directories.azi"_s));
        ASSERT_TRUE(QFile(home() + u"songlist.azl"_s).open(QIODevice::WriteOnly));
        ASSERT_TRUE(TStringListC(QStringList{u".wav"_s, u"0"_s, u"0"_s}).SaveToFile(home() + u"filetypes.azi"_s));
    }
    QString tone(const QString &name, double frequency, double amplitude, double seconds)
    {
        const QString path = home() + u"music/"_s + name;
        EXPECT_TRUE(QFile::exists(path) || testsupport::writeTone(path, seconds, frequency, amplitude));
        return path;
    }
    void playUntilBarsShow()
    {
        addRow(window_->playlist, tone(u"a.wav"_s, 440, 0.4, 20), u"a"_s);
        window_->playSong(0, false);
        ASSERT_TRUE(QTest::qWaitFor([this] { return area() != background(); }, 10000));
    }
    QImage area() const { return window_->Image1->picture().copy(window_->spectrum().area()); }
    QImage background() const
    {
        return defaultSkinPicture().convertToFormat(QImage::Format_RGB32).copy(window_->spectrum().area());
    }

    TSkinSettings settings_ = TSkinSettings::defaults();
};

TEST_F(EffectsWindow, ASingleValueShowsInItsBarAtAnEighthOfItsSize)
{
    start();
    const float scale = window_->spectrum().levels().scale;
    const std::pair<int, float> cases[] = {
        {1, 1.0f},   // the first bar, values 1 to 8
        {100, 0.25f},
        {240, 0.1f}, // bar 30, the last inside the area
        {60, 4.0f},  // taller than the area: cut off at the top
        {244, 1.0f}, // bar 31 starts at x = 150, outside
        {0, 1.0f},   // in no bar
    };
    for (const auto &[value, size] : cases) {
        SCOPED_TRACE(value);
        window_->spectrum().clearSpectrum(false); // nothing plays: no new values come
        window_->spectrum().levels().resetLevels();
        window_->spectrum().levels().fft[static_cast<std::size_t>(value)] = size;
        window_->azVisTimerTimer();
        // A bar from (x, 35 - h) to (x + 5, 35), outlined in black, filled in the colour.
        QImage expected = background();
        const int bar = (value - 1) / 8;
        const double i = 9 + 8 * bar;
        const int h = value > 0 && bar < 30
                          ? static_cast<int>(std::lround(35 * (size / 8 / scale) * (2 * std::log10(i / 4 + 5) - 1.2)))
                          : 0;
        for (int x = 5 * bar; x < 5 * bar + 5 && h > 0; ++x)
            for (int y = std::max(35 - h, 0); y < 35; ++y) {
                const bool edge = x == 5 * bar || x == 5 * bar + 4 || y == 35 - h || y == 34;
                expected.setPixel(x, y, edge ? qRgb(0, 0, 0) : qRgb(0, 255, 0));
            }
        EXPECT_EQ(area(), expected);
        EXPECT_EQ(window_->spectrum().levels().scale, scale); // nothing plays: the reference stays
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
        {"a preview without spectrum: the bars fall though the song plays on",
         [](Melodeck &w) { w.skinEditorCallbacks().skinApplied(defaultSkinPicture(), 0, 0, 0, false); }, true},
        {"pause: the timer stops at once, the bars stay", [](Melodeck &w) { w.button_playpause->click(); }, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        start();
        playUntilBarsShow();
        c.act(*window_);
        if (!c.fall) {
            EXPECT_FALSE(window_->azVisTimer.isActive());
            const QImage stayed = area();
            QCoreApplication::processEvents();
            EXPECT_EQ(area(), stayed);
            EXPECT_NE(area(), background());
        } else {
            ASSERT_TRUE(QTest::qWaitFor([this] { return !window_->azVisTimer.isActive(); }, 10000));
            EXPECT_EQ(area(), background());
            EXPECT_FALSE(window_->spectrum().levels().hold);
        }
        window_.reset();
    }
}

TEST_F(EffectsWindow, ANewSkinRestartsFromZeroOnItsOwnBackground)
{
    start();
    playUntilBarsShow();
    window_->button_playpause->click(); // paused: the bars stay
    QImage picture(600, 260, QImage::Format_RGB32);
    picture.fill(qRgb(10, 60, 110));
    ASSERT_TRUE(saveSkinPicture(picture, home() + kSkinPictureFileName));
    window_->loadSkin(true);
    window_->azVisTimerTimer();
    EXPECT_EQ(area(), picture.copy(window_->spectrum().area()));
    EXPECT_FALSE(window_->azVisTimer.isActive()); // every bar is down
}

TEST_F(EffectsWindow, StoredSettingsPutTheBandsOnTheSongs)
{
    settings_.equalizer = {0, 15, 15, 15, 15, 15, 15};
    settings_.equalizerOn = true;
    writeSkin(settings_);

    // The command line's song opens before the settings are loaded; the
    // deferred start-up switches the bands on for it.
    start({tone(u"first.wav"_s, 125, 0.05, 1)});
    const auto &bands = window_->equalizer().handles();
    EXPECT_EQ(bands, (std::array<audio::Handle, 7>{}));
    const TDialogs dialogs = createDialogs(*window_);
    window_->load_songlist_timerTimer();
    EXPECT_EQ(dialogs.equalizer_form->f1->value(), 0);
    EXPECT_TRUE(dialogs.equalizer_form->active->isChecked());
    audio::ParamEq band;
    ASSERT_TRUE(window_->engine().fxGetParameters(bands[0], band));
    EXPECT_EQ(band.gain, 15.0f);
    window_.reset();

    // A song started while they are on has its bands before it plays, and
    // is heard shaped from its first sound.
    const testsupport::TDiskOutput ear(home() + u"heard.raw"_s);
    start();
    createDialogs(*window_);
    window_->load_songlist_timerTimer();
    addRow(window_->playlist, tone(u"second.wav"_s, 125, 0.05, 0.6), u"second"_s);
    std::vector<audio::Active> whenAdded;
    TEffectCalls &calls = window_->equalizer().effectCalls();
    calls.setFx = [this, &whenAdded, add = calls.setFx](audio::Handle stream) {
        whenAdded.push_back(window_->engine().channelIsActive(stream));
        return add(stream);
    };
    window_->playSong(0, false);
    EXPECT_EQ(whenAdded, std::vector<audio::Active>(7, audio::Active::Stopped));
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return window_->engine().channelIsActive(window_->currentStream) == audio::Active::Stopped; }, 20000));
    window_.reset(); // the device closes: all that was heard is in the file
    const std::vector<float> sound = ear.sound();
    ASSERT_GE(sound.size(), 44100u / 2);
    EXPECT_NEAR(testsupport::levelDb(sound, 512, 4096, 0.05), 15.0, 0.3); // past a band's 256-frame glide
    EXPECT_NEAR(testsupport::levelDb(sound, 512, sound.size() - 1024, 0.05), 15.0, 0.3);
}

} // namespace
