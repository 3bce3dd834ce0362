// The start-up check of the file types in the real window, and the reset
// the skin editor reaches through its call-back.

#include "melodeck.h"
#include "regfileext.h"
#include "windowfixture.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

class DefaultPlayerWindowTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        ASSERT_TRUE(xdg_.isValid());
        const QByteArray root = QFile::encodeName(xdg_.path());
        for (const char *variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_DIRS"})
            qputenv(variable, root + '/' + variable);
        // The system folder brings the shared MIME database.
        qputenv("XDG_DATA_DIRS", root + "/XDG_DATA_DIRS:/usr/share");
        // Whatever is answered, no restart may reach a real machine.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + root + "/no-bus");
        writeFilter();
    }
    void TearDown() override
    {
        window_.reset();
        qunsetenv("MELODECK_TEST_ANSWERS");
        WindowFixture::TearDown();
    }

    QTemporaryDir xdg_;
    std::unique_ptr<Melodeck> window_;
};

} // namespace

TEST_F(DefaultPlayerWindowTest, StartUpAsksPerTypeAndTheEditorsResetGivesBack)
{
    struct Case
    {
        bool switchedOn;
        QByteArray answers;
        QStringList questions; // the answers the log shows, in order
        QString mp3Class;
    };
    const Case cases[] = {
        {false, "yes", {}, u""_s},
        {true, "yes,no,no,no,no,no", {u"Yes"_s, u"No"_s, u"No"_s, u"No"_s, u"No"_s, u"No"_s}, u"melodeck_file_.desktop"_s},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.switchedOn);
        TSkinSettings settings = TSkinSettings::defaults();
        settings.checkDefaultPlayer = c.switchedOn;
        writeSkin(settings);
        qputenv("MELODECK_TEST_ANSWERS", c.answers);
        const qsizetype seen = logLines().size();
        const auto newLines = [&](const QString &start) {
            QStringList lines;
            for (const QString &line : logLines().mid(seen)) {
                if (line.startsWith(start))
                    lines.append(line);
            }
            return lines;
        };
        window_ = std::make_unique<Melodeck>(QStringList());
        ASSERT_TRUE(window_->started());

        const QStringList questions = newLines(u"question "_s);
        QStringList answered;
        for (const QString &line : questions)
            answered.append(line.section(u" -> "_s, -1));
        EXPECT_EQ(answered, c.questions);
        if (!questions.isEmpty()) {
            EXPECT_TRUE(questions.first().contains(u"playing \".mp3\"-files"_s));
            EXPECT_TRUE(questions.last().startsWith(u"question Update: "_s));
        }
        EXPECT_EQ(readFileClass(u".mp3"_s), c.mp3Class);
        EXPECT_EQ(readFileClass(u".ogg"_s), u""_s);

        TSkinSettings stored;
        ASSERT_TRUE(TSkinSettings::loadFromFile(home() + kSkinSettingsFileName, stored));
        EXPECT_EQ(stored.previousFileTypes[0], c.switchedOn ? u""_s : kNotSetFileType);
        auto values = stored.previousFileTypes;
        EXPECT_TRUE(window_->skinEditorCallbacks().resetFileTypes(values));
        EXPECT_EQ(readFileClass(u".mp3"_s), u""_s);
        EXPECT_EQ(newLines(u"message "_s), QStringList{u"message Melodeck: All default music devices have been reset."_s});
        ASSERT_TRUE(TSkinSettings::loadFromFile(home() + kSkinSettingsFileName, stored));
        EXPECT_EQ(stored.previousFileTypes, TSkinSettings::defaults().previousFileTypes);
        window_.reset();
    }
}
