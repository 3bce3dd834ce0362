// The player on a private message bus, driven through its media-player
// interfaces the way desktop media keys, panel widgets and playerctl drive it.

#include "az_position_bar.h"
#include "az_volume_bar.h"
#include "keyboardcontrol.h"
#include "mpris_support.h"
#include "tabcontrol.h"
#include "test_play_support.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDir>
#include <QFile>
#include <QUrl>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

const QString kFirstTrack = u"/org/melodeck/Melodeck/playlist/0"_s;

// What the player announced: PropertiesChanged and Seeked, in order.
class Announcements : public QObject
{
    Q_OBJECT

public:
    QList<QVariantMap> changes;
    QList<qlonglong> seeks;

public Q_SLOTS:
    void changed(const QString &, const QVariantMap &properties, const QStringList &)
    {
        changes.append(properties);
    }
    void seeked(qlonglong position) { seeks.append(position); }
};

class MprisTest : public playtest::PlayFixture
{
protected:
    static void SetUpTestSuite()
    {
        bus_ = std::make_unique<PrivateBus>();
        ASSERT_TRUE(bus_->start());
    }
    static void TearDownTestSuite()
    {
        QDBusConnection::disconnectFromBus(u"client"_s);
        QDBusConnection::disconnectFromBus(u"player"_s);
        bus_.reset();
    }
    // The window with the songs (sixty seconds each) in the given list,
    // offered on the private bus.
    void startWith(TFileInfos Melodeck::*list, const QStringList &names)
    {
        writeFilter();
        start();
        for (const QString &name : names)
            addRow((*window_).*list, song(name, 60.0), name);
        ASSERT_TRUE(mpristest::publish(*window_, *bus_));
    }
    QDBusMessage call(const QString &method, const QVariantList &arguments = {},
                      const QString &interface = TMprisService::kPlayerInterface)
    {
        return mpristest::call(*window_, *bus_, method, arguments, interface);
    }
    QVariant property(const QString &name, const QString &interface = TMprisService::kPlayerInterface)
    {
        return mpristest::property(*window_, *bus_, name, interface);
    }
    QVariantMap metadata() { return qdbus_cast<QVariantMap>(property(u"Metadata"_s)); }
    void listen(Announcements &to)
    {
        QDBusConnection client = mpristest::client(*bus_);
        const QString name = window_->mediaControl()->service().busName();
        ASSERT_TRUE(client.connect(name, TMprisService::kObjectPath, mpristest::kPropertiesInterface,
                                   u"PropertiesChanged"_s, &to,
                                   SLOT(changed(QString, QVariantMap, QStringList))));
        ASSERT_TRUE(client.connect(name, TMprisService::kObjectPath, TMprisService::kPlayerInterface,
                                   u"Seeked"_s, &to, SLOT(seeked(qlonglong))));
        // A round trip: the bus knows of the listener before anything changes.
        property(u"PlaybackStatus"_s);
    }
    bool heard() const
    {
        return window_->engine().channelIsActive(window_->currentStream) == audio::Active::Playing;
    }

    static inline std::unique_ptr<PrivateBus> bus_;
};

TEST_F(MprisTest, TransportRequestsDriveTheButtonsAndWhatIsHeard)
{
    startWith(&Melodeck::musiclist, {u"one.mp3"_s, u"two.mp3"_s, u"three.mp3"_s});
    showPage(Page::Musiclist);
    const struct
    {
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
        const bool playingNow = row.status == u"Playing"_s;
        EXPECT_EQ(playing(), playingNow);
        EXPECT_EQ(window_->button_stop->isEnabled(), row.status != u"Stopped"_s);
        EXPECT_EQ(heard(), playingNow);
        if (playingNow) {
            const std::int64_t at = position();
            EXPECT_TRUE(QTest::qWaitFor([&] { return position() > at; }));
        } else if (row.status == u"Stopped"_s) {
            EXPECT_EQ(position(), 0);
        }
    }
    EXPECT_EQ(window_->playlist.count(), 3);
    EXPECT_EQ(window_->page_control->currentIndex(), Page::Playlist);

    // In random mode the next song is the one the generator picks.
    window_->randomMode = true;
    window_->random().seed(11);
    std::mt19937 generator = window_->random();
    call(u"Next"_s);
    EXPECT_EQ(window_->currentIndex, std::uniform_int_distribution<int>(0, 2)(generator));
    EXPECT_TRUE(window_->randomMode);
}

TEST_F(MprisTest, PropertiesShowTheSongAndTakeVolumeAndPosition)
{
    startWith(&Melodeck::playlist, {u"one.mp3"_s, u"two.mp3"_s});
    EXPECT_TRUE(metadata().isEmpty()); // nothing played yet
    window_->playSong(0, true);
    ASSERT_TRUE(waitForRow(0));
    const QVariantMap song = metadata();
    EXPECT_EQ(song.value(u"mpris:trackid"_s).value<QDBusObjectPath>().path(), kFirstTrack);
    EXPECT_EQ(song.value(u"xesam:title"_s).toString(), u"one.mp3"_s);
    EXPECT_EQ(song.value(u"xesam:artist"_s).toStringList(), QStringList{u"Artist one.mp3"_s});
    EXPECT_EQ(song.value(u"xesam:album"_s).toString(), u"Album"_s);
    EXPECT_EQ(song.value(u"xesam:url"_s).toString(), QUrl::fromLocalFile(window_->playlist.filename[0]).toString());
    EXPECT_EQ(song.value(u"mpris:length"_s).toLongLong(), qint64(window_->positionBar()->maximum()) * 1000);
    EXPECT_NEAR(song.value(u"mpris:length"_s).toDouble(), 60e6, 0.1e6);
    EXPECT_TRUE(property(u"CanSeek"_s).toBool());
    EXPECT_TRUE(property(u"CanGoNext"_s).toBool());

    // The volume moves in steps of one percent, on the bar and in what is heard.
    const struct
    {
        double volume;
        int percent;
    } volumes[] = {{0.37, 37}, {0.004, 0}, {0.996, 100}, {1.5, 100}, {-0.2, 0}, {0.5, 50}};
    for (const auto &row : volumes) {
        SCOPED_TRACE(row.volume);
        call(u"Set"_s, {TMprisService::kPlayerInterface, u"Volume"_s, QVariant::fromValue(QDBusVariant(row.volume))},
             mpristest::kPropertiesInterface);
        EXPECT_EQ(window_->volumeBar()->position(), row.percent);
        EXPECT_EQ(std::lround(window_->engine().getVolume() * 100.0f), row.percent);
        EXPECT_DOUBLE_EQ(property(u"Volume"_s).toDouble(), row.percent / 100.0);
    }

    // Seeking, paused so that the position holds; -1: the song changed.
    Announcements announced;
    listen(announced);
    call(u"Pause"_s);
    const auto path = [](const QString &track) { return QVariant::fromValue(QDBusObjectPath(track)); };
    const struct
    {
        const char *what;
        const char *method;
        QVariantList arguments;
        qint64 position;
        int row;
    } seeks[] = {
        {"to a place", "SetPosition", {path(kFirstTrack), qlonglong(30'000'000)}, 30'000'000, 0},
        {"forward", "Seek", {qlonglong(5'000'000)}, 35'000'000, 0},
        {"back before the start", "Seek", {qlonglong(-100'000'000)}, 0, 0},
        {"another song's place", "SetPosition", {path(u"/org/melodeck/Melodeck/playlist/1"_s), qlonglong(9'000'000)}, 0, 0},
        {"beyond the end", "SetPosition", {path(kFirstTrack), qlonglong(90'000'000)}, 0, 0},
        {"forward past the end", "Seek", {qlonglong(100'000'000)}, -1, 1},
    };
    qsizetype seeked = 0;
    for (const auto &row : seeks) {
        SCOPED_TRACE(row.what);
        const qint64 before = property(u"Position"_s).toLongLong();
        call(QString::fromLatin1(row.method), row.arguments);
        EXPECT_EQ(window_->currentIndex, row.row);
        if (row.position < 0)
            continue;
        EXPECT_NEAR(property(u"Position"_s).toDouble(), row.position, 1000.0);
        if (row.position != before) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return announced.seeks.size() == seeked + 1; }));
            seeked = announced.seeks.size();
            EXPECT_NEAR(double(announced.seeks.value(seeked - 1)), row.position, 1000.0);
        }
    }
    EXPECT_TRUE(playing()); // the next song plays
}

TEST_F(MprisTest, ThePlayerAsAProgram)
{
    startWith(&Melodeck::playlist, {u"one.mp3"_s});
    const QString root = u"org.mpris.MediaPlayer2"_s;
    EXPECT_EQ(property(u"Identity"_s, root).toString(), u"Melodeck"_s);
    EXPECT_TRUE(property(u"CanQuit"_s, root).toBool());
    EXPECT_TRUE(property(u"CanRaise"_s, root).toBool());
    // The program's menu entry, where it is shipped, is the one named.
    const QString desktopEntry = property(u"DesktopEntry"_s, root).toString();
    QDir resources(qEnvironmentVariable("MELODECK_SOURCE_DIR") + u"/resources/desktop"_s);
    for (const QString &file : resources.entryList({u"*.desktop"_s})) {
        EXPECT_EQ(file, desktopEntry + u".desktop"_s);
        QFile entry(resources.filePath(file));
        ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
        const QString types = QString::fromUtf8(entry.readAll()).section(u"\nMimeType="_s, 1).section(u'\n', 0, 0);
        EXPECT_EQ(property(u"SupportedMimeTypes"_s, root).toStringList(), types.split(u';', Qt::SkipEmptyParts));
    }

    // A local file is taken as from a second start: added, and played when idle.
    const QString two = song(u"two.mp3"_s);
    call(u"OpenUri"_s, {u"http://radio.example/live"_s});
    call(u"OpenUri"_s, {QUrl::fromLocalFile(two).toString()});
    EXPECT_EQ(window_->playlist.filename, (QStringList{window_->playlist.filename[0], two}));
    EXPECT_TRUE(waitForRow(1));

    // Quit closes the window the normal way, which leaves the bus.
    call(u"Quit"_s, {}, root);
    EXPECT_FALSE(window_->isVisible());
    EXPECT_FALSE(window_->mediaControl()->service().published());
    EXPECT_TRUE(window_->lifecycleLog().contains(u"close"_s));
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
    const struct
    {
        const char *what;
        std::function<void()> action;
        QStringList properties;
        QString title;
    } rows[] = {
        {"the next song", [&] { call(u"Next"_s); }, {u"Metadata"_s}, u"two.mp3"_s},
        {"the pause button", [&] { window_->button_playpause->click(); }, {u"PlaybackStatus"_s}, {}},
        {"a station's new title", [&] { window_->streamTitleChanged(u"Loop FM: Live"_s); }, {u"Metadata"_s},
         u"Loop FM: Live"_s},
        {"the volume hot key", [&] { window_->keyboard().act(HotKey::VolumeUp); }, {u"Volume"_s}, {}},
        {"the stop button", [&] { window_->button_stop->click(); }, {u"CanSeek"_s, u"PlaybackStatus"_s}, {}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        const qsizetype before = announced.changes.size();
        row.action();
        ASSERT_TRUE(QTest::qWaitFor([&] { return announced.changes.size() > before; }));
        const QVariantMap changed = announced.changes.value(before);
        EXPECT_EQ(changed.keys(), row.properties);
        if (!row.title.isEmpty()) {
            EXPECT_EQ(qdbus_cast<QVariantMap>(changed.value(u"Metadata"_s)).value(u"xesam:title"_s), row.title);
        }
    }
    EXPECT_EQ(announced.changes.value(1).value(u"PlaybackStatus"_s), u"Paused"_s);
    EXPECT_EQ(announced.changes.value(4).value(u"PlaybackStatus"_s), u"Stopped"_s);
}

TEST(MprisTrack, EachKindOfRowHasTheAddressThatOpensIt)
{
    const struct
    {
        QString filename, archive, title, url;
        qint64 length;
    } rows[] = {
        {u"/music/Die Ärzte/Zu spät.mp3"_s, {}, {}, u"file:///music/Die%20%C3%84rzte/Zu%20sp%C3%A4t.mp3"_s, 5},
        {u"cd1/01 Intro.ogg"_s, u"/music/album.rar"_s, {}, u"file:///music/album.rar#cd1/01%20Intro.ogg"_s, 5},
        {{}, u"http://radio.example:8000/live"_s, u"Loop FM"_s, u"http://radio.example:8000/live"_s, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(qPrintable(row.url));
        const Mpris::Track track = Mpris::trackOf(2, row.filename, row.archive, {}, row.title, {}, 5);
        EXPECT_EQ(track.url, row.url);
        EXPECT_EQ(track.lengthUs, row.length);
        EXPECT_FALSE(track.title.isEmpty());
        EXPECT_EQ(track.id, u"/org/melodeck/Melodeck/playlist/2"_s);
    }
}

} // namespace

#include "test_mpris.moc"
