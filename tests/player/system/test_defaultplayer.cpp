// The file-type take-over and reset against private XDG folders, with a
// user mimeapps.list that other programs and the user's hand have filled.

#include "defaultplayer.h"
#include "mimeappslist.h"
#include "options.h"
#include "regfileext.h"
#include "xdgapplications.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '"' << bytes.toPercentEncoding(" #[]=;/-_.").toStdString() << '"';
}

namespace {

const QByteArray kOriginalList = "# Chosen by hand; the player keeps this comment.\n"
                                 "[Default Applications]\n"
                                 "audio/mpeg=vlc.desktop;\n"
                                 "audio/x-wav = audacious.desktop;mpv.desktop;\n"
                                 "video/mp4=mpv.desktop;\n"
                                 "X-Unknown-Key=anything\n"
                                 "this line means nothing\n"
                                 "\n"
                                 "[Added Associations]\n"
                                 "audio/mpeg=vlc.desktop;audacious.desktop;\n"
                                 "audio/ogg=audacious.desktop;\n"
                                 "\n"
                                 "[X-Another Program]\n"
                                 "audio/ogg=strange.desktop\n";
// What each type pointed to before: ".mp2" and ".wma" through the
// system-wide list, ".ogg" nowhere.
const QStringList kPrevious{u"vlc.desktop"_s, u"audacious.desktop"_s, u"audacious.desktop"_s, u"mpv.desktop"_s,
                            u""_s};
const QString kOurs = u"melodeck_file_.desktop"_s;
const QString kAllReset = u"Done: All default music devices have been reset."_s;

QString question(const QString &extension)
{
    return u"Warning: Melodeck is not the default device for playing \""_s + extension
           + u"\"-files. Do you want to set it as default?"_s;
}
const QString kRestartQuestion = u"Update: The system has changed. It needs to restart to make the changes take "
                                 u"effect. Do you want to restart now?"_s;

void writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(path.section(u'/', 0, -2));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class DefaultPlayerTest : public ::testing::Test
{
protected:
    // Fresh folders for each case.
    void prepare()
    {
        root_ = std::make_unique<QTemporaryDir>();
        ASSERT_TRUE(root_->isValid());
        asked_.clear();
        told_.clear();
        restarts_ = 0;
        settingsLines_.clear();
        const QByteArray root = QFile::encodeName(root_->path());
        qputenv("XDG_CONFIG_HOME", root + "/config");
        qputenv("XDG_DATA_HOME", root + "/data");
        qputenv("XDG_CONFIG_DIRS", root + "/etc");
        // The system folder brings the shared MIME database.
        qputenv("XDG_DATA_DIRS", root + "/usr:/usr/share");
        qunsetenv("XDG_CURRENT_DESKTOP");
        for (const char *app : {"vlc", "audacious", "mpv"})
            install(root_->path() + u"/usr/applications/"_s, QString::fromLatin1(app));
        writeFile(root_->path() + u"/etc/mimeapps.list"_s, "[Default Applications]\naudio/x-ms-wma=mpv.desktop;\naudio/mp2=audacious.desktop\n");
        writeFile(userList(), kOriginalList);
        for (int i = 0; i < 26; ++i)
            settingsLines_.append(i >= 10 && i < 15 ? kFileTypeNotSet : u"line "_s + QString::number(i));
        ASSERT_TRUE(TStringListC(settingsLines_).SaveToFile(settingsFile()));
        // Quotes, a dollar and blanks in the path must survive the Exec line.
        programPath_ = root_->path() + u"/My \"Music\" $HOME/melodeck"_s;
    }

    static void install(const QString &dir, const QString &name)
    {
        writeFile(dir + name + u".desktop"_s,
                  "[Desktop Entry]\nType=Application\nName=" + name.toUtf8() + "\nExec=" + name.toUtf8() + " %U\n");
    }
    static QString userList() { return Xdg::userMimeAppsPath(); }
    static QString classFile() { return Xdg::userApplicationsDir() + u'/' + kOurs; }
    QString settingsFile() const { return root_->path() + u"/skin.azo"_s; }
    QStringList settings() const
    {
        TStringListC lines;
        lines.LoadFromFile(settingsFile());
        return lines;
    }

    // A player whose questions take the next scripted answer.
    TDefaultPlayer player(QStringList answers)
    {
        TDefaultPlayerSetup setup;
        setup.programPath = programPath_;
        setup.icon = u"melodeck"_s;
        setup.settingsFile = settingsFile();
        setup.settingsDefaults = settingsLines_;
        setup.ask = [this, answers](const QString &title, const QString &text, bool) mutable {
            asked_.append(title + u": "_s + text);
            return !answers.isEmpty() && answers.takeFirst() == u"yes"_s;
        };
        setup.tell = [this](TNoticeKind kind, const QString &text) {
            told_.append((kind == TNoticeKind::Done ? u"Done: "_s : u"Problem: "_s) + text);
        };
        setup.restart = [this] { ++restarts_; };
        return TDefaultPlayer(std::move(setup));
    }
    QStringList takeAsked() { return std::exchange(asked_, {}); }
    QStringList takeTold() { return std::exchange(told_, {}); }

    std::unique_ptr<QTemporaryDir> root_;
    QStringList settingsLines_;
    QString programPath_;
    QStringList asked_;
    QStringList told_;
    int restarts_ = 0;
};

} // namespace

TEST_F(DefaultPlayerTest, TakeOverAskNothingMoreAndResetEveryType)
{
    struct Case
    {
        const char *name;
        QStringList answers; // five types, then the restart question
        std::array<bool, 5> taken;
    };
    const Case cases[] = {
        {"only .ogg", {u"no"_s, u"no"_s, u"no"_s, u"no"_s, u"yes"_s, u"no"_s}, {false, false, false, false, true}},
        {"all five, restart", {u"yes"_s, u"yes"_s, u"yes"_s, u"yes"_s, u"yes"_s, u"yes"_s}, {true, true, true, true, true}},
        {"no to all", {u"no"_s, u"no"_s, u"no"_s, u"no"_s, u"no"_s}, {false, false, false, false, false}},
    };
    const QStringList &extensions = musicFileExtensions();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        prepare();
        player(c.answers).checkDefaultPlayer(true);
        QStringList expectedQuestions;
        for (const QString &extension : extensions)
            expectedQuestions.append(question(extension));
        const bool any = std::find(c.taken.begin(), c.taken.end(), true) != c.taken.end();
        if (any)
            expectedQuestions.append(kRestartQuestion);
        EXPECT_EQ(takeAsked(), expectedQuestions);
        EXPECT_EQ(restarts_, c.answers.value(5) == u"yes"_s ? 1 : 0);
        EXPECT_EQ(takeTold(), QStringList());

        QStringList expectedSettings = settingsLines_;
        QStringList secondQuestions;
        for (qsizetype i = 0; i < 5; ++i) {
            const bool taken = c.taken[static_cast<std::size_t>(i)];
            if (taken)
                expectedSettings[10 + i] = kPrevious[i];
            else
                secondQuestions.append(question(extensions[i]));
            EXPECT_EQ(readFileClass(extensions[i]), taken ? kOurs : kPrevious[i]) << extensions[i].toStdString();
            if (taken) {
                EXPECT_EQ(readOpenCommand(extensions[i], kOpenVerb), playerCommand(programPath_));
            }
        }
        EXPECT_EQ(settings(), expectedSettings);
        EXPECT_EQ(QFile::exists(classFile()), any);
        if (!any) {
            EXPECT_EQ(readFile(userList()), kOriginalList);
        }

        // The next start asks only about the types the player still lacks.
        player({}).checkDefaultPlayer(true);
        EXPECT_EQ(takeAsked(), secondQuestions);
        player({u"yes"_s}).checkDefaultPlayer(false);
        EXPECT_EQ(takeAsked(), QStringList());

        TDefaultPlayer resetter = player({});
        std::array<QString, 5> stored = resetter.storedFileTypes();
        EXPECT_TRUE(resetter.resetFileTypes(stored));
        EXPECT_EQ(takeTold(), QStringList{kAllReset});
        for (const QString &value : stored)
            EXPECT_EQ(value, kFileTypeNotSet);
        EXPECT_EQ(settings(), settingsLines_);
        EXPECT_EQ(readFile(userList()), kOriginalList);
        EXPECT_FALSE(QFile::exists(classFile()));
        for (qsizetype i = 0; i < 5; ++i)
            EXPECT_EQ(readFileClass(extensions[i]), kPrevious[i]);
    }
}

TEST_F(DefaultPlayerTest, ResetAfterTheTypesChangedSince)
{
    struct Case
    {
        const char *name;
        std::function<void()> change;
        bool complete;
        std::function<void()> check;
    };
    const auto other = []() -> QString { return Xdg::userApplicationsDir() + u"/other.desktop"_s; };
    auto setUserDefault = [](const QString &type, const QByteArray &value) {
        TMimeAppsList list;
        ASSERT_TRUE(list.load(userList()));
        list.setDefaults(type, value);
        ASSERT_TRUE(list.save());
    };
    const Case cases[] = {
        {"another program took .mp3 over",
         [&] {
             install(Xdg::userApplicationsDir() + u'/', u"other"_s);
             setUserDefault(u"audio/mpeg"_s, "other.desktop;");
         },
         true,
         [&] {
             EXPECT_TRUE(QFile::exists(other()));
             EXPECT_EQ(readFileClass(u".mp3"_s), u"vlc.desktop"_s);
         }},
        {"another program came after the player on .ogg",
         [&] {
             install(Xdg::userApplicationsDir() + u'/', u"other"_s);
             setUserDefault(u"audio/ogg"_s, "melodeck_file_.desktop;other.desktop;");
         },
         true,
         [&] {
             EXPECT_TRUE(QFile::exists(other()));
             TMimeAppsList list;
             list.load(userList());
             EXPECT_EQ(list.defaults(u"audio/ogg"_s), "other.desktop;");
         }},
        {"the user's list cannot be read",
         [&] {
             QFile::remove(userList());
             QDir().mkpath(userList());
         },
         false,
         [&] {
             EXPECT_TRUE(QFile::exists(classFile()));
             EXPECT_EQ(settings().mid(10, 5), kPrevious);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        prepare();
        player({u"yes"_s, u"yes"_s, u"yes"_s, u"yes"_s, u"yes"_s}).checkDefaultPlayer(true);
        takeAsked();
        c.change();
        TDefaultPlayer resetter = player({});
        std::array<QString, 5> stored = resetter.storedFileTypes();
        EXPECT_EQ(resetter.resetFileTypes(stored), c.complete);
        QStringList expectedTold{kAllReset};
        if (!c.complete) {
            expectedTold.clear();
            for (const QString &extension : musicFileExtensions())
                expectedTold.append(u"Problem: Could not restore default device for files: "_s + extension);
        }
        EXPECT_EQ(takeTold(), expectedTold);
        EXPECT_EQ(QStringList(stored.begin(), stored.end()), c.complete ? QStringList(5, kFileTypeNotSet) : kPrevious);
        c.check();
    }
}

TEST_F(DefaultPlayerTest, DamagedOrOutrankedListsAreNeverMadeWorse)
{
    struct Case
    {
        const char *name;
        QByteArray original;
        QByteArray desktopList; // the current desktop's own list, when set
        bool registers;
        QByteArray afterReset;
    };
    const QByteArray crlf = "# caf\xe9\r\n[Default Applications]\r\naudio/mpeg=vlc.desktop;\r\nx-\xff=\xfe\r\n";
    const QByteArray twice = "audio/mpeg=stray.desktop\n[Default Applications]\naudio/mpeg=vlc.desktop;\n"
                             "[Default Applications]\naudio/mpeg=mpv.desktop\n";
    const QByteArray noSection = "[Added Associations]\naudio/mpeg=vlc.desktop;";
    const QByteArray outranked = "[Default Applications]\naudio/mpeg=vlc.desktop;\n";
    const Case cases[] = {
        {"CR LF lines, text that is not UTF-8", crlf, {}, true, crlf},
        {"keys before any section, the section twice", twice, {}, true, twice},
        {"no defaults section, no final line end", noSection, {}, true, noSection + "\n\n[Default Applications]\n"},
        {"empty", "", {}, true, "[Default Applications]\n"},
        {"the desktop's own list outranks the user's", kOriginalList, outranked, false, kOriginalList},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        prepare();
        writeFile(userList(), c.original);
        if (!c.desktopList.isEmpty()) {
            qputenv("XDG_CURRENT_DESKTOP", "Test:Other");
            writeFile(Xdg::configHome() + u"/test-mimeapps.list"_s, c.desktopList);
        }
        player({u"yes"_s}).checkDefaultPlayer(true);
        EXPECT_EQ(takeTold(), c.registers ? QStringList()
                                          : QStringList{u"Problem: Could not set Melodeck as default device for: .mp3"_s});
        EXPECT_EQ(readFileClass(u".mp3"_s) == kOurs, c.registers);
        TDefaultPlayer resetter = player({});
        std::array<QString, 5> stored = resetter.storedFileTypes();
        EXPECT_TRUE(resetter.resetFileTypes(stored));
        EXPECT_EQ(readFile(userList()), c.afterReset);
        EXPECT_FALSE(QFile::exists(classFile()));
    }
}
