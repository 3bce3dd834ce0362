// Every Yes/No question of the program as the user meets it: Enter answers
// Yes, except where Yes cannot be undone.

#include "melodeck.h"
#include "songtablemodel.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <ostream>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// A question seen, with the button Enter pressed.
struct Answered
{
    QString title;
    QMessageBox::StandardButton answer;
    bool operator==(const Answered &) const = default;
};

void PrintTo(const Answered &answered, std::ostream *out)
{
    *out << answered.title.toStdString() << (answered.answer == QMessageBox::Yes ? " -> Yes" : " -> No");
}

class QuestionsTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        // Real message boxes, not the self-answering ones of test runs.
        qunsetenv("MELODECK_TEST_LOG");
        ASSERT_TRUE(xdg_.isValid());
        const QByteArray root = QFile::encodeName(xdg_.path());
        for (const char *variable : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CONFIG_DIRS"})
            qputenv(variable, root + '/' + variable);
        qputenv("XDG_DATA_DIRS", root + "/XDG_DATA_DIRS:/usr/share");
        // A restart answered wrongly must not reach a real machine.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + root + "/no-bus");
        writeFilter();
        // Presses Enter on every message box as soon as it is up.
        QObject::connect(&enter_, &QTimer::timeout, &enter_, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            QTest::keyClick(box, Qt::Key_Return);
            answered_.push_back({box->windowTitle(), box->standardButton(box->clickedButton())});
        });
        enter_.start(1);
    }
    void TearDown() override
    {
        enter_.stop();
        window_.reset();
        WindowFixture::TearDown();
    }
    void start(bool checkDefaultPlayer)
    {
        TSkinSettings settings = TSkinSettings::defaults();
        settings.checkDefaultPlayer = checkDefaultPlayer;
        writeSkin(settings);
        window_ = std::make_unique<Melodeck>(QStringList());
        ASSERT_TRUE(window_->started());
        window_->show();
    }
    QString songList() const { return home() + u"songlist.azl"_s; }

    QTemporaryDir xdg_;
    QTimer enter_;
    std::vector<Answered> answered_;
    std::unique_ptr<Melodeck> window_;
};

TEST_F(QuestionsTest, EnterAnswersYesUnlessYesCannotBeUndone)
{
    const struct {
        const char *what;
        std::function<void()> ask;
        std::vector<Answered> expected;
        std::function<bool()> outcome;
    } rows[] = {
        {"leaving tag mode after an edit keeps the edit",
         [this] {
             start(false);
             window_->musiclist.appendRow(home() + u"a.mp3"_s, {}, u"Artist"_s, u"Old"_s, {});
             window_->musiclist.saveTable(songList());
             window_->page_controlChange();
             window_->button_tag->click();
             window_->songlist_gridSetEditText(1, 1, u"New"_s);
             window_->button_tag->click();
         },
         {{u"Tag-Editor"_s, QMessageBox::Yes}},
         [this] {
             TFileInfos saved;
             saved.loadTable(songList());
             return saved.title == QStringList{u"New"_s};
         }},
        {"removing a station keeps it",
         [this] {
             start(false);
             window_->radiolist.appendRow({}, u"http://127.0.0.1:9/"_s, u"Station"_s, {}, {});
             window_->showList(window_->radiolist);
             window_->songlist_grid->setCurrentIndex(window_->songlist_grid->model()->index(0, 0));
             window_->radio_subClick();
         },
         {{u"Delete Radio"_s, QMessageBox::No}},
         [this] { return window_->radiolist.count() == 1; }},
        {"the start-up check takes every type but does not restart",
         [this] { start(true); },
         {{u"Warning"_s, QMessageBox::Yes},
          {u"Warning"_s, QMessageBox::Yes},
          {u"Warning"_s, QMessageBox::Yes},
          {u"Warning"_s, QMessageBox::Yes},
          {u"Warning"_s, QMessageBox::Yes},
          {u"Update"_s, QMessageBox::No}},
         [] { return true; }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        answered_.clear();
        window_.reset();
        row.ask();
        EXPECT_EQ(answered_, row.expected);
        EXPECT_TRUE(row.outcome());
    }
}

} // namespace
