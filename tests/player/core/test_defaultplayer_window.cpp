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
    TSkinSettings settings = TSkinSettings::defaults();
    settings.checkDefaultPlayer = true;
    writeSkin(settings);
    qputenv("MELODECK_TEST_ANSWERS", "yes,no,no,no,no,no");
    window_ = std::make_unique<Melodeck>(QStringList());
    ASSERT_TRUE(window_->started());

    // One question per type, then the restart question; only ".mp3" taken.
    const QStringList questions = logLines().filter(u"question "_s);
    ASSERT_EQ(questions.size(), 6);
    EXPECT_TRUE(questions.first().contains(u"playing \".mp3\"-files"_s));
    EXPECT_TRUE(questions.first().endsWith(u" -> Yes"_s));
    EXPECT_TRUE(questions.last().startsWith(u"question Update: "_s));
    EXPECT_TRUE(questions.last().endsWith(u" -> No"_s));
    EXPECT_EQ(readFileClass(u".mp3"_s), u"melodeck_file_.desktop"_s);
    EXPECT_EQ(readFileClass(u".ogg"_s), u""_s);
    TSkinSettings stored;
    ASSERT_TRUE(TSkinSettings::loadFromFile(home() + kSkinSettingsFileName, stored));
    EXPECT_EQ(stored.previousFileTypes[0], u""_s);

    // The skin editor's Reset, with the values it read.
    auto values = stored.previousFileTypes;
    EXPECT_TRUE(window_->skinEditorCallbacks().resetFileTypes(values));
    EXPECT_EQ(readFileClass(u".mp3"_s), u""_s);
    EXPECT_EQ(logLines().filter(u"message "_s),
              QStringList{u"message Melodeck: All default music devices have been reset."_s});
    ASSERT_TRUE(TSkinSettings::loadFromFile(home() + kSkinSettingsFileName, stored));
    EXPECT_EQ(stored.previousFileTypes, TSkinSettings::defaults().previousFileTypes);
}
