// The equalizer window over a real engine: which effect calls its controls
// make, in which order, and what the bands do to the sound that comes out.

#include "equalizer.h"
#include "mediafixtures.h"
#include "soundcapture.h"
#include "tequalizer_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>

using namespace Qt::StringLiterals;

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

namespace {

constexpr double kToneAmplitude = 0.05;

// Wraps the engine's effect calls and writes each one down, effects named by
// the order the engine made them in ("fx1", "fx2", ...) and streams by the
// names the test gave them.
class CallLog
{
public:
    CallLog(TEqualizer &equalizer, audio::Engine &engine) : engine_(TEffectCalls::of(engine))
    {
        TEffectCalls &calls = equalizer.effectCalls();
        calls.setFx = [this](audio::Handle stream) {
            const audio::Handle fx = engine_.setFx(stream);
            names_[fx] = "fx" + std::to_string(++made_);
            lines_.push_back("add " + name(stream) + ">" + name(fx));
            return fx;
        };
        calls.removeFx = [this](audio::Handle stream, audio::Handle fx) {
            lines_.push_back("remove " + name(stream) + " " + name(fx));
            return engine_.removeFx(stream, fx);
        };
        calls.getParameters = [this](audio::Handle fx, audio::ParamEq &params) {
            lines_.push_back("get " + name(fx));
            return engine_.getParameters(fx, params);
        };
        calls.setParameters = [this](audio::Handle fx, const audio::ParamEq &p) {
            char text[64];
            std::snprintf(text, sizeof text, " %g %g %g", double(p.center), double(p.bandwidth), double(p.gain));
            lines_.push_back("set " + name(fx) + text);
            return engine_.setParameters(fx, p);
        };
    }
    void nameStream(audio::Handle stream, const std::string &name) { names_[stream] = name; }
    std::vector<std::string> take() { return std::exchange(lines_, {}); }
    // The engine's handles of the effects named, e.g. {"fx1", ...}.
    audio::Handle handle(const std::string &fxName) const
    {
        for (const auto &[handle, n] : names_)
            if (n == fxName)
                return handle;
        return 0;
    }

private:
    std::string name(audio::Handle h) const
    {
        const auto it = names_.find(h);
        return it == names_.end() ? std::to_string(h) : it->second;
    }

    TEffectCalls engine_;
    std::map<audio::Handle, std::string> names_;
    std::vector<std::string> lines_;
    int made_ = 0;
};

class EqualizerWindow : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString tone(const QString &name, double seconds, double frequency = 125.0)
    {
        const QString path = dir_.filePath(name);
        QString error;
        EXPECT_TRUE(testsupport::writeTone(path, seconds, frequency, kToneAmplitude, &error)) << qPrintable(error);
        return path;
    }
    audio::Handle open(audio::Engine &engine, const QString &path)
    {
        return engine.streamCreateFile(path.toStdString(), 0, 0, audio::kSampleFx);
    }

    QTemporaryDir dir_;
};

std::vector<std::string> bandSettings(int firstFx, const std::array<int, 7> &gains)
{
    std::vector<std::string> lines;
    for (int band = 0; band < 7; ++band)
        lines.push_back("set fx" + std::to_string(firstFx + band) + " " + std::to_string(125 << band) + " 18 "
                        + std::to_string(gains[static_cast<std::size_t>(band)]));
    return lines;
}

std::vector<std::string> added(const std::string &stream, int firstFx)
{
    std::vector<std::string> lines;
    for (int i = 0; i < 7; ++i)
        lines.push_back("add " + stream + ">fx" + std::to_string(firstFx + i));
    return lines;
}

std::vector<std::string> removed(const std::string &stream, int firstFx)
{
    std::vector<std::string> lines;
    for (int i = 0; i < 7; ++i)
        lines.push_back("remove " + stream + " fx" + std::to_string(firstFx + i));
    return lines;
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(EqualizerWindow, EffectCallsFollowTheSwitchAndTheSliders)
{
    audio::Engine engine;
    ASSERT_TRUE(engine.init(-1, 44100, 0));
    const audio::Handle first = open(engine, tone(u"a.wav"_s, 2.0));
    const audio::Handle second = open(engine, tone(u"b.wav"_s, 2.0));
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    TEqualizer equalizer(TEffectCalls::of(engine));
    Tequalizer_form form(equalizer);
    CallLog log(equalizer, engine);
    log.nameStream(first, "S1");
    log.nameStream(second, "S2");
    const auto slider = [&form](int band) { return form.sliders()[static_cast<std::size_t>(band - 1)]; };

    struct Step
    {
        const char *what;
        std::function<void()> act;
        std::vector<std::string> calls;
    };
    const Step steps[] = {
        {"a stream while off is only remembered", [&] { form.setEqualizer(first); }, {}},
        {"sliders and Reset while off call nothing",
         [&] {
             slider(2)->setValue(4);
             slider(7)->setValue(30);
             form.Button1->click();
             slider(1)->setValue(3);
         },
         {}},
        {"switching on puts seven bands on the stream, then their settings",
         [&] { form.active->setChecked(true); },
         added("S1", 1) + bandSettings(1, {12, 0, 0, 0, 0, 0, 0})},
        {"a slider moved while on changes its band's gain only",
         [&] { slider(1)->setValue(0); },
         {"get fx1", "set fx1 125 18 15"}},
        {"Reset moves the one slider that is not flat", [&] { form.Button1->click(); },
         {"get fx1", "set fx1 125 18 0"}},
        {"switching off removes all seven", [&] { form.active->setChecked(false); }, removed("S1", 1)},
        {"a slider moved while off again calls nothing", [&] { slider(4)->setValue(20); }, {}},
        {"switching on again puts seven new bands on the same stream",
         [&] { form.active->setChecked(true); },
         added("S1", 8) + bandSettings(8, {0, 0, 0, -5, 0, 0, 0})},
        {"stored settings set the sliders first, with the switch still on, then the switch",
         [&] { form.loadDefault({15, 15, 15, 15, 15, 15, 15}, false); },
         std::vector<std::string>{"get fx11", "set fx11 1000 18 0"} + removed("S1", 8)},
        {"a new song while off gets no bands", [&] { form.setEqualizer(second); }, {}},
        {"stored settings that switch on put the bands on the new song",
         [&] { form.loadDefault({0, 15, 15, 15, 15, 15, 30}, true); },
         added("S2", 15) + bandSettings(15, {15, 0, 0, 0, 0, 0, -15})},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(log.take(), step.calls);
    }

    // The engine agrees: the first two sets are gone, the last is in place.
    audio::ParamEq params;
    for (int fx = 1; fx <= 14; ++fx)
        EXPECT_FALSE(engine.fxGetParameters(log.handle("fx" + std::to_string(fx)), params)) << fx;
    ASSERT_TRUE(engine.fxGetParameters(log.handle("fx21"), params));
    EXPECT_EQ(params.center, 8000.0f);
    EXPECT_EQ(params.gain, -15.0f);
    EXPECT_EQ(equalizer.stream(), second);
}

TEST_F(EqualizerWindow, BandsShapeTheSoundThatIsHeard)
{
    struct Case
    {
        const char *what;
        std::function<void(Tequalizer_form &, audio::Handle)> act;
        double db;
    };
    const Case cases[] = {
        {"f1 moved to the top while on",
         [](Tequalizer_form &form, audio::Handle stream) {
             form.setEqualizer(stream);
             form.active->setChecked(true);
             form.f1->setValue(0);
         },
         15.0},
        {"f1 at the bottom", [](Tequalizer_form &form, audio::Handle stream) {
             form.active->setChecked(true);
             form.f1->setValue(30);
             form.setEqualizer(stream);
         },
         -15.0},
        {"f1 at the top while off", [](Tequalizer_form &form, audio::Handle stream) {
             form.setEqualizer(stream);
             form.f1->setValue(0);
         },
         0.0},
        {"switched off after f1 went to the top", [](Tequalizer_form &form, audio::Handle stream) {
             form.setEqualizer(stream);
             form.active->setChecked(true);
             form.f1->setValue(0);
             form.active->setChecked(false);
         },
         0.0},
        {"the band an octave up moved to the top", [](Tequalizer_form &form, audio::Handle stream) {
             form.setEqualizer(stream);
             form.active->setChecked(true);
             form.f2->setValue(0);
         },
         // 18 semitones wide: an octave below its centre the band still
         // adds over a third of its gain.
         5.58},
    };
    const QString song = tone(u"t.wav"_s, 0.6);
    int run = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const testsupport::TDiskOutput ear(dir_.filePath(u"heard%1.raw"_s.arg(++run)));
        {
            audio::Engine engine;
            ASSERT_TRUE(engine.init(-1, 44100, 0));
            const audio::Handle stream = open(engine, song);
            ASSERT_NE(stream, 0u);
            TEqualizer equalizer(TEffectCalls::of(engine));
            Tequalizer_form form(equalizer);
            c.act(form, stream);
            ASSERT_TRUE(engine.channelPlay(stream, true));
            ASSERT_TRUE(QTest::qWaitFor([&] { return engine.channelIsActive(stream) == audio::Active::Stopped; },
                                        20000));
        } // the device closes and the capture is complete
        const std::vector<float> sound = ear.sound();
        ASSERT_GE(sound.size(), 44100u / 2);
        // Past the first milliseconds, where a band glides to its setting.
        const double level = testsupport::levelDb(sound, 2048, sound.size() - 4096, kToneAmplitude);
        EXPECT_NEAR(level, c.db, 0.3);
    }
}

TEST_F(EqualizerWindow, ControlsAndClosing)
{
    TEqualizer equalizer(TEffectCalls{});
    Tequalizer_form form(equalizer);
    const QStringList captions{u"100"_s, u"250"_s, u"500"_s, u"1000"_s, u"2000"_s, u"4000"_s, u"8000"_s};
    const std::array<QLabel *, 7> labels{form.Label2, form.Label3, form.Label4, form.Label5,
                                          form.Label6, form.Label7, form.Label8};
    for (int band = 0; band < 7; ++band) {
        QSlider *slider = form.sliders()[static_cast<std::size_t>(band)];
        EXPECT_EQ(slider->objectName(), u"f"_s + QString::number(band + 1));
        EXPECT_EQ(slider->orientation(), Qt::Vertical);
        EXPECT_EQ(slider->minimum(), 0);
        EXPECT_EQ(slider->maximum(), 30);
        EXPECT_EQ(slider->value(), 15);
        EXPECT_EQ(slider->tickPosition(), QSlider::TicksBothSides);
        EXPECT_EQ(labels[static_cast<std::size_t>(band)]->text(), captions.at(band));
        // Side by side, band 1 at the left, each caption under its slider.
        const QRect caption = labels[static_cast<std::size_t>(band)]->geometry();
        EXPECT_GE(caption.top(), slider->geometry().bottom());
        EXPECT_NEAR(caption.center().x(), slider->geometry().center().x(), 1);
        if (band > 0) {
            EXPECT_GT(slider->x(), form.sliders()[static_cast<std::size_t>(band - 1)]->geometry().right());
        }
    }
    EXPECT_EQ(form.active->text(), u"Active"_s);
    EXPECT_FALSE(form.active->isChecked());
    EXPECT_EQ(form.Button1->text(), u"Reset"_s);
    // The arrow up raises the gain, i.e. moves towards position 0.
    QTest::keyClick(form.f1, Qt::Key_Up);
    EXPECT_EQ(form.f1->value(), 14);

    // Every way of closing runs the stored call-back once.
    int saved = 0;
    form.setSaveFunc([&saved] { ++saved; });
    const std::function<void()> closers[] = {
        [&form] { form.close(); },
        [&form] { QTest::keyClick(&form, Qt::Key_Escape); },
        [&form] { form.done(QDialog::Accepted); },
    };
    int expected = 0;
    for (const auto &close : closers) {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        close();
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(saved, ++expected);
    }
}

} // namespace
