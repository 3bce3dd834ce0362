// The built program's library scan, as real processes: the first run's
// dialog and scan, and directories handed over on the command line.

#include "basedirectories.h"
#include "options.h"
#include "scanner.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

constexpr int kWaitMs = 30000;

QString binDir()
{
    const QString fromEnvironment = qEnvironmentVariable("MELODECK_BIN_DIR");
    return fromEnvironment.isEmpty() ? QStringLiteral(MELODECK_TEST_BIN_DIR) : fromEnvironment;
}

bool waitFor(const std::function<bool()> &condition, int ms = kWaitMs)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        if (condition())
            return true;
        QThread::msleep(20);
    }
    return condition();
}

class ScanProgramTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFileInfo(program()).isExecutable()) << program().toStdString();
        ASSERT_TRUE(home_.isValid() && runtime_.isValid());
        ::chmod(QFile::encodeName(runtime_.path()).constData(), 0700);
        TStringListC filter{u".mp3"_s, u"0"_s, u"0"_s, u".ogg"_s, u"0"_s, u"0"_s};
        ASSERT_TRUE(filter.SaveToFile(home() + u"filetypes.azi"_s));
        for (const QString &name : {u"skin.bmp"_s, u"skin.azo"_s})
            QFile::copy(binDir() + u'/' + name, home() + name);
        env_ = QProcessEnvironment::systemEnvironment();
        env_.insert(u"MELODECK_HOME"_s, home_.path());
        env_.insert(u"MELODECK_TEST_LOG"_s, log());
        env_.insert(u"XDG_RUNTIME_DIR"_s, runtime_.path());
        env_.insert(u"XDG_CONFIG_HOME"_s, runtime_.filePath(u"config"_s));
        env_.insert(u"XDG_DATA_HOME"_s, runtime_.filePath(u"data"_s));
        env_.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, u"unix:path="_s + runtime_.filePath(u"no-bus"_s));
        env_.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env_.insert(u"SDL_AUDIODRIVER"_s, u"dummy"_s);
    }
    void TearDown() override
    {
        for (QProcess *process : {&first_, &second_}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
    }
    static QString program() { return binDir() + u"/melodeck"_s; }
    QString home() const { return home_.path() + u'/'; }
    QString log() const { return runtime_.filePath(u"events.log"_s); }
    QStringList logLines() const
    {
        QFile file(log());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    bool logHas(const QString &prefix) const
    {
        const QStringList lines = logLines();
        return std::any_of(lines.begin(), lines.end(), [&](const QString &l) { return l.startsWith(prefix); });
    }
    QString song(const QString &relative) const
    {
        const QString path = home() + relative;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(2048, 's'));
        return path;
    }
    void run(QProcess &process, const QStringList &arguments)
    {
        process.setProcessEnvironment(env_);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(program(), arguments);
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    QTemporaryDir home_;
    QTemporaryDir runtime_;
    QProcessEnvironment env_;
    QProcess first_;
    QProcess second_;
};

} // namespace

TEST_F(ScanProgramTest, FirstRunAsksForTheFolderAndSavesAnEmptyListWhenNoneIsGiven)
{
    song(u"music/a.mp3"_s);
    run(first_, {});
    ASSERT_TRUE(waitFor([this] { return logHas(u"dialog Choose Directory"_s); }));
    // The dialog closes itself in test runs, as if cancelled.
    ASSERT_TRUE(waitFor([this] { return QFile::exists(home() + kSongListFileName); }));
    EXPECT_TRUE(waitFor([this] { return QFileInfo(home() + kSongListFileName).size() == 0; }));
    EXPECT_FALSE(QFile::exists(baseDirectoriesFile(home())));
    EXPECT_EQ(first_.state(), QProcess::Running);
}

TEST_F(ScanProgramTest, StoredLibraryIsLoadedAndAForwardedDirectoryFillsThePlaylist)
{
    const QString music = home() + u"music"_s;
    const QString known = song(u"music/known.mp3"_s);
    saveBaseDirectories({music}, home());
    TFileInfos stored;
    stored.appendRow(known, {}, {}, u"Known"_s, {});
    stored.saveTable(home() + kSongListFileName);
    const QString one = song(u"album/one.mp3"_s);
    const QString two = song(u"album/cd2/two.ogg"_s);
    song(u"album/cover.jpg"_s);

    run(first_, {});
    ASSERT_TRUE(waitFor([this] { return logHas(u"shown"_s); }));
    run(second_, {home() + u"album"_s});
    ASSERT_TRUE(second_.waitForFinished(kWaitMs));
    ASSERT_TRUE(waitFor([this] { return logHas(u"playlist "_s); }));
    QStringList playlist;
    for (const QString &line : logLines())
        if (line.startsWith(u"playlist "_s))
            playlist = line.mid(9).split(u'\t');
    playlist.sort();
    QStringList expected{one, two};
    expected.sort();
    EXPECT_EQ(playlist, expected);
    // Loading at start-up asks nothing and writes nothing.
    EXPECT_FALSE(logHas(u"dialog "_s));
    TFileInfos after;
    after.loadTable(home() + kSongListFileName);
    EXPECT_EQ(after.filename, QStringList{known});
}
