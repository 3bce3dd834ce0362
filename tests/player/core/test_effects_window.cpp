// The equalizer and the spectrum in the main window: the stored equalizer
// settings on the songs that play, and the spectrum on the pixels of Image1.

#include "azvis.h"
#include "defaultskin.h"
#include "dialogs.h"
#include "mediafixtures.h"
#include "tabcontrol.h"
#include "tequalizer_form.h"
#include "test_play_support.h"
#include "timage.h"

#include <QCheckBox>
#include <QSlider>

#include <cmath>
#include <cstring>

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
    }
}

TEST_F(EffectsWindow, WhenPlayingEndsTheBarsFallOrStayAndANewSkinStartsFromZero)
{
    QImage picture(600, 260, QImage::Format_RGB32);
    picture.fill(qRgb(10, 60, 110));
    struct Case
    {
        const char *what;
        std::function<void(Melodeck &)> act;
        bool fall;
        QImage background; // null: the default skin's
    };
    const Case cases[] = {
        {"stop: the bars fall to zero, then the timer stops", [](Melodeck &w) { w.button_stop->click(); }, true, {}},
        {"a preview without spectrum: the bars fall though the song plays on",
         [](Melodeck &w) { w.skinEditorCallbacks().skinApplied(defaultSkinPicture(), 0, 0, 0, false); }, true, {}},
        {"pause: the timer stops at once, the bars stay", [](Melodeck &w) { w.button_playpause->click(); }, false, {}},
        {"a new skin while paused: the bars start from zero on its picture",
         [&](Melodeck &w) {
             w.button_playpause->click();
             ASSERT_TRUE(saveSkinPicture(picture, home() + kSkinPictureFileName));
             w.loadSkin(true);
             w.azVisTimerTimer();
             EXPECT_FALSE(w.azVisTimer.isActive()); // the first frame found every bar down
         },
         true, picture.copy(TAzVis::kLeft, TAzVis::kTop, TAzVis::kWidth, TAzVis::kHeight)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        writeSkin(settings_);
        start();
        playUntilBarsShow();
        c.act(*window_);
        if (c.fall) {
            ASSERT_TRUE(QTest::qWaitFor([this] { return !window_->azVisTimer.isActive(); }, 10000));
            EXPECT_EQ(area(), c.background.isNull() ? background() : c.background);
            EXPECT_FALSE(window_->spectrum().levels().hold);
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

TEST_F(EffectsWindow, StoredSettingsPutTheBandsOnASongBeforeItPlaysAndSlidersChangeWhatIsHeard)
{
    settings_.equalizerOn = true;
    writeSkin(settings_);
    // The disk output writes what would be heard, at the pace of a sound card.
    qputenv("SDL_AUDIODRIVER", "disk");
    qputenv("SDL_DISKAUDIOFILE", QFile::encodeName(home() + u"heard.raw"_s));
    start();
    qputenv("SDL_AUDIODRIVER", "dummy");
    const TDialogs dialogs = createDialogs(*window_);
    window_->load_songlist_timerTimer();
    ASSERT_TRUE(dialogs.equalizer_form->active->isChecked());
    constexpr double seconds = 0.6;
    addRow(window_->playlist, tone(u"t.wav"_s, 125, 0.05, seconds), u"t"_s);
    std::vector<audio::Active> whenAdded;
    TEffectCalls &calls = window_->equalizer().effectCalls();
    calls.setFx = [this, &whenAdded, add = calls.setFx](audio::Handle stream) {
        whenAdded.push_back(window_->engine().channelIsActive(stream));
        return add(stream);
    };
    window_->playSong(0, false);
    EXPECT_EQ(whenAdded, std::vector<audio::Active>(7, audio::Active::Stopped));

    // Paused, f1 to the top, and the song again from its start.
    window_->button_playpause->click();
    dialogs.equalizer_form->f1->setValue(0);
    window_->seekTo(0);
    window_->button_playpause->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return window_->engine().channelIsActive(window_->currentStream) == audio::Active::Stopped; }, 20000));
    window_.reset(); // the device closes: all that was heard is in the file
    // The last frames that were not silent are the second run; past a band's
    // 256-frame glide it is 15 dB louder than the song.
    QFile capture(home() + u"heard.raw"_s);
    ASSERT_TRUE(capture.open(QIODevice::ReadOnly));
    const QByteArray bytes = capture.readAll();
    std::vector<float> sound; // left channel; the device took stereo floats
    float f[2];
    for (qsizetype at = 0; at + 8 <= bytes.size(); at += 8)
        if (std::memcpy(f, bytes.constData() + at, 8); f[0] != 0 || f[1] != 0)
            sound.push_back(f[0]);
    const auto frames = static_cast<std::size_t>(seconds * 44100) - 1024;
    ASSERT_GE(sound.size(), frames);
    double sum = 0;
    for (std::size_t i = sound.size() - frames; i < sound.size(); ++i)
        sum += double(sound[i]) * sound[i];
    const double rms = std::sqrt(sum / double(frames));
    EXPECT_NEAR(20 * std::log10(rms / (0.05 / std::sqrt(2.0))), 15.0, 0.3);
}

} // namespace
