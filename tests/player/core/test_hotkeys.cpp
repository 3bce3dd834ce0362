// The global hot keys of the shipped skin on a private X server. Keys are
// typed with xdotool (XTEST) while another program's window has the focus;
// the tests run key_monitor's tick themselves once the keys have come in.

#include "az_volume_bar.h"
#include "keyboardcontrol.h"
#include "tabcontrol.h"
#include "test_play_support.h"

#include <QLineEdit>
#include <QStandardPaths>

#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

// The X headers define macros such as None and Bool; they come last.
#include <X11/Xlib.h>

using namespace Qt::StringLiterals;

namespace {

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
        TSkinSettings settings = TSkinSettings::defaults(); // keys: Next, Prior, Pause, End, minus, plus
        settings.hotKeysOn = true;
        settings.spectrumOn = false;
        writeSkin(settings);
        start();
        ASSERT_TRUE(window_->keyboard().keyState().global());
        ASSERT_TRUE(window_->key_monitor.isActive());
        window_->key_monitor.stop(); // the test ticks
    }
    // Steps: "tick", "reload" (the skin editor closing), "drag" (the volume
    // grip held at 52) or an xdotool command, after which the test waits for
    // its first press to come in.
    void run(const QStringList &steps)
    {
        TKeyState &keys = window_->keyboard().keyState();
        for (const QString &step : steps) {
            if (step == u"tick"_s) {
                window_->key_monitorTimer();
            } else if (step == u"reload"_s) {
                window_->loadSkin(true);
                window_->key_monitor.stop();
            } else if (step == u"drag"_s) {
                window_->Image1MouseDown(Qt::LeftButton, {}, 568, 24);
            } else {
                const quint64 before = keys.pressesSeen();
                ASSERT_EQ(QProcess::execute(u"xdotool"_s, step.split(u' ')), 0) << qPrintable(step);
                ASSERT_TRUE(step.startsWith(u"keyup"_s) || QTest::qWaitFor([&] {
                    keys.readEvents();
                    return keys.pressesSeen() > before;
                })) << qPrintable(step);
            }
        }
        window_->Image1MouseUp(Qt::LeftButton, {}, 568, 24);
    }
};

TEST_F(HotKeyTest, VolumeKeysActOncePerTickWhileAnotherProgramHasTheFocus)
{
    // Another program's window takes the keyboard.
    Display *display = XOpenDisplay(nullptr);
    const Window other = XCreateSimpleWindow(display, XDefaultRootWindow(display), 0, 0, 200, 100, 0, 0, 0);
    XSelectInput(display, other, StructureNotifyMask);
    XMapWindow(display, other);
    for (XEvent event{}; event.type != MapNotify;)
        XNextEvent(display, &event);
    XSetInputFocus(display, other, RevertToParent, CurrentTime);
    const auto focused = [&] {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        return focus == other;
    };
    ASSERT_TRUE(focused());

    const struct
    {
        const char *what;
        int start;
        QStringList steps;
        int volume;
    } rows[] = {
        {"a press between two ticks acts once", 0, {u"key plus"_s, u"tick"_s, u"tick"_s}, 10},
        {"two presses between two ticks act once", 0, {u"key plus plus"_s, u"tick"_s}, 10},
        {"a held key acts on every tick", 0,
         {u"keydown plus"_s, u"tick"_s, u"tick"_s, u"tick"_s, u"keyup plus"_s, u"tick"_s}, 30},
        {"a press before the hot keys start is dropped", 0, {u"key plus"_s, u"reload"_s, u"tick"_s}, 0},
        {"up from 95 stops at the maximum", 95, {u"key plus"_s, u"tick"_s}, 100},
        {"up from 100 stays", 100, {u"key plus"_s, u"tick"_s}, 100},
        {"down from 5 stops at the minimum", 5, {u"key minus"_s, u"tick"_s}, 0},
        {"a dragged grip stays where the mouse holds it", 50, {u"drag"_s, u"key plus"_s, u"tick"_s}, 52},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        window_->setVolume(row.start);
        window_->volumeBar()->setPosition(row.start);
        run(row.steps);
        EXPECT_EQ(window_->volumeBar()->position(), row.volume);
        EXPECT_EQ(std::lround(window_->engine().getVolume() * 100.0f), row.volume);
    }
    EXPECT_TRUE(focused());
    EXPECT_TRUE(window_->search_q->text().isEmpty());
    XCloseDisplay(display);
}

TEST_F(HotKeyTest, TransportKeysAndNextInRandomMode)
{
    for (const QString &name : {u"one.mp3"_s, u"two.mp3"_s, u"three.mp3"_s})
        addRow(window_->playlist, song(name, 60.0), name);
    window_->playSong(0, true);
    ASSERT_TRUE(waitForRow(0));
    const struct
    {
        const char *key;
        int row;
        bool playing;
        bool stopEnabled;
    } rows[] = {
        {"Next", 1, true, true},   {"Prior", 0, true, true},  {"Prior", 2, true, true},
        {"Pause", 2, false, true}, {"Pause", 2, true, true}, {"End", 2, false, false},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.key);
        run({u"key "_s + QString::fromLatin1(row.key), u"tick"_s});
        EXPECT_EQ(window_->currentIndex, row.row);
        EXPECT_EQ(playing(), row.playing);
        EXPECT_EQ(window_->button_stop->isEnabled(), row.stopEnabled);
    }

    // In random mode the next key plays the song the generator picks.
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

// Starts Xvfb on a display number it picks itself (so parallel tests never
// race for one); returns its process and sets $DISPLAY, or returns 0.
pid_t startXvfb()
{
    const QByteArray program = QStandardPaths::findExecutable(u"Xvfb"_s).toLocal8Bit();
    int ready[2];
    if (program.isEmpty() || ::pipe(ready) != 0)
        return 0;
    const QByteArray fd = QByteArray::number(ready[1]);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
        ::execl(program.constData(), program.constData(), "-displayfd", fd.constData(), "-nolisten", "tcp",
                static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(ready[1]);
    // The number comes once the server accepts clients; the pipe ends
    // without one when it fails.
    QByteArray number;
    for (char c = 0; pid > 0 && ::read(ready[0], &c, 1) == 1 && c != '\n';)
        number.append(c);
    ::close(ready[0]);
    if (number.isEmpty())
        return 0;
    qputenv("DISPLAY", ':' + number);
    return pid;
}

} // namespace

int main(int argc, char **argv)
{
    // Listing the tests needs no server.
    const bool listing = argc > 1 && qstrcmp(argv[1], "--gtest_list_tests") == 0;
    const pid_t server = listing ? 0 : startXvfb();
    qputenv("QT_QPA_PLATFORM", server > 0 ? "xcb" : "offscreen");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
    int result = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    if (server > 0) {
        ::kill(server, SIGTERM);
        ::waitpid(server, nullptr, 0);
    }
    return result;
}
