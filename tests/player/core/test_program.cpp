// The built program as real processes: the single instance, a missing audio
// device and a screenshot of the real window under Xvfb.

#include "mediafixtures.h"
#include "options.h"
#include "rar4writer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QSet>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

constexpr int kStartTimeoutMs = 30000;

// Where the build put the program and its default files.
QString binDir()
{
    const QString fromEnvironment = qEnvironmentVariable("MELODECK_BIN_DIR");
    return fromEnvironment.isEmpty() ? QStringLiteral(MELODECK_TEST_BIN_DIR) : fromEnvironment;
}

QString programPath()
{
    return binDir() + u"/melodeck"_s;
}

QStringList readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

bool waitForLine(const QString &path, const QString &prefix, int ms = kStartTimeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        for (const QString &line : readLines(path))
            if (line.startsWith(prefix))
                return true;
        QThread::msleep(20);
    }
    return false;
}

// One started melodeck process; killed when the test ends.
class Program
{
public:
    Program(const QProcessEnvironment &environment, const QString &log)
        : log_(log)
    {
        QProcessEnvironment env = environment;
        env.insert(u"MELODECK_TEST_LOG"_s, log);
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
    }
    ~Program()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    void start(const QStringList &arguments, const QString &workingDirectory = {})
    {
        if (!workingDirectory.isEmpty())
            process_.setWorkingDirectory(workingDirectory);
        process_.start(programPath(), arguments);
        ASSERT_TRUE(process_.waitForStarted(10000)) << process_.errorString().toStdString();
    }
    bool waitShown() { return waitForLine(log_, u"shown"_s); }
    bool finishes(int ms = kStartTimeoutMs) { return process_.waitForFinished(ms); }
    int exitCode() const { return process_.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return process_.exitStatus(); }
    QStringList log() const { return readLines(log_); }
    void crash()
    {
        signal(SIGKILL);
        process_.waitForFinished(5000);
    }
    void signal(int number) { ::kill(static_cast<pid_t>(process_.processId()), number); }

private:
    QString log_;
    QProcess process_;
};

class ProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFileInfo(programPath()).isExecutable()) << programPath().toStdString();
        ASSERT_TRUE(home_.isValid() && runtime_.isValid());
        ::chmod(QFile::encodeName(runtime_.path()).constData(), 0700);
        TStringListC filter{u".mp3"_s, u"0"_s, u"0"_s, u".ogg"_s, u"0"_s, u"0"_s};
        ASSERT_TRUE(filter.SaveToFile(home_.filePath(u"filetypes.azi"_s)));
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert(u"MELODECK_HOME"_s, home_.path());
        env_.insert(u"XDG_RUNTIME_DIR"_s, runtime_.path());
        env_.insert(u"XDG_CONFIG_HOME"_s, runtime_.filePath(u"config"_s));
        env_.insert(u"XDG_DATA_HOME"_s, runtime_.filePath(u"data"_s));
        env_.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path="_s + runtime_.filePath(u"no-bus"_s));
        env_.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env_.insert(u"SDL_AUDIODRIVER"_s, u"dummy"_s);
        // The shipped skin, when the build put it beside the program.
        const QString bin = binDir();
        for (const QString &name : {u"skin.bmp"_s, u"skin.azo"_s})
            QFile::copy(bin + u'/' + name, home_.filePath(name));
    }
    QString logPath(const QString &name) const { return runtime_.filePath(name + u".log"_s); }
    QString song(const QString &relative)
    {
        const QString path = home_.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(2048, 's'));
        return path;
    }
    static QStringList linesStarting(const QStringList &lines, const QString &prefix)
    {
        QStringList result;
        for (const QString &line : lines)
            if (line.startsWith(prefix))
                result.append(line);
        return result;
    }

    QTemporaryDir home_;
    QTemporaryDir runtime_;
    QProcessEnvironment env_;
};

} // namespace

TEST_F(ProgramTest, SecondStartHandsBothFilesOverAndEndsWithoutAWindow)
{
    const QString a = song(u"music/a.mp3"_s);
    const QString b = song(u"music/b c.ogg"_s);
    Program first(env_, logPath(u"first"_s));
    first.start({});
    ASSERT_TRUE(first.waitShown());

    Program second(env_, logPath(u"second"_s));
    second.start({a, b});
    ASSERT_TRUE(second.finishes());
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(linesStarting(second.log(), u"shown"_s).isEmpty());

    // The second start returned only after the first had handled the text,
    // so the first's record is already there.
    const QStringList log = first.log();
    EXPECT_EQ(linesStarting(log, u"copyData "_s), QStringList{u"copyData |"_s + a + u"|"_s + b});
    EXPECT_EQ(linesStarting(log, u"playlist "_s), QStringList{u"playlist "_s + a + u'\t' + b});
}

TEST_F(ProgramTest, SecondStartWithoutArgumentsEndsAtOnce)
{
    Program first(env_, logPath(u"first"_s));
    first.start({});
    ASSERT_TRUE(first.waitShown());

    Program second(env_, logPath(u"second"_s));
    second.start({});
    ASSERT_TRUE(second.finishes(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.log().isEmpty());
    // Hand-overs are handled in order before their sender ends: the next
    // start's text is the first the running instance got.
    const QString a = song(u"a.mp3"_s);
    Program third(env_, logPath(u"third"_s));
    third.start({a});
    ASSERT_TRUE(third.finishes());
    EXPECT_EQ(linesStarting(first.log(), u"copyData"_s), QStringList{u"copyData |"_s + a});
}

TEST_F(ProgramTest, RelativePathsFollowTheProcessThatWasStarted)
{
    const QString own = song(u"first/own.mp3"_s);
    const QString handed = song(u"second/handed.mp3"_s);
    const QString above = song(u"above.ogg"_s);
    Program first(env_, logPath(u"first"_s));
    first.start({u"own.mp3"_s}, home_.filePath(u"first"_s));
    ASSERT_TRUE(first.waitShown());

    Program second(env_, logPath(u"second"_s));
    second.start({u"handed.mp3"_s, u"../above.ogg"_s}, home_.filePath(u"second"_s));
    ASSERT_TRUE(second.finishes());
    const QStringList log = first.log();
    EXPECT_EQ(linesStarting(log, u"copyData "_s), QStringList{u"copyData |"_s + handed + u"|"_s + above});
    EXPECT_EQ(linesStarting(log, u"playlist "_s),
              QStringList{u"playlist "_s + own + u'\t' + handed + u'\t' + above});
}

TEST_F(ProgramTest, CrashedInstanceLeavesNothingThatBlocksTheNextStart)
{
    {
        Program crashed(env_, logPath(u"crashed"_s));
        crashed.start({});
        ASSERT_TRUE(crashed.waitShown());
        crashed.crash();
    }
    Program next(env_, logPath(u"next"_s));
    next.start({});
    ASSERT_TRUE(next.waitShown());

    // Its channel works too, although the dead one's socket file was there.
    const QString a = song(u"a.mp3"_s);
    Program forward(env_, logPath(u"forward"_s));
    forward.start({a});
    ASSERT_TRUE(forward.finishes());
    EXPECT_EQ(linesStarting(next.log(), u"copyData "_s), QStringList{u"copyData |"_s + a});
}

TEST_F(ProgramTest, WithoutAnAudioDeviceTheMessageShowsAndTheProgramEnds)
{
    env_.insert(u"SDL_AUDIODRIVER"_s, u"no_such_audio_driver"_s);
    Program program(env_, logPath(u"noaudio"_s));
    program.start({song(u"a.mp3"_s)});
    ASSERT_TRUE(program.finishes());
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    const QStringList log = program.log();
    EXPECT_EQ(linesStarting(log, u"message "_s),
              QStringList{u"message Bass Initialize problem: Cannot initialize audio device."_s});
    EXPECT_TRUE(linesStarting(log, u"shown"_s).isEmpty());
}

TEST_F(ProgramTest, TerminationSignalsCloseAPlayingProgramTheNormalWay)
{
    // A song that plays from an archive, so the scratch file exists.
    const QString mp3 = runtime_.filePath(u"live.mp3"_s);
    QString error;
    ASSERT_TRUE(testsupport::writeTaggedMp3(mp3, {}, 60.0, 3, &error)) << error.toStdString();
    QFile source(mp3);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QString archive = home_.filePath(u"music/live.rar"_s);
    QDir().mkpath(QFileInfo(archive).absolutePath());
    ASSERT_TRUE(testsupport::writeRar4(archive, {{"Band - Live.mp3", source.readAll()}}));
    const QString scratch = home_.filePath(u"temp.dat"_s);

    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(number);
        const QString name = u"signal%1"_s.arg(number);
        Program program(env_, logPath(name));
        program.start({archive});
        ASSERT_TRUE(program.waitShown());
        // The command line's song started before the window was shown.
        ASSERT_TRUE(QFile::exists(scratch));
        program.signal(number);
        ASSERT_TRUE(program.finishes());
        // Killed by the signal it would be a crash; closed, it ends with 0.
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
        EXPECT_FALSE(QFile::exists(scratch));
        EXPECT_TRUE(linesStarting(program.log(), u"message "_s).isEmpty());
    }
}

// The real window on a real (virtual) X server.
TEST_F(ProgramTest, WindowRendersUnderXvfbAt600By445)
{
    const QString xvfb = QStandardPaths::findExecutable(u"Xvfb"_s);
    const QString xdotool = QStandardPaths::findExecutable(u"xdotool"_s);
    const QString importTool = QStandardPaths::findExecutable(u"import"_s);
    if (xvfb.isEmpty() || xdotool.isEmpty() || importTool.isEmpty())
        GTEST_SKIP() << "Xvfb, xdotool or ImageMagick's import is not installed";

    // A display number nobody uses.
    int display = 0;
    for (int n = 91; n < 160 && display == 0; ++n)
        if (!QFile::exists(u"/tmp/.X%1-lock"_s.arg(n)) && !QFile::exists(u"/tmp/.X11-unix/X%1"_s.arg(n)))
            display = n;
    ASSERT_NE(display, 0);
    const QString name = u":%1"_s.arg(display);
    QProcess server;
    server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server.start(xvfb, {name, u"-screen"_s, u"0"_s, u"1024x768x24"_s, u"-nolisten"_s, u"tcp"_s});
    ASSERT_TRUE(server.waitForStarted(5000));
    struct StopServer
    {
        QProcess &p;
        ~StopServer()
        {
            p.terminate();
            if (!p.waitForFinished(5000))
                p.kill();
        }
    } stopServer{server};
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(u"/tmp/.X11-unix/X%1"_s.arg(display)) && clock.elapsed() < 10000)
        QThread::msleep(20);
    ASSERT_TRUE(QFile::exists(u"/tmp/.X11-unix/X%1"_s.arg(display)));

    TStringListC filter{u".wav"_s, u"0"_s, u"0"_s};
    ASSERT_TRUE(filter.SaveToFile(home_.filePath(u"filetypes.azi"_s)));
    env_.insert(u"DISPLAY"_s, name);
    env_.insert(u"QT_QPA_PLATFORM"_s, u"xcb"_s);
    env_.remove(u"WAYLAND_DISPLAY"_s);
    Program program(env_, logPath(u"x11"_s));
    program.start({});
    ASSERT_TRUE(program.waitShown());

    QProcessEnvironment toolEnv = QProcessEnvironment::systemEnvironment();
    toolEnv.insert(u"DISPLAY"_s, name);
    auto run = [&toolEnv](const QString &tool, const QStringList &arguments) {
        QProcess p;
        p.setProcessEnvironment(toolEnv);
        p.start(tool, arguments);
        p.waitForFinished(10000);
        return p.readAllStandardOutput();
    };
    QString window;
    clock.restart();
    while (window.isEmpty() && clock.elapsed() < 10000) {
        window = QString::fromUtf8(run(xdotool, {u"search"_s, u"--onlyvisible"_s, u"--name"_s, u"^Melodeck$"_s}))
                     .split(u'\n', Qt::SkipEmptyParts)
                     .value(0);
        if (window.isEmpty())
            QThread::msleep(50);
    }
    ASSERT_FALSE(window.isEmpty());
    const QString geometry = QString::fromUtf8(run(xdotool, {u"getwindowgeometry"_s, window}));
    EXPECT_TRUE(geometry.contains(u"Geometry: 600x445"_s)) << geometry.toStdString();

    // A screenshot of the window: the skin must be there, not a blank area.
    // The first paint may still be on its way to the server, so look again
    // for a while before calling it blank.
    ASSERT_TRUE(waitForLine(logPath(u"x11"_s), u"painted"_s));
    const QString shotPath = runtime_.filePath(u"shot.png"_s);
    QImage shot;
    qsizetype colourCount = 0;
    clock.restart();
    while (colourCount <= 50 && clock.elapsed() < 10000) {
        run(importTool, {u"-window"_s, window, shotPath});
        shot = QImage(shotPath);
        QSet<QRgb> colours;
        for (int y = 0; y < 260 && y < shot.height(); y += 3)
            for (int x = 0; x < shot.width(); x += 3)
                colours.insert(shot.pixel(x, y));
        colourCount = colours.size();
        if (colourCount <= 50)
            QThread::msleep(100);
    }
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), QSize(600, 445));
    EXPECT_GT(colourCount, 50);

    // A song handed over starts, and the title bar shows its title alone,
    // with nothing appended.
    const QString tone = home_.filePath(u"tone.wav"_s);
    ASSERT_TRUE(testsupport::writeWav(tone, 1.0));
    Program second(env_, logPath(u"x11-second"_s));
    second.start({tone});
    ASSERT_TRUE(second.finishes());
    auto title = [&] { return QString::fromUtf8(run(xdotool, {u"getwindowname"_s, window})).trimmed(); };
    clock.restart();
    while (title() != u"tone.wav"_s && clock.elapsed() < 10000)
        QThread::msleep(50);
    EXPECT_EQ(title(), u"tone.wav"_s);
}
