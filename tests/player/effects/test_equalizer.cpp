// The equalizer window over a real engine: the effect calls its controls
// make, in order, and the call-back that runs when it closes.

#include "mediafixtures.h"
#include "tequalizer_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>

using Lines = std::vector<std::string>;

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

namespace {

// Writes down each effect call, effects named in the order the engine made
// them ("fx1", ...), streams by the test's names.
struct CallLog
{
    Lines lines;
    std::map<audio::Handle, std::string> names;
    int made = 0;

    std::string name(audio::Handle h) const { return names.contains(h) ? names.at(h) : std::to_string(h); }
    void wrap(TEffectCalls &calls)
    {
        const TEffectCalls real = calls;
        calls.setFx = [this, real](audio::Handle s) {
            const audio::Handle fx = real.setFx(s);
            names[fx] = "fx" + std::to_string(++made);
            lines.push_back("add " + name(s) + ">" + name(fx));
            return fx;
        };
        calls.removeFx = [this, real](audio::Handle s, audio::Handle fx) {
            lines.push_back("remove " + name(s) + " " + name(fx));
            return real.removeFx(s, fx);
        };
        calls.getParameters = [this, real](audio::Handle fx, audio::ParamEq &p) {
            lines.push_back("get " + name(fx));
            return real.getParameters(fx, p);
        };
        calls.setParameters = [this, real](audio::Handle fx, const audio::ParamEq &p) {
            lines.push_back("set " + name(fx) + " " + std::to_string(std::lround(p.center)) + " "
                            + std::to_string(std::lround(p.bandwidth)) + " " + std::to_string(std::lround(p.gain)));
            return real.setParameters(fx, p);
        };
    }
};

// Seven bands put on a stream from effect `first` on, then their settings.
Lines bandsOn(const std::string &stream, int first, const std::array<int, 7> &gains)
{
    Lines lines;
    for (int b = 0; b < 7; ++b)
        lines.push_back("add " + stream + ">fx" + std::to_string(first + b));
    for (int b = 0; b < 7; ++b)
        lines.push_back("set fx" + std::to_string(first + b) + " " + std::to_string(125 << b) + " 18 "
                        + std::to_string(gains[static_cast<std::size_t>(b)]));
    return lines;
}

Lines bandsOff(const std::string &stream, int first, Lines before = {})
{
    for (int b = 0; b < 7; ++b)
        before.push_back("remove " + stream + " fx" + std::to_string(first + b));
    return before;
}

TEST(EqualizerWindow, EffectCallsFollowTheSwitchAndTheSliders)
{
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("a.wav"));
    ASSERT_TRUE(testsupport::writeWav(song, 2.0));
    audio::Engine engine;
    ASSERT_TRUE(engine.init(-1, 44100, 0));
    const audio::Handle first = engine.streamCreateFile(song.toStdString(), 0, 0, audio::kSampleFx);
    const audio::Handle second = engine.streamCreateFile(song.toStdString(), 0, 0, audio::kSampleFx);
    TEqualizer equalizer(TEffectCalls::of(engine));
    Tequalizer_form form(equalizer);
    CallLog log;
    log.wrap(equalizer.effectCalls());
    log.names = {{first, "S1"}, {second, "S2"}};
    struct Step
    {
        const char *what;
        std::function<void()> act;
        Lines calls;
    };
    const Step steps[] = {
        {"a stream while off is only remembered", [&] { form.setEqualizer(first); }, {}},
        {"sliders and Reset while off call nothing",
         [&] {
             form.f2->setValue(4);
             form.Button1->click();
             form.f1->setValue(3);
         },
         {}},
        {"switching on: seven bands, then their settings", [&] { form.active->setChecked(true); },
         bandsOn("S1", 1, {12, 0, 0, 0, 0, 0, 0})},
        {"a slider while on: its band's gain only", [&] { form.f1->setValue(0); }, {"get fx1", "set fx1 125 18 15"}},
        {"Reset: the one slider that is not flat", [&] { form.Button1->click(); }, {"get fx1", "set fx1 125 18 0"}},
        {"switching off removes all seven", [&] { form.active->setChecked(false); }, bandsOff("S1", 1)},
        {"a slider while off", [&] { form.f4->setValue(20); }, {}},
        {"switching on again: seven new bands on the same stream", [&] { form.active->setChecked(true); },
         bandsOn("S1", 8, {0, 0, 0, -5, 0, 0, 0})},
        {"stored settings: the sliders first, the switch still on, then the switch",
         [&] { form.loadDefault({15, 15, 15, 15, 15, 15, 15}, false); },
         bandsOff("S1", 8, {"get fx11", "set fx11 1000 18 0"})},
        {"a new song while off", [&] { form.setEqualizer(second); }, {}},
        {"stored settings that switch on", [&] { form.loadDefault({0, 15, 15, 15, 15, 15, 30}, true); },
         bandsOn("S2", 15, {15, 0, 0, 0, 0, 0, -15})},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(std::exchange(log.lines, {}), step.calls);
    }
}

TEST(EqualizerWindow, ClosingByTheTitleBarOrEscapeRunsTheStoredCallBack)
{
    TEqualizer equalizer({});
    Tequalizer_form form(equalizer);
    int saved = 0;
    form.setSaveFunc([&saved] { ++saved; });
    for (const bool escape : {false, true}) {
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        escape ? QTest::keyClick(&form, Qt::Key_Escape) : static_cast<void>(form.close());
        EXPECT_FALSE(form.isVisible());
    }
    EXPECT_EQ(saved, 2);
}

} // namespace
