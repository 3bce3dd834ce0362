// Web radio on the real main window against ICY stations on loopback:
// adding through the dialog, the refresh with a row removed under it, a
// playing station's live titles, and closing while a refresh waits.

#include "az_position_bar.h"
#include "defaultskin.h"
#include "skindisplay.h"
#include "support/icecastserver.h"
#include "support/loopbackserver.h"
#include "tabcontrol.h"
#include "test_play_support.h"
#include "timage.h"
#include "webradio.h"
#include "webradio_form.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

using Meta = std::function<std::string(std::size_t)>;
const std::vector<std::string> kLoopFm{"icy-name: Loop FM", "icy-url: http://loop.example/", "icy-br: 128"};

class WebRadioTest : public playtest::PlayFixture
{
protected:
    static const std::string &mp3()
    {
        static const radiotest::TempDir dir;
        static const std::string bytes = radiotest::makeMp3(dir.path(), 1.0);
        return bytes;
    }
    // A live station: a first burst, then as fast as it plays, so that a new
    // title goes out within seconds. With a gate, each answer waits for it.
    void serve(const std::string &path, std::vector<std::string> headers, Meta meta,
               std::shared_ptr<const std::atomic<bool>> gate = {})
    {
        radiotest::IcyStream s;
        s.audio = mp3();
        s.headers.insert(s.headers.end(), headers.begin(), headers.end());
        s.metaint = 4000;
        s.meta = std::move(meta);
        s.paceBytesPerSecond = 16000;
        s.burstBytes = 64000;
        auto handler = radiotest::icyStreamHandler(std::move(s));
        server_.route(path, gate ? radiotest::gatedHandler(gate, handler) : handler);
    }
    static Meta title(const std::string &text) { return radiotest::rotatingTitles({text}, 1); }
    QString url(const std::string &path) const { return QString::fromStdString(server_.url(path)); }
    static QString unreachable() { return QString::fromStdString(radiotest::LoopbackServer().url("/gone")); }
    int requestsOf(const std::string &path) const { return static_cast<int>(std::ranges::count(server_.requests(), path)); }
    QString store() const { return home() + TWebRadio::kStoreFileName; }
    QByteArray storeBytes() const
    {
        QFile file(store());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void storeStations(const QList<std::pair<QString, QString>> &stations) const
    {
        TFileInfos list;
        for (const auto &[address, text] : stations)
            list.appendRow(QString(), address, text, text, text);
        list.saveTable(store());
    }
    // Each row as the list holds it, the store file holds it and the grid
    // shows it (Title, Artist, Album), all three to agree.
    void expectRows(const TFileInfos &list, const QList<QStringList> &rows) const
    {
        TFileInfos saved;
        saved.loadTable(store());
        const QAbstractItemModel *grid = window_->songlist_grid->model();
        ASSERT_EQ(list.count(), rows.size());
        for (int r = 0; r < rows.size(); ++r) {
            const QStringList &e = rows.at(r);
            EXPECT_EQ((QStringList{list.filename.at(r), list.archive.at(r), list.artist.at(r), list.title.at(r),
                                   list.album.at(r)}),
                      e) << r;
            EXPECT_EQ((QStringList{grid->index(r, 1).data().toString(), grid->index(r, 2).data().toString(),
                                   grid->index(r, 3).data().toString()}),
                      (QStringList{e.at(3), e.at(2), e.at(4)})) << r;
        }
        if (&list == &window_->radiolist) {
            EXPECT_EQ(saved.archive.toList() + saved.artist.toList() + saved.title.toList() + saved.album.toList(),
                      list.archive.toList() + list.artist.toList() + list.title.toList() + list.album.toList());
        }
    }
    // Runs act once a modal dialog of the type is up.
    template <typename Dialog>
    void whenModal(std::function<void(Dialog &)> act)
    {
        auto *poll = new QTimer(window_.get());
        QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
            if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
                poll->deleteLater();
                poll->stop();
                act(*dialog);
            }
        });
        poll->start(10);
    }
    // Types the text into the add dialog and presses OK; true when the
    // dialog stayed open (it is then cancelled).
    bool addThroughDialog(const QString &text)
    {
        bool stayedOpen = false;
        whenModal<Tradio_form>([&stayedOpen, text](Tradio_form &form) {
            form.url->setText(text);
            form.Button1->click();
            if ((stayedOpen = form.isVisible()))
                form.Button2->click();
        });
        window_->radio_add->click();
        return stayedOpen;
    }
    void removeFirstRow(QMessageBox::StandardButton answer)
    {
        window_->songlist_grid->selectRow(0);
        // The box answers from the script as it opens, so no click can race it.
        qputenv("MELODECK_TEST_ANSWERS", answer == QMessageBox::Yes ? "yes" : "no");
        window_->radio_sub->click();
    }
    bool refreshRunning() const { return window_->webRadio()->refreshThreadId() != std::thread::id(); }
    // The "title" field as shown, and as it looks with the text drawn in.
    QImage titleField(const QString *text = nullptr) const
    {
        const QRect field = TSkinDisplay::fields().at(2).background;
        if (!text)
            return window_->Image1->picture().copy(field);
        TImage image;
        image.setPicture(defaultSkinPicture());
        TSkinDisplay display;
        display.initDisplay(&image, window_->skinSettings().fontColor);
        display.drawField(DisplayField::Title, *text);
        return image.picture().copy(field);
    }

    radiotest::LoopbackServer server_;
};

TEST_F(WebRadioTest, AddingChecksTheUrlThenTheStationThenTheList)
{
    serve("/full", kLoopFm, title("Song One"));
    serve("/bare", {"icy-name: Bare Radio"}, title("Bare Song"));
    serve("/break", {"icy-name: Break FM", "icy-br: 64"}, title("Two\r\nLines"));
    start();
    for (const int page : {Page::Radiolist, Page::Musiclist, Page::Searchlist, Page::Playlist, Page::Radiolist}) {
        showPage(page);
        EXPECT_EQ(window_->radio_add->isVisible() + window_->radio_sub->isVisible(), page == 1 ? 2 : 0) << page;
    }
    ASSERT_TRUE(QTest::qWaitFor([this] { return !refreshRunning(); }));

    const QString scheme = u"The url has to start with \"http://\"!"_s;
    const struct
    {
        QString text, message;
        bool staysOpen;
    } cases[] = {
        {QString(), u"Type in a url!"_s, true},
        {url("/full").replace(u"http"_s, u"HTTP"_s), scheme, true},
        {u"ftp://127.0.0.1/"_s, scheme, true},
        {u"http://"_s, u"Type in a valid url!"_s, true},
        {unreachable(), u"Could not connect the the url."_s, false},
        {url("/full"), QString(), false},
        {url("/full"), u"The url already is in database!"_s, false},
        {url("/bare"), QString(), false},
        {url("/break"), QString(), false},
    };
    QStringList shown;
    for (const auto &c : cases) {
        const QByteArray before = storeBytes();
        EXPECT_EQ(addThroughDialog(c.text), c.staysOpen) << qPrintable(c.text);
        if (!c.message.isEmpty())
            shown.append(u"message Melodeck: "_s + c.message);
        EXPECT_EQ(messages(), shown);
        EXPECT_EQ(storeBytes() == before, !c.message.isEmpty()) << qPrintable(c.text);
    }
    expectRows(window_->radiolist,
               {{QString(), url("/full"), u"Loop FM"_s, u"Song One"_s, u"http://loop.example/ (128 kBit)"_s},
                {QString(), url("/bare"), u"Bare Radio"_s, u"Bare Song"_s, u" ( kBit)"_s},
                {QString(), url("/break"), u"Break FM"_s, u"Two  Lines"_s, u" (64 kBit)"_s}});
    TStringListC lines;
    lines.LoadFromFile(store());
    EXPECT_EQ(lines.size(), 15);
    EXPECT_EQ(window_->findChild<Tradio_form *>()->url->text(), url("/break"));
}

TEST_F(WebRadioTest, RefreshUpdatesRowsAndTheGridWhileARowIsRemovedUnderIt)
{
    auto open = std::make_shared<std::atomic<bool>>(false);
    serve("/held", kLoopFm, title("Held"), open);
    serve("/full", kLoopFm, title("Song One"));
    serve("/bare", {"icy-name: Bare Radio"}, title("Bare Song"));
    const QString gone = unreachable();
    storeStations({{url("/held"), u"held"_s}, {url("/full"), u"full"_s}, {url("/bare"), u"bare"_s}, {gone, u"gone"_s}});
    start();
    showPage(Page::Radiolist);
    const std::thread::id worker = window_->webRadio()->refreshThreadId();
    ASSERT_NE(worker, std::thread::id());
    ASSERT_TRUE(QTest::qWaitFor([this] { return requestsOf("/held") == 1; }));
    // Back on the tab while it runs: no second refresh.
    showPage(Page::Musiclist);
    showPage(Page::Radiolist);
    EXPECT_EQ(window_->webRadio()->refreshThreadId(), worker);

    // The station being probed goes while its probe is pending.
    removeFirstRow(QMessageBox::No);
    EXPECT_EQ(window_->radiolist.count(), 4);
    removeFirstRow(QMessageBox::Yes);
    const QString question = u"question Delete Radio: Do you want to remove the webradio \"held\" in \""_s
        + url("/held") + u"\"?"_s;
    EXPECT_EQ(logLines().filter(u"question "_s), (QStringList{question + u" -> No"_s, question + u" -> Yes"_s}));
    open->store(true);

    ASSERT_TRUE(QTest::qWaitFor([this] { return !refreshRunning(); }, 60000));
    // The row that moved up under the probe keeps its texts.
    expectRows(window_->radiolist, {{QString(), url("/full"), u"full"_s, u"full"_s, u"full"_s},
                                    {QString(), url("/bare"), u"Bare Radio"_s, u"Bare Song"_s, u" ( kBit)"_s},
                                    {QString(), gone, QString(), QString(), u" ( kBit)"_s}});
    EXPECT_EQ((QList<int>{requestsOf("/full"), requestsOf("/bare"), requestsOf("/held")}), (QList<int>{0, 1, 1}));
    EXPECT_TRUE(messages().isEmpty());
}

TEST_F(WebRadioTest, APlayingStationFollowsItsTitlesInEveryRowOfIt)
{
    auto board = std::make_shared<radiotest::TitleBoard>();
    board->title = "Song One";
    serve("/live", kLoopFm, radiotest::boardTitles(board));
    start();
    const QString live = url("/live");
    window_->playlist.appendRow(QString(), live, u"old"_s, u"old"_s, u"old"_s);
    addRow(window_->playlist, song(u"file.wav"_s, 3.0), u"file"_s);
    window_->playlist.appendRow(QString(), live, u"old"_s, u"old"_s, u"old"_s);

    window_->playSong(0, true);
    ASSERT_TRUE(playing());
    const audio::Handle station = window_->currentStream;
    EXPECT_EQ(window_->positionBar()->maximum(), 1);
    EXPECT_EQ(window_->windowTitle(), u"Loop FM - Song One"_s);
    const QString loop = u"http://loop.example/ (128 kBit)"_s;
    const QString fileName = window_->playlist.filename.at(1);
    const QString first = u"Song One"_s, second = u"Line Break"_s;
    expectRows(window_->playlist, {{QString(), live, u"Loop FM"_s, first, loop},
                                   {fileName, QString(), u"Artist file"_s, u"file"_s, u"Album"_s},
                                   {QString(), live, u"old"_s, u"old"_s, u"old"_s}});
    EXPECT_EQ(titleField(), titleField(&first));

    {
        std::lock_guard lock(board->mutex);
        board->title = "Line\nBreak";
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return window_->currentTitle == second; }, 30000));
    // The field follows when title_refresh strikes, a second later.
    if (window_->title_refresh.isActive()) {
        EXPECT_EQ(titleField(), titleField(&first));
    }
    EXPECT_EQ(window_->title_refresh.interval(), 1000);
    EXPECT_EQ(window_->windowTitle(), u"Loop FM - "_s + second);
    expectRows(window_->playlist, {{QString(), live, u"Loop FM"_s, second, loop},
                                   {fileName, QString(), u"Artist file"_s, u"file"_s, u"Album"_s},
                                   {QString(), live, u"old"_s, second, u"old"_s}});
    ASSERT_TRUE(QTest::qWaitFor([this] { return !window_->title_refresh.isActive(); }));
    EXPECT_EQ(titleField(), titleField(&second));

    // News from a station that no longer plays is old news.
    window_->playSong(1, true);
    window_->webRadio()->streamMetaChanged(station);
    EXPECT_EQ(window_->currentTitle, u"file"_s);
}

TEST_F(WebRadioTest, ClosingDuringARefreshAbandonsItAtOnce)
{
    server_.route("/slow", radiotest::tricklingHandler());
    serve("/full", kLoopFm, title("Song One"));
    storeStations({{url("/slow"), u"slow"_s}, {url("/full"), u"full"_s}});
    const QByteArray before = storeBytes();
    start();
    // No timeout of the audio library can end the probe; only stopping it can.
    ASSERT_TRUE(window_->engine().setConfig(audio::Config::NetTimeout, 3'600'000));
    showPage(Page::Radiolist);
    ASSERT_TRUE(QTest::qWaitFor([this] { return requestsOf("/slow") == 1; }));

    window_->close();
    EXPECT_FALSE(refreshRunning());
    window_.reset();
    QCoreApplication::processEvents();  // nothing the worker posted reaches the gone window
    EXPECT_EQ(storeBytes(), before);
    EXPECT_EQ(requestsOf("/full"), 0);
}

} // namespace

TEST_F(WebRadioTest, WithoutTheDecodingLibrariesEveryStationPathFailsWithItsMessage)
{
    serve("/full", kLoopFm, title("Song One"));
    storeStations({{url("/full"), u"old"_s}});
    const radiotest::TempDir noLibraries;
    qputenv("MELODECK_FFMPEG_DIR", QByteArray::fromStdString(noLibraries.path()));
    start();

    // The refresh fails silently: the row gets the texts of an unreachable station.
    showPage(Page::Radiolist);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !refreshRunning(); }));
    expectRows(window_->radiolist, {{QString(), url("/full"), QString(), QString(), u" ( kBit)"_s}});
    EXPECT_TRUE(messages().isEmpty());

    EXPECT_FALSE(addThroughDialog(url("/full")));
    addRow(window_->playlist, QString(), QString(), url("/full"));
    window_->playSong(0, true);
    EXPECT_EQ(messages(), (QStringList{u"message Melodeck: Could not connect the the url."_s,
                                       u"message Melodeck: Error: Cannot open the webradio."_s}));
    EXPECT_EQ(window_->currentStream, 0u);
    EXPECT_EQ(requestsOf("/full"), 0);
}

// Against a real Icecast 2 server fed at real time: the refresh stores the
// title although the server's first metadata block after a connect holds an
// empty one, and a station is heard.
TEST_F(WebRadioTest, ARealIcecastStationIsProbedWithItsTitleAndHeard)
{
    if (!radiotest::IcecastServer::installed())
        GTEST_SKIP() << "icecast2 is not installed";
    radiotest::IcecastServer icecast;
    ASSERT_EQ(icecast.error(), "");
    ASSERT_TRUE(icecast.addFeed({"/titled", "Ice FM", "http://ice.example/", 128}));
    ASSERT_TRUE(icecast.addFeed({"/plain", "Plain FM", "http://plain.example/", 128}));
    ASSERT_TRUE(icecast.setTitle("/titled", "Ice Song"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return icecast.titleForNewListener("/titled") == "Ice Song"; }, 60000));
    const QString titled = QString::fromStdString(icecast.url("/titled"));
    const QString plain = QString::fromStdString(icecast.url("/plain"));
    storeStations({{titled, u"old"_s}, {plain, u"old"_s}});
    start();

    showPage(Page::Radiolist);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !refreshRunning(); }, 60000));
    expectRows(window_->radiolist,
               {{QString(), titled, u"Ice FM"_s, u"Ice Song"_s, u"http://ice.example/ ( kBit)"_s},
                {QString(), plain, u"Plain FM"_s, QString(), u"http://plain.example/ ( kBit)"_s}});

    addRow(window_->playlist, QString(), QString(), plain);
    window_->playSong(0, true);
    ASSERT_NE(window_->currentStream, 0u);
    EXPECT_TRUE(QTest::qWaitFor([this] { return position() > 0; }, 60000));
    EXPECT_TRUE(messages().isEmpty());
}
