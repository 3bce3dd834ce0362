// The player on a private message bus, driven through its media-player
// interfaces the way desktop media keys, panel widgets and playerctl drive it.

#include "az_position_bar.h"
#include "az_volume_bar.h"
#include "dialogs.h"
#include "keyboardcontrol.h"
#include "mpris_support.h"
#include "support/loopbackserver.h"
#include "tabcontrol.h"
#include "usermessages.h"
#include "test_play_support.h"

#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include <cmath>
#include <limits>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

const QString kFirstTrack = u"/org/melodeck/Melodeck/playlist/0"_s;
const QString kProperties = u"org.freedesktop.DBus.Properties"_s;
const QString kRoot = u"org.mpris.MediaPlayer2"_s;

// What the player announced: PropertiesChanged and Seeked, in order.
class Announcements : public QObject
{
    Q_OBJECT
public:
    QList<QVariantMap> changes;
    QList<qlonglong> seeks;

public Q_SLOTS:
    void changed(const QString &, const QVariantMap &properties, const QStringList &) { changes.append(properties); }
    void seeked(qlonglong position) { seeks.append(position); }
};

class MprisTest : public playtest::PlayFixture
{
protected:
    void SetUp() override
    {
        PlayFixture::SetUp();
        // As on a console: the window finds no session bus of its own.
        qputenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName(u"unix:path="_s + runtime_.path() + u"/no-bus"_s));
        bus_ = std::make_unique<PrivateBus>();
        ASSERT_TRUE(bus_->start());
    }
    void TearDown() override
    {
        PlayFixture::TearDown();
        mpristest::disconnect(*bus_);
        bus_.reset();
    }
    // The window offered on the private bus, with songs of a minute in the list.
    void startWith(TFileInfos Melodeck::*list, const QStringList &names)
    {
        writeFilter();
        start();
        for (const QString &name : names)
            addRow((*window_).*list, song(name, 60.0), name);
        ASSERT_FALSE(window_->mediaControl()->service().published());
        ASSERT_TRUE(mpristest::publish(*window_, *bus_));
    }
    QDBusMessage call(const QString &method, const QVariantList &arguments = {},
                      const QString &interface = TMprisService::kPlayerInterface)
    {
        return mpristest::call(*window_, *bus_, method, arguments, interface);
    }
    QVariant property(const QString &name, const QString &interface = TMprisService::kPlayerInterface)
    {
        return call(u"Get"_s, {interface, name}, kProperties).arguments().value(0).value<QDBusVariant>().variant();
    }
    void listen(Announcements &to)
    {
        QDBusConnection client = mpristest::connection(*bus_, u"client"_s);
        const QString name = window_->mediaControl()->service().busName();
        ASSERT_TRUE(client.connect(name, TMprisService::kObjectPath, kProperties, u"PropertiesChanged"_s, &to,
                                   SLOT(changed(QString, QVariantMap, QStringList))));
        ASSERT_TRUE(client.connect(name, TMprisService::kObjectPath, TMprisService::kPlayerInterface,
                                   u"Seeked"_s, &to, SLOT(seeked(qlonglong))));
        property(u"PlaybackStatus"_s); // a round trip: the bus knows of the listener
    }
    bool heard() const { return window_->engine().channelIsActive(window_->currentStream) == audio::Active::Playing; }

    std::unique_ptr<PrivateBus> bus_;
};

TEST_F(MprisTest, TransportRequestsDriveTheButtonsAndWhatIsHeard)
{
    startWith(&Melodeck::musiclist, {u"one.mp3"_s, u"two.mp3"_s, u"three.mp3"_s});
    showPage(Page::Musiclist);
    const struct {
        const char *method;
        int row;
        QString status;
    } rows[] = {
        {"Play", 0, u"Playing"_s}, // from idle the shown list becomes the playlist
        {"Play", 0, u"Playing"_s},      {"Pause", 0, u"Paused"_s},     {"Pause", 0, u"Paused"_s},
        {"PlayPause", 0, u"Playing"_s}, {"Next", 1, u"Playing"_s},     {"Previous", 0, u"Playing"_s},
        {"Previous", 2, u"Playing"_s},  {"Next", 0, u"Playing"_s},     {"PlayPause", 0, u"Paused"_s},
        {"Stop", 0, u"Stopped"_s},      {"Pause", 0, u"Stopped"_s},
        {"PlayPause", 0, u"Playing"_s}, // on the Playlist tab the stopped song starts again
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.method);
        call(QString::fromLatin1(row.method));
        EXPECT_EQ(window_->currentIndex, row.row);
        EXPECT_EQ(property(u"PlaybackStatus"_s).toString(), row.status);
        EXPECT_EQ(window_->button_stop->isEnabled(), row.status != u"Stopped"_s);
        // Heard: a playing song runs on, a stopped one is back at its start.
        EXPECT_EQ(heard(), row.status == u"Playing"_s);
        const std::int64_t at = position();
        if (heard()) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return position() > at; }, playtest::kStateWaitMs));
        }
        EXPECT_TRUE(row.status != u"Stopped"_s || at == 0);
    }

    // In random mode the next song is the one the generator picks.
    window_->randomMode = true;
    std::mt19937 generator = window_->random();
    call(u"Next"_s);
    EXPECT_EQ(window_->currentIndex, std::uniform_int_distribution<int>(0, 2)(generator));
    EXPECT_TRUE(window_->randomMode);
}

TEST_F(MprisTest, PropertiesShowTheSongAndTakeVolumeAndPosition)
{
    startWith(&Melodeck::playlist, {u"one.mp3"_s, u"two.mp3"_s});
    EXPECT_TRUE(qdbus_cast<QVariantMap>(property(u"Metadata"_s)).isEmpty()); // nothing played yet
    window_->playSong(0, true);
    ASSERT_TRUE(waitForRow(0));
    const QVariantMap song = qdbus_cast<QVariantMap>(property(u"Metadata"_s));
    EXPECT_EQ(song.value(u"mpris:trackid"_s).value<QDBusObjectPath>().path(), kFirstTrack);
    EXPECT_EQ(song.value(u"xesam:title"_s).toString(), u"one.mp3"_s);
    EXPECT_EQ(song.value(u"xesam:artist"_s).toStringList(), QStringList{u"Artist one.mp3"_s});
    EXPECT_EQ(song.value(u"xesam:album"_s).toString(), u"Album"_s);
    EXPECT_EQ(song.value(u"xesam:url"_s).toString(), QUrl::fromLocalFile(window_->playlist.filename[0]).toString());
    EXPECT_EQ(song.value(u"mpris:length"_s).toLongLong(), qint64(window_->positionBar()->maximum()) * 1000);

    // The volume moves in steps of one percent, on the bar and in what is heard.
    const struct {
        double volume;
        int percent;
    } volumes[] = {{0.37, 37}, {0.004, 0}, {0.996, 100}, {1.5, 100}, {-0.2, 0}, {0.5, 50}};
    for (const auto &row : volumes) {
        SCOPED_TRACE(row.volume);
        const QVariant value = QVariant::fromValue(QDBusVariant(row.volume));
        call(u"Set"_s, {TMprisService::kPlayerInterface, u"Volume"_s, value}, kProperties);
        EXPECT_EQ(window_->volumeBar()->position(), row.percent);
        EXPECT_EQ(std::lround(window_->engine().getVolume() * 100.0f), row.percent);
        EXPECT_DOUBLE_EQ(property(u"Volume"_s).toDouble(), row.percent / 100.0);
    }

    // Seeking while paused, so that the position holds; -1: the song changed.
    Announcements announced;
    listen(announced);
    call(u"Pause"_s);
    const auto path = [](const QString &track) { return QVariant::fromValue(QDBusObjectPath(track)); };
    const struct {
        const char *method;
        QVariantList arguments;
        qint64 position;
        int row;
    } seeks[] = {
        {"SetPosition", {path(kFirstTrack), qlonglong(30'000'000)}, 30'000'000, 0},
        {"Seek", {qlonglong(5'000'000)}, 35'000'000, 0},
        {"Seek", {qlonglong(-100'000'000)}, 0, 0},                                       // before the start
        {"SetPosition", {path(u"/org/melodeck/Melodeck/playlist/1"_s), qlonglong(9'000'000)}, 0, 0}, // stale
        {"SetPosition", {path(kFirstTrack), qlonglong(90'000'000)}, 0, 0},               // beyond the end
        {"Seek", {qlonglong(100'000'000)}, -1, 1},                                       // the next song
        {"SetPosition", {path(u"/org/melodeck/Melodeck/playlist/1"_s), qlonglong(30'000'000)}, -1, 1},
        {"Seek", {qlonglong(std::numeric_limits<qint64>::max())}, -1, 0},                // far past the end
    };
    for (const auto &row : seeks) {
        SCOPED_TRACE(row.position);
        call(QString::fromLatin1(row.method), row.arguments);
        EXPECT_EQ(window_->currentIndex, row.row);
        if (row.position >= 0) {
            EXPECT_NEAR(property(u"Position"_s).toDouble(), double(row.position), 1000.0);
        }
    }
    EXPECT_TRUE(playing());
    // Each jump was announced with the place it went to.
    ASSERT_TRUE(QTest::qWaitFor([&] { return announced.seeks.size() == 4; }, playtest::kStateWaitMs));
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(double(announced.seeks[i]), double(seeks[i].position), 1000.0);
    EXPECT_NEAR(double(announced.seeks[3]), 30'000'000.0, 1000.0);
}

TEST_F(MprisTest, ThePlayerAsAProgram)
{
    startWith(&Melodeck::playlist, {u"one.mp3"_s});
    // The program's menu entry is the one named, with its types.
    QFile entry(qEnvironmentVariable("MELODECK_SOURCE_DIR") + u"/resources/desktop/melodeck.desktop"_s);
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    const QString types = QString::fromUtf8(entry.readAll()).section(u"\nMimeType="_s, 1).section(u'\n', 0, 0);
    EXPECT_EQ(property(u"SupportedMimeTypes"_s, kRoot).toStringList(), types.split(u';', Qt::SkipEmptyParts));
    EXPECT_EQ(property(u"DesktopEntry"_s, kRoot).toString() + u".desktop"_s, QFileInfo(entry).fileName());

    // A local file is taken as from a second start: added, and played when idle.
    const QString two = song(u"two.mp3"_s);
    call(u"OpenUri"_s, {u"http://radio.example/live"_s});
    call(u"OpenUri"_s, {QUrl::fromLocalFile(two).toString()});
    EXPECT_EQ(window_->playlist.filename, (QStringList{window_->playlist.filename[0], two}));
    EXPECT_TRUE(waitForRow(1));

    // Quit closes the window the normal way, which leaves the bus.
    call(u"Quit"_s, {}, kRoot);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window_->isVisible(); }, playtest::kStateWaitMs));
    EXPECT_FALSE(window_->mediaControl()->service().published());
}

TEST_F(MprisTest, QuitCancelsAnOpenDialogBeforeTheWindowCloses)
{
    const struct {
        const char *what;
        std::function<void(Melodeck &)> open;
    } rows[] = {
        {"the skin editor", [](Melodeck &window) { window.Button1Click(); }},
        {"a question",
         [](Melodeck &window) {
             EXPECT_FALSE(askYesNo(&window, QMessageBox::Question, u"Question"_s, u"Go on?"_s));
         }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        startWith(&Melodeck::playlist, {u"one.mp3"_s});
        createDialogs(*window_);
        // A real box, not one that answers itself in test runs.
        qunsetenv("MELODECK_TEST_LOG");
        bool cancelled = false;
        QTimer::singleShot(0, window_.get(), [&] {
            const QPointer<QWidget> dialog = QApplication::activeModalWidget();
            if (!dialog)
                return;
            call(u"Quit"_s, {}, kRoot);
            cancelled = QTest::qWaitFor([&] { return !dialog || !dialog->isVisible(); }, playtest::kStateWaitMs);
            // Left open over the closed window: the user closes it.
            if (!cancelled)
                dialog->close();
        });
        row.open(*window_);
        EXPECT_TRUE(cancelled);
        EXPECT_TRUE(QTest::qWaitFor([this] { return !window_->isVisible(); }, playtest::kStateWaitMs));
        // The editor's closing put no skin back on the closed window.
        EXPECT_EQ(window_->positionBar(), nullptr);
        EXPECT_EQ(window_->volumeBar(), nullptr);
        qputenv("MELODECK_TEST_LOG", QFile::encodeName(logPath_));
    }
}

TEST_F(MprisTest, ChangesAreAnnouncedWhateverMadeThem)
{
    startWith(&Melodeck::playlist, {u"one.mp3"_s, u"two.mp3"_s});
    window_->playSong(0, true);
    ASSERT_TRUE(waitForRow(0));
    window_->volumeBar()->setPosition(50);
    window_->setVolume(50);
    Announcements announced;
    listen(announced);
    const struct {
        const char *what;
        std::function<void()> action;
        QVariantMap changed; // Metadata: its title
    } rows[] = {
        {"the next song", [&] { call(u"Next"_s); }, {{u"Metadata"_s, u"two.mp3"_s}}},
        {"the pause button", [&] { window_->button_playpause->click(); }, {{u"PlaybackStatus"_s, u"Paused"_s}}},
        {"the volume hot key", [&] { window_->keyboard().act(HotKey::VolumeUp); }, {{u"Volume"_s, 0.6}}},
        {"the stop button", [&] { window_->button_stop->click(); },
         {{u"CanSeek"_s, false}, {u"PlaybackStatus"_s, u"Stopped"_s}}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        const qsizetype before = announced.changes.size();
        row.action();
        ASSERT_TRUE(QTest::qWaitFor([&] { return announced.changes.size() > before; }, playtest::kStateWaitMs));
        QVariantMap changed = announced.changes.value(before);
        if (changed.contains(u"Metadata"_s))
            changed[u"Metadata"_s] = qdbus_cast<QVariantMap>(changed[u"Metadata"_s]).value(u"xesam:title"_s);
        EXPECT_EQ(changed, row.changed);
    }
}

// A station's title comes from the stream itself; the desktop learns each new
// one as the song's title, with the station as artist and its address.
TEST_F(MprisTest, AStationsNewTitleIsAnnouncedAsItsMetadata)
{
    const radiotest::TempDir dir;
    auto board = std::make_shared<radiotest::TitleBoard>();
    board->title = "Song One";
    radiotest::IcyStream station;
    station.audio = radiotest::makeMp3(dir.path(), 1.0);
    station.headers.emplace_back("icy-name: Loop FM");
    station.metaint = 4000;
    station.meta = radiotest::boardTitles(board);
    station.paceBytesPerSecond = 16000; // live: a new title goes out within seconds
    station.burstBytes = 64000;
    radiotest::LoopbackServer server;
    server.route("/live", radiotest::icyStreamHandler(std::move(station)));
    const QString live = QString::fromStdString(server.url("/live"));

    startWith(&Melodeck::playlist, {});
    window_->playlist.appendRow(QString(), live, u"old"_s, u"old"_s, u"old"_s);
    window_->playSong(0, true);
    ASSERT_TRUE(playing());
    Announcements announced;
    listen(announced);
    {
        const std::lock_guard lock(board->mutex);
        board->title = "Song Two";
    }
    QVariantMap song;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        for (const QVariantMap &changed : announced.changes)
            if (qdbus_cast<QVariantMap>(changed.value(u"Metadata"_s)).value(u"xesam:title"_s) == u"Song Two"_s)
                song = qdbus_cast<QVariantMap>(changed.value(u"Metadata"_s));
        return !song.isEmpty();
    }, playtest::kStateWaitMs));
    EXPECT_EQ(song.value(u"xesam:artist"_s).toStringList(), QStringList{u"Loop FM"_s});
    EXPECT_EQ(song.value(u"xesam:url"_s).toString(), live);
    EXPECT_FALSE(song.contains(u"mpris:length"_s));
    EXPECT_FALSE(property(u"CanSeek"_s).toBool());
    window_.reset(); // the player goes before its station does
}

} // namespace

#include "test_mpris.moc"
