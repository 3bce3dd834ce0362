// The global hot keys of the shipped skin on a private X server. Keys are
// typed with xdotool (XTEST) while another program's window has the focus;
// the tests run key_monitor's tick themselves once the keys have come in.

#include "az_volume_bar.h"
#include "dialogs.h"
#include "keyboardcontrol.h"
#include "mpris_support.h"
#include "tabcontrol.h"
#include "test_play_support.h"
#include "tskin_editor_form.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QStandardPaths>

#include <chrono>
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

// A desktop that owns the media keys sends a media-player request for each
// press. Where the same key is also a hot key, the press acts once, whichever
// of the request and key_monitor's tick comes first.
TEST_F(HotKeyTest, AMediaKeyThatIsAlsoAHotKeyActsOncePerPress)
{
    PrivateBus bus;
    ASSERT_TRUE(bus.start());
    TSkinSettings settings = TSkinSettings::defaults();
    settings.hotKeys[HotKey::Next] = 176; // the media keys; stop stays End
    settings.hotKeys[HotKey::PlayPause] = 179;
    settings.hotKeysOn = true;
    writeSkin(settings);
    window_->loadSkin(true);
    window_->key_monitor.start(std::chrono::hours(1)); // on, but the test ticks
    ASSERT_TRUE(mpristest::publish(*window_, bus));
    addRow(window_->playlist, song(u"one.mp3"_s, 60.0), u"one"_s);
    addRow(window_->playlist, song(u"two.mp3"_s, 60.0), u"two"_s);
    window_->playSong(0, true);
    ASSERT_TRUE(waitForRow(0));
    const struct
    {
        const char *what;
        QStringList steps;
        int row;
        bool playing;
    } rows[] = {
        {"the request before the tick", {u"key XF86AudioPlay"_s, u"PlayPause"_s, u"tick"_s}, 0, false},
        {"the request after the tick", {u"key XF86AudioPlay"_s, u"tick"_s, u"PlayPause"_s}, 0, true},
        {"a request without a press, a tick later", {u"tick"_s, u"PlayPause"_s}, 0, false},
        {"next", {u"key XF86AudioNext"_s, u"Next"_s, u"tick"_s}, 1, true},
        {"a media key that is no hot key", {u"key XF86AudioStop"_s, u"Stop"_s, u"tick"_s}, 1, false},
        {"the hot keys resting", {u"rest"_s, u"key XF86AudioPlay"_s, u"PlayPause"_s}, 1, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        for (const QString &step : row.steps) {
            if (step == u"rest"_s)
                window_->key_monitor.stop();
            else if (step.front().isUpper()) // the desktop's request
                mpristest::call(*window_, bus, step);
            else
                run({step});
        }
        EXPECT_EQ(window_->currentIndex, row.row);
        EXPECT_EQ(playing(), row.playing);
    }

    // While the skin editor is open the hot keys rest, and so do requests
    // for their keys: the user may be pressing one to choose it. Requests
    // for other keys act, unless a hot-key field has the focus.
    const TDialogs dialogs = createDialogs(*window_);
    Tskin_editor_form *editor = dialogs.skin_editor_form;
    const struct
    {
        const char *what;
        const char *request;
        bool choosing;
        bool playing;
    } inEditor[] = {
        {"a hot key's request", "PlayPause", false, true},
        {"another key's request while a key is chosen", "Stop", true, true},
        {"another key's request", "Stop", false, false},
    };
    bool ran = false;
    QTimer::singleShot(0, editor, [&] {
        for (const auto &row : inEditor) {
            SCOPED_TRACE(row.what);
            if (row.choosing)
                editor->next->setFocus();
            else
                editor->bmppath->setFocus();
            mpristest::call(*window_, bus, QString::fromLatin1(row.request));
            EXPECT_EQ(window_->currentIndex, 1);
            EXPECT_EQ(playing(), row.playing);
        }
        ran = true;
        editor->reject();
    });
    window_->Button1Click();
    EXPECT_TRUE(ran);
    // Closed, the editor's hot keys act again.
    window_->button_playpauseClick();
    ASSERT_TRUE(playing());
    run({u"key XF86AudioPlay"_s});
    mpristest::call(*window_, bus, u"PlayPause"_s);
    EXPECT_TRUE(playing());
}

// A key chosen in the skin editor's field is the key the hot keys then
// watch, on a US, a German and a French layout, the number pad and the keys
// beyond the usual ones included. Each row chooses the key for volume up
// with a real press and release, then lets key_monitor tick on that press.
TEST_F(HotKeyTest, AKeyChosenInTheSkinEditorIsTheKeyThatActs)
{
    if (QStandardPaths::findExecutable(u"setxkbmap"_s).isEmpty())
        GTEST_SKIP() << "setxkbmap is not installed";
    const TDialogs dialogs = createDialogs(*window_);
    Tskin_editor_form *editor = dialogs.skin_editor_form;
    editor->show();
    editor->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(editor));
    editor->volup->setFocus();
    const struct
    {
        const char *layout;
        const char *key; // a key symbol, or a key code where the layout has
                         // the symbol on a second key
        int code;
        const char16_t *shown;
    } rows[] = {
        {"us", "equal", 187, u"+"},
        {"us", "bracketleft", 219, u"\u00DF"},
        {"us", "grave", 192, u"\u00F6"},
        {"us", "191", 124, u"UNKNOWN_KEY (124)"}, // F13, whose symbol is XF86Tools
        {"us", "Print", 44, u"UNKNOWN_KEY (44)"},
        {"us", "Menu", 93, u"UNKNOWN_KEY (93)"},
        {"us", "Scroll_Lock", 145, u"UNKNOWN_KEY (145)"},
        {"us", "XF86AudioPrev", 177, u"UNKNOWN_KEY (177)"},
        {"us", "KP_Add", 107, u"UNKNOWN_KEY (107)"},
        {"us", "KP_End", 97, u"UNKNOWN_KEY (97)"}, // Num Lock off: the pad's 1
        {"de", "49", 220, u"^"}, // the dead key left of 1, by its key code
        {"de", "dead_acute", 221, u"\u00B4"},
        {"de", "udiaeresis", 186, u"\u00FC"},
        {"de", "numbersign", 191, u"#"},
        {"fr", "ugrave", 222, u"\u00E4"}, // no code of its own: the US key's
    };
    QString layout;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.key);
        if (layout != QLatin1StringView(row.layout)) {
            layout = QLatin1StringView(row.layout);
            ASSERT_EQ(QProcess::execute(u"setxkbmap"_s, {layout}), 0);
        }
        window_->setVolume(50);
        window_->volumeBar()->setPosition(50);
        run({u"key "_s + QLatin1StringView(row.key)});
        const QString shown = QString::fromUtf16(row.shown);
        EXPECT_TRUE(QTest::qWaitFor([&] { return editor->volup->text() == shown; })) << qPrintable(editor->volup->text());
        EXPECT_EQ(window_->hotKeys()[HotKey::VolumeUp], row.code);
        window_->key_monitorTimer();
        EXPECT_EQ(window_->volumeBar()->position(), 60);
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
