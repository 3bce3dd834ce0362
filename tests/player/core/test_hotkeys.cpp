// The global hot keys of the shipped skin on a private X server. Keys are
// typed with xdotool (XTEST) while another program's window has the focus;
// the tests run key_monitor's tick themselves once the keys have come in.

#include "az_volume_bar.h"
#include "keyboardcontrol.h"
#include "tabcontrol.h"
#include "test_play_support.h"
#include "xvfbserver.h"

#include <QLineEdit>
#include <QStandardPaths>

#include <cmath>

// The X headers define macros such as None and Bool; they come last.
#include <X11/Xlib.h>

using namespace Qt::StringLiterals;

namespace {

// A window of another program, holding the keyboard focus.
class ForeignWindow
{
public:
    ForeignWindow() : display_(XOpenDisplay(nullptr))
    {
        window_ = XCreateSimpleWindow(display_, XDefaultRootWindow(display_), 0, 0, 200, 100, 0, 0, 0);
        XSelectInput(display_, window_, StructureNotifyMask);
        XMapWindow(display_, window_);
        XEvent event;
        do
            XNextEvent(display_, &event);
        while (event.type != MapNotify);
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        XSync(display_, False);
    }
    ~ForeignWindow() { XCloseDisplay(display_); }
    bool hasFocus() const
    {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display_, &focus, &revert);
        return focus == window_;
    }

private:
    Display *display_;
    Window window_ = 0;
};

class HotKeyTest : public playtest::PlayFixture
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != u"xcb"_s)
            GTEST_SKIP() << "Xvfb is not installed";
        if (QStandardPaths::findExecutable(u"xdotool"_s).isEmpty())
            GTEST_SKIP() << "xdotool is not installed";
        PlayFixture::SetUp();
        TSkinSettings settings = TSkinSettings::defaults();
        settings.hotKeysOn = true;
        settings.spectrumOn = false;
        writeSkin(settings);
        start();
        ASSERT_TRUE(keys().global());
        ASSERT_TRUE(window_->key_monitor.isActive());
        // The test runs the ticks itself.
        window_->key_monitor.stop();
    }
    TKeyState &keys() { return window_->keyboard().keyState(); }
    // Runs steps: "tick", "reload" (the skin editor closing) or an xdotool
    // command line, after which the test waits until its first press is in.
    void run(const QStringList &steps)
    {
        for (const QString &step : steps) {
            if (step == u"tick"_s) {
                window_->key_monitorTimer();
            } else if (step == u"reload"_s) {
                window_->loadSkin(true);
                window_->key_monitor.stop();
            } else {
                const quint64 before = keys().pressesSeen();
                ASSERT_EQ(QProcess::execute(u"xdotool"_s, step.split(u' ')), 0) << qPrintable(step);
                if (!step.startsWith(u"keyup"_s)) {
                    ASSERT_TRUE(QTest::qWaitFor([&] {
                        keys().readEvents();
                        return keys().pressesSeen() > before;
                    })) << qPrintable(step);
                }
            }
        }
    }
    void setVolume(int percent)
    {
        window_->setVolume(percent);
        window_->volumeBar()->setPosition(percent);
    }
    int volume() const { return window_->volumeBar()->position(); }
    int engineVolume() { return static_cast<int>(std::lround(window_->engine().getVolume() * 100.0f)); }
};

TEST_F(HotKeyTest, KeysActOncePerTickWhileAnotherProgramHasTheFocus)
{
    const ForeignWindow other;
    ASSERT_TRUE(other.hasFocus());
    const struct
    {
        const char *what;
        QStringList steps;
        int volume;
    } rows[] = {
        {"a press between two ticks acts once", {u"key plus"_s, u"tick"_s, u"tick"_s}, 10},
        {"two presses between two ticks act once", {u"key plus plus"_s, u"tick"_s}, 10},
        {"a held key acts on every tick",
         {u"keydown plus"_s, u"tick"_s, u"tick"_s, u"tick"_s, u"keyup plus"_s, u"tick"_s}, 30},
        {"a press before the hot keys start is dropped", {u"key plus"_s, u"reload"_s, u"tick"_s}, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        setVolume(0);
        run(row.steps);
        EXPECT_EQ(volume(), row.volume);
        EXPECT_EQ(engineVolume(), row.volume);
    }
    EXPECT_TRUE(other.hasFocus());
    EXPECT_TRUE(window_->search_q->text().isEmpty());
}

TEST_F(HotKeyTest, VolumeStaysWithinTheBarAndFollowsADraggedGrip)
{
    const struct
    {
        int start;
        const char16_t *key;
        int dragX; // 0: no drag
        int volume;
    } rows[] = {
        {95, u"key plus", 0, 100}, {100, u"key plus", 0, 100}, {5, u"key minus", 0, 0},
        {0, u"key minus", 0, 0},   {50, u"key plus", 568, 52},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.start);
        setVolume(row.start);
        if (row.dragX)
            window_->Image1MouseDown(Qt::LeftButton, {}, row.dragX, 24);
        run({QString::fromUtf16(row.key), u"tick"_s});
        EXPECT_EQ(volume(), row.volume);
        EXPECT_EQ(engineVolume(), row.volume);
        window_->Image1MouseUp(Qt::LeftButton, {}, row.dragX, 24);
    }
}

TEST_F(HotKeyTest, TransportKeysAndNextInRandomMode)
{
    for (const QString &name : {u"one.mp3"_s, u"two.mp3"_s, u"three.mp3"_s})
        addRow(window_->playlist, song(name, 60.0), name);
    window_->playSong(0, true);
    ASSERT_TRUE(waitForRow(0));
    const struct
    {
        const char16_t *key;
        int row;
        bool playing;
        bool stopEnabled;
    } rows[] = {
        {u"Next", 1, true, true},   {u"Prior", 0, true, true},  {u"Prior", 2, true, true},
        {u"Pause", 2, false, true}, {u"Pause", 2, true, true}, {u"End", 2, false, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(QString::fromUtf16(row.key).toStdString());
        run({u"key "_s + QString::fromUtf16(row.key), u"tick"_s});
        EXPECT_EQ(window_->currentIndex, row.row);
        EXPECT_EQ(playing(), row.playing);
        EXPECT_EQ(window_->button_stop->isEnabled(), row.stopEnabled);
    }

    // In random mode the next key picks the song the generator gives.
    window_->randomMode = true;
    window_->random().seed(7);
    for (int i = 0; i < 4; ++i) {
        std::mt19937 generator = window_->random();
        const int expected = std::uniform_int_distribution<int>(0, 2)(generator);
        run({u"key Next"_s, u"tick"_s});
        EXPECT_EQ(window_->currentIndex, expected);
        EXPECT_TRUE(window_->randomMode);
        EXPECT_TRUE(playing());
    }
}

} // namespace

// A private X server for the whole process; listing the tests needs none.
int main(int argc, char **argv)
{
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || qstrcmp(argv[i], "--gtest_list_tests") == 0;
    TXvfbServer server;
    if (!listing && server.start()) {
        qputenv("DISPLAY", server.display().toLocal8Bit());
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        qunsetenv("DISPLAY");
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
