// Web radio on the real main window, against ICY stations served on
// loopback: adding through the dialog, the background refresh with a row
// removed under it, playing a station with its live titles, and closing the
// program while a refresh still waits for a station.

#include "az_position_bar.h"
#include "defaultskin.h"
#include "skindisplay.h"
#include "tabcontrol.h"
#include "support/loopbackserver.h"
#include "test_play_support.h"
#include "timage.h"
#include "webradio.h"
#include "webradio_form.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;
using playtest::PlayFixture;

namespace {

const QString kMessage = u"message Melodeck: "_s;

class WebRadioTest : public PlayFixture
{
protected:
    static void SetUpTestSuite()
    {
        dir_ = new radiotest::TempDir;
        mp3_ = new std::string(radiotest::makeMp3(dir_->path(), 1.0));
    }
    static void TearDownTestSuite()
    {
        delete mp3_;
        delete dir_;
    }
    void SetUp() override
    {
        PlayFixture::SetUp();
        ASSERT_FALSE(mp3_->empty()) << "ffmpeg could not make the station's MP3";
    }

    // A station with the given header lines, sending the titles of `meta`.
    void serve(const std::string &path, std::vector<std::string> headers,
               std::function<std::string(std::size_t)> meta)
    {
        radiotest::IcyStream s;
        s.audio = *mp3_;
        s.headers = {"Content-Type: audio/mpeg"};
        s.headers.insert(s.headers.end(), headers.begin(), headers.end());
        s.metaint = 4000;
        s.meta = std::move(meta);
        // Live: a new title goes out within seconds of its change.
        s.paceBytesPerSecond = 16000;
        s.burstBytes = 64000;
        server_.route(path, radiotest::icyStreamHandler(std::move(s)));
    }
    void serve(const std::string &path, std::vector<std::string> headers, const std::string &title)
    {
        serve(path, std::move(headers), radiotest::rotatingTitles({title}, 1));
    }
    QString url(const std::string &path) const { return QString::fromStdString(server_.url(path)); }
    static QString unreachable()
    {
        radiotest::LoopbackServer gone;
        const std::string url = gone.url("/gone");
        gone.stop();
        return QString::fromStdString(url);
    }
    int requestsOf(const std::string &path) const
    {
        const auto seen = server_.requests();
        return static_cast<int>(std::count(seen.begin(), seen.end(), path));
    }

    QString store() const { return home() + TWebRadio::kStoreFileName; }
    QByteArray storeBytes() const
    {
        QFile file(store());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    TFileInfos stored() const
    {
        TFileInfos table;
        table.loadTable(store());
        return table;
    }
    static void stationRow(TFileInfos &list, const QString &url, const QString &text)
    {
        list.appendRow(QString(), url, text, text, text);
    }
    static QStringList row(const TFileInfos &list, int r)
    {
        return {list.filename.value(r), list.archive.value(r), list.artist.value(r), list.title.value(r),
                list.album.value(r)};
    }
    // Title, Artist and Album as the grid shows them in grid row r.
    QStringList gridTexts(int gridRow) const
    {
        const QAbstractItemModel *model = window_->songlist_grid->model();
        QStringList texts;
        for (int column = 1; column <= 3; ++column)
            texts.append(model->index(gridRow - 1, column).data().toString());
        return texts;
    }
    QStringList newMessages(qsizetype &seen) const
    {
        const QStringList lines = logLines().filter(u"message "_s);
        const QStringList fresh = lines.mid(seen);
        seen = lines.size();
        return fresh;
    }

    // Runs act once a modal dialog of the type is up.
    template <typename Dialog>
    void whenModal(std::function<void(Dialog &)> act)
    {
        auto *poll = new QTimer(window_.get());
        QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
            if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
                poll->stop();
                poll->deleteLater();
                act(*dialog);
            }
        });
        poll->start(10);
    }
    // Types the text into the add dialog and presses OK; a dialog still open
    // afterwards is cancelled. True when it had stayed open.
    bool addThroughDialog(const QString &text)
    {
        bool stayedOpen = false;
        whenModal<Tradio_form>([&stayedOpen, text](Tradio_form &form) {
            form.url->setText(text);
            form.Button1->click();
            stayedOpen = form.isVisible();
            if (stayedOpen)
                form.Button2->click();
        });
        window_->radio_add->click();
        return stayedOpen;
    }
    void removeGridRow(int gridRow, QMessageBox::StandardButton answer)
    {
        window_->songlist_grid->selectRow(gridRow - 1);
        whenModal<QMessageBox>([answer](QMessageBox &box) { box.button(answer)->click(); });
        window_->radio_sub->click();
    }
    bool refreshRunning() const { return window_->webRadio()->refreshThreadId() != std::thread::id(); }

    // The picture of the "title" field with the text drawn into it.
    QImage titleField(const QString &text) const
    {
        TImage image;
        image.setPicture(defaultSkinPicture());
        TSkinDisplay display;
        display.initDisplay(&image, window_->skinSettings().fontColor);
        display.drawField(DisplayField::Title, text);
        return image.picture().copy(TSkinDisplay::fields().at(2).background);
    }
    QImage shownTitleField() const
    {
        return window_->Image1->picture().copy(TSkinDisplay::fields().at(2).background);
    }

    static inline radiotest::TempDir *dir_ = nullptr;
    static inline std::string *mp3_ = nullptr;
    radiotest::LoopbackServer server_;
};

TEST_F(WebRadioTest, AddingChecksTheUrlThenTheStationThenTheList)
{
    serve("/full", {"icy-name:   Loop FM", "icy-url: http://loop.example/", "icy-br: 128"}, "Song One");
    serve("/bare", {"icy-name: Bare Radio"}, "Bare Song");
    serve("/break", {"icy-name: Break FM", "icy-br: 64"}, "Two\r\nLines");
    start();

    // The two buttons belong to the Radiolist tab alone.
    for (const int page : {Page::Radiolist, Page::Musiclist, Page::Searchlist, Page::Playlist, Page::Radiolist}) {
        showPage(page);
        EXPECT_EQ(window_->radio_add->isVisible(), page == Page::Radiolist) << page;
        EXPECT_EQ(window_->radio_sub->isVisible(), page == Page::Radiolist) << page;
    }
    ASSERT_TRUE(QTest::qWaitFor([this] { return !refreshRunning(); }));

    const struct
    {
        const char *what;
        QString text;
        QString message;  // empty: none
        bool staysOpen;
        int rows;
    } cases[] = {
        {"empty", QString(), u"Type in a url!"_s, true, 0},
        {"upper-case scheme", url("/full").replace(u"http://"_s, u"HTTP://"_s),
         u"The url has to start with \"http://\"!"_s, true, 0},
        {"other scheme", u"ftp://127.0.0.1/"_s, u"The url has to start with \"http://\"!"_s, true, 0},
        {"scheme alone", u"http://"_s, u"Type in a valid url!"_s, true, 0},
        {"unreachable", unreachable(), u"Could not connect the the url."_s, false, 0},
        {"station", url("/full"), QString(), false, 1},
        {"duplicate", url("/full"), u"The url already is in database!"_s, false, 1},
        {"without web address and bit rate", url("/bare"), QString(), false, 2},
        {"title with a line break", url("/break"), QString(), false, 3},
    };
    qsizetype seen = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray before = storeBytes();
        EXPECT_EQ(addThroughDialog(c.text), c.staysOpen);
        const QStringList messages = newMessages(seen);
        EXPECT_EQ(messages, c.message.isEmpty() ? QStringList() : QStringList{kMessage + c.message});
        EXPECT_EQ(window_->radiolist.count(), c.rows);
        if (!c.message.isEmpty()) {
            EXPECT_EQ(storeBytes(), before);
        }
    }

    const QList<QStringList> expected{
        {QString(), url("/full"), u"Loop FM"_s, u"Song One"_s, u"http://loop.example/ (128 kBit)"_s},
        {QString(), url("/bare"), u"Bare Radio"_s, u"Bare Song"_s, u" ( kBit)"_s},
        {QString(), url("/break"), u"Break FM"_s, u"Two  Lines"_s, u" (64 kBit)"_s},
    };
    const TFileInfos saved = stored();
    TStringListC lines;
    lines.LoadFromFile(store());
    EXPECT_EQ(lines.size(), 5 * expected.size());
    for (int r = 0; r < expected.size(); ++r) {
        EXPECT_EQ(row(window_->radiolist, r), expected.at(r));
        EXPECT_EQ(row(saved, r), expected.at(r));
        EXPECT_EQ(gridTexts(r + 1), expected.at(r).mid(3, 1) + expected.at(r).mid(2, 1) + expected.at(r).mid(4, 1));
    }
    // The edit keeps what was typed last.
    EXPECT_EQ(window_->findChild<Tradio_form *>()->url->text(), url("/break"));
}

TEST_F(WebRadioTest, RefreshUpdatesRowsAndTheGridWhileARowIsRemovedUnderIt)
{
    auto gate = std::make_shared<radiotest::Gate>();
    serve("/full", {"icy-name: Loop FM", "icy-url: http://loop.example/", "icy-br: 128"}, "Song One");
    serve("/bare", {"icy-name: Bare Radio"}, "Bare Song");
    radiotest::IcyStream held;
    held.audio = *mp3_;
    server_.route("/held", radiotest::gatedHandler(gate, radiotest::icyStreamHandler(held)));
    TFileInfos list;
    stationRow(list, url("/held"), u"old held"_s);
    stationRow(list, url("/full"), u"old full"_s);
    stationRow(list, url("/bare"), u"old bare"_s);
    stationRow(list, unreachable(), u"old gone"_s);
    list.saveTable(store());
    start();
    ASSERT_EQ(window_->radiolist.count(), 4);

    showPage(Page::Radiolist);
    ASSERT_TRUE(refreshRunning());
    const std::thread::id worker = window_->webRadio()->refreshThreadId();
    ASSERT_TRUE(QTest::qWaitFor([this] { return requestsOf("/held") == 1; }, 10000));
    // A second visit to the tab while the first refresh runs starts none.
    showPage(Page::Musiclist);
    showPage(Page::Radiolist);
    EXPECT_EQ(window_->webRadio()->refreshThreadId(), worker);

    // The station being probed goes while its probe is pending.
    removeGridRow(1, QMessageBox::No);
    EXPECT_EQ(window_->radiolist.count(), 4);
    removeGridRow(1, QMessageBox::Yes);
    const QString question = u"question Delete Radio: Do you want to remove the webradio \"old held\" in \""_s
        + url("/held") + u"\"?"_s;
    EXPECT_EQ(logLines().filter(u"question "_s), (QStringList{question, question}));
    ASSERT_EQ(window_->radiolist.count(), 3);
    EXPECT_EQ(stored().count(), 3);
    gate->open();

    ASSERT_TRUE(QTest::qWaitFor([this] { return !refreshRunning(); }, 60000));
    // The row that moved up under the probe keeps its texts; the rest were
    // probed, an unreachable station down to empty texts.
    const QList<QStringList> expected{
        {QString(), url("/full"), u"old full"_s, u"old full"_s, u"old full"_s},
        {QString(), url("/bare"), u"Bare Radio"_s, u"Bare Song"_s, u" ( kBit)"_s},
        {QString(), window_->radiolist.archive.value(2), QString(), QString(), u" ( kBit)"_s},
    };
    const TFileInfos saved = stored();
    ASSERT_EQ(saved.count(), 3);
    for (int r = 0; r < expected.size(); ++r) {
        EXPECT_EQ(row(window_->radiolist, r), expected.at(r));
        EXPECT_EQ(row(saved, r), expected.at(r));
        EXPECT_EQ(gridTexts(r + 1), expected.at(r).mid(3, 1) + expected.at(r).mid(2, 1) + expected.at(r).mid(4, 1));
    }
    EXPECT_EQ(requestsOf("/full"), 0);
    EXPECT_EQ(requestsOf("/bare"), 1);
    EXPECT_TRUE(logLines().filter(u"message "_s).isEmpty());
}

TEST_F(WebRadioTest, APlayingStationFollowsItsTitlesInEveryRowOfIt)
{
    auto board = std::make_shared<radiotest::TitleBoard>("Song One");
    serve("/live", {"icy-name: Live FM", "icy-url: http://live.example/", "icy-br: 96"},
          radiotest::boardTitles(board));
    start();
    const QString live = url("/live");
    stationRow(window_->playlist, live, u"old"_s);
    addRow(window_->playlist, song(u"file.wav"_s, 3.0), u"file"_s);
    stationRow(window_->playlist, live, u"old"_s);

    window_->playSong(0, true);
    ASSERT_TRUE(playing());
    const audio::Handle station = window_->currentStream;
    EXPECT_EQ(window_->positionBar()->maximum(), 1);
    EXPECT_EQ(window_->windowTitle(), u"Live FM - Song One"_s);
    EXPECT_EQ(window_->webRadio()->currentUrl(), live);
    EXPECT_EQ(row(window_->playlist, 0),
              (QStringList{QString(), live, u"Live FM"_s, u"Song One"_s, u"http://live.example/ (96 kBit)"_s}));
    EXPECT_EQ(gridTexts(1), (QStringList{u"Song One"_s, u"Live FM"_s, u"http://live.example/ (96 kBit)"_s}));
    EXPECT_EQ(shownTitleField(), titleField(u"Song One"_s));

    board->set("Line\nBreak");
    ASSERT_TRUE(QTest::qWaitFor([this] { return window_->currentTitle == u"Line Break"_s; }, 30000));
    // The field follows only when title_refresh strikes.
    if (window_->title_refresh.isActive()) {
        EXPECT_EQ(shownTitleField(), titleField(u"Song One"_s));
    }
    EXPECT_EQ(window_->windowTitle(), u"Live FM - Line Break"_s);
    EXPECT_EQ(window_->playlist.title, (QStringList{u"Line Break"_s, u"file"_s, u"Line Break"_s}));
    EXPECT_EQ(gridTexts(1).value(0), u"Line Break"_s);
    EXPECT_EQ(gridTexts(3).value(0), u"Line Break"_s);
    EXPECT_EQ(window_->title_refresh.interval(), 1000);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window_->title_refresh.isActive(); }, 5000));
    EXPECT_EQ(shownTitleField(), titleField(u"Line Break"_s));

    // News from a station that no longer plays is old news.
    window_->playSong(1, true);
    ASSERT_TRUE(playing());
    window_->webRadio()->streamMetaChanged(station);
    EXPECT_EQ(window_->currentTitle, u"file"_s);
    EXPECT_EQ(window_->playlist.title, (QStringList{u"Line Break"_s, u"file"_s, u"Line Break"_s}));
    EXPECT_TRUE(logLines().filter(u"message "_s).isEmpty());
}

TEST_F(WebRadioTest, ClosingDuringARefreshAbandonsItAtOnce)
{
    // This station would hold a probe for minutes without ever timing out.
    server_.route("/slow", radiotest::tricklingHandler());
    serve("/full", {"icy-name: Loop FM"}, "Song One");
    TFileInfos list;
    stationRow(list, url("/slow"), u"slow"_s);
    stationRow(list, url("/full"), u"full"_s);
    list.saveTable(store());
    const QByteArray before = storeBytes();
    start();
    // No timeout of the audio library can end the probe: only stopping it can.
    ASSERT_TRUE(window_->engine().setConfig(audio::Config::NetTimeout, 3'600'000));
    showPage(Page::Radiolist);
    ASSERT_TRUE(QTest::qWaitFor([this] { return requestsOf("/slow") == 1; }, 10000));
    ASSERT_TRUE(refreshRunning());

    window_->close();
    EXPECT_FALSE(refreshRunning());
    EXPECT_EQ(window_->radiolist.count(), 0);
    window_.reset();
    // Nothing the worker had posted reaches the gone window.
    QCoreApplication::processEvents();
    EXPECT_EQ(storeBytes(), before);
    EXPECT_EQ(requestsOf("/full"), 0);
}

} // namespace
