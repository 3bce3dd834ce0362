#pragma once

// Shared by the playback tests: songs written by the ffmpeg tool at test time,
// and a main window started in a private program directory.

#include "captions.h"
#include "melodeck.h"
#include "windowfixture.h"

#include <QApplication>
#include <QHeaderView>
#include <QProcess>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QTest>

#include <map>
#include <memory>

namespace playtest {

using namespace Qt::StringLiterals;

// How long a test waits for a state before it gives up: only a broken build
// gets there, a busy machine merely takes longer.
constexpr int kStateWaitMs = 20000;

// A sine tone of the given length; the codec follows the extension.
inline bool writeSong(const QString &path, double seconds, const QString &title = {},
                      const QString &artist = {})
{
    static const std::map<QString, QStringList> kCodecs{
        {u".mp3"_s, {u"-c:a"_s, u"libmp3lame"_s}},
        {u".mp2"_s, {u"-c:a"_s, u"mp2"_s}},
        {u".wma"_s, {u"-c:a"_s, u"wmav2"_s, u"-f"_s, u"asf"_s}},
        {u".ogg"_s, {u"-c:a"_s, u"libvorbis"_s}},
        {u".flac"_s, {u"-c:a"_s, u"flac"_s}},
        {u".opus"_s, {u"-c:a"_s, u"libopus"_s}},
        {u".oga"_s, {u"-c:a"_s, u"flac"_s, u"-f"_s, u"ogg"_s}},
        {u".m4a"_s, {u"-c:a"_s, u"aac"_s}},
        {u".aac"_s, {u"-c:a"_s, u"aac"_s, u"-f"_s, u"adts"_s}},
        {u".wv"_s, {u"-c:a"_s, u"wavpack"_s}},
        {u".aiff"_s, {u"-c:a"_s, u"pcm_s16be"_s, u"-write_id3v2"_s, u"1"_s, u"-f"_s, u"aiff"_s}},
        {u".aif"_s, {u"-c:a"_s, u"pcm_s16be"_s, u"-write_id3v2"_s, u"1"_s, u"-f"_s, u"aiff"_s}},
    };
    const auto known = kCodecs.find(lowerExtension(path));
    const QStringList codec = known != kCodecs.end() ? known->second : QStringList{u"-c:a"_s, u"pcm_s16le"_s};
    QStringList arguments{u"-hide_banner"_s, u"-loglevel"_s, u"error"_s, u"-y"_s, u"-f"_s, u"lavfi"_s,
                          u"-i"_s, u"sine=frequency=440:sample_rate=44100:duration="_s + QString::number(seconds)};
    if (!title.isEmpty())
        arguments << u"-metadata"_s << u"title="_s + title;
    if (!artist.isEmpty())
        arguments << u"-metadata"_s << u"artist="_s + artist;
    arguments << codec << path;
    QProcess ffmpeg;
    ffmpeg.start(u"ffmpeg"_s, arguments);
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitStatus() == QProcess::NormalExit && ffmpeg.exitCode() == 0;
}

class PlayFixture : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        // Nothing here may ever reach the machine's own logind.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", QFile::encodeName(u"unix:path="_s + runtime_.path() + u"/no-bus"_s));
        TSkinSettings settings;
        settings.hotKeysOn = false;
        settings.spectrumOn = false;
        writeSkin(settings);
    }
    void TearDown() override
    {
        window_.reset();
        WindowFixture::TearDown();
    }
    void start(const QStringList &arguments = {})
    {
        window_ = std::make_unique<Melodeck>(arguments);
        ASSERT_TRUE(window_->started());
        // The deferred song-list load would open the base-directory dialog.
        window_->load_songlist_timer.stop();
        window_->show();
    }
    QString song(const QString &name, double seconds = 1.0)
    {
        const QString path = home() + name;
        EXPECT_TRUE(writeSong(path, seconds, name, u"Artist "_s + name)) << qPrintable(path);
        return path;
    }
    static void addRow(TFileInfos &list, const QString &file, const QString &title = {},
                       const QString &archive = {})
    {
        list.appendRow(file, archive, title.isEmpty() ? QString() : u"Artist "_s + title, title, u"Album"_s);
    }
    bool playing() const { return window_->button_playpause->text() == Caption::Pause; }
    std::int64_t position() const { return window_->engine().channelGetPosition(window_->currentStream); }
    // Waits until the playlist row has started (or the time is out).
    bool waitForRow(int row, int timeoutMs = kStateWaitMs) const
    {
        return QTest::qWaitFor([&] { return playing() && window_->currentIndex == row; }, timeoutMs);
    }
    QStringList messages() const { return logLines().filter(u"message "_s); }
    // Makes the tab active and shows its list, also when it already was.
    void showPage(int page)
    {
        {
            const QSignalBlocker quiet(window_->page_control);
            window_->page_control->setCurrentIndex(page);
        }
        window_->page_controlChange();
        QApplication::processEvents();
    }
    QPoint cellCentre(int gridRow, int column) const
    {
        const QModelIndex index = window_->songlist_grid->model()->index(gridRow - 1, column);
        return window_->songlist_grid->visualRect(index).center();
    }
    QWidget *gridViewport() const { return window_->songlist_grid->viewport(); }
    void doubleClickRow(int gridRow)
    {
        QTest::mouseClick(gridViewport(), Qt::LeftButton, {}, cellCentre(gridRow, 1));
        QTest::mouseDClick(gridViewport(), Qt::LeftButton, {}, cellCentre(gridRow, 1));
    }
    void rightClickRow(int gridRow)
    {
        QTest::mouseClick(gridViewport(), Qt::RightButton, {}, cellCentre(gridRow, 1));
    }
    void clickHeader(int column, Qt::MouseButton button = Qt::LeftButton)
    {
        QHeaderView *header = window_->songlist_grid->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), button, {}, at);
    }

    std::unique_ptr<Melodeck> window_;
};

} // namespace playtest
