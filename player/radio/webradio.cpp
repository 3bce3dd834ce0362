#include "webradio.h"

#include "stationprober.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

const QString TWebRadio::kStoreFileName = u"radiolist.azl"_s;
const QString TWebRadio::kNoConnectionText = u"Could not connect the the url."_s;
const QString TWebRadio::kDuplicateText = u"The url already is in database!"_s;
const QString TWebRadio::kDeleteTitle = u"Delete Radio"_s;

namespace {
QString removeQuestion(const QString &name, const QString &url)
{
    return u"Do you want to remove the webradio \""_s + name + u"\" in \""_s + url + u"\"?"_s;
}
} // namespace

// The wait cursor for as long as a connection on the window's thread lasts.
class TWebRadio::BusyScope
{
public:
    explicit BusyScope(const TWebRadioHooks &hooks) : hooks_(hooks)
    {
        if (hooks_.setBusy)
            hooks_.setBusy(true);
    }
    ~BusyScope()
    {
        if (hooks_.setBusy)
            hooks_.setBusy(false);
    }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    const TWebRadioHooks &hooks_;
};

TWebRadio::TWebRadio(TWebRadioState state, TWebRadioHooks hooks, QString storeFile, QObject *parent)
    : QObject(parent), s_(state), h_(std::move(hooks)), storeFile_(std::move(storeFile))
{
}

TWebRadio::~TWebRadio()
{
    stopRefresh();
}

void TWebRadio::radioSetup()
{
    s_.engine.setConfig(audio::Config::NetPlaylist, 1);
    if (QFileInfo::exists(storeFile_))
        s_.radiolist.loadTable(storeFile_);
    currentUrl_.clear();
    refreshThreadId_ = {};
}

void TWebRadio::writeStation(TFileInfos &list, int row, const TStreamInfo &info)
{
    list.artist.replace(row, stripLineBreaks(info.stationName));
    list.title.replace(row, stripLineBreaks(info.streamTitle));
    list.album.replace(row, stationAlbumText(info));
}

void TWebRadio::showRow(int page, const TFileInfos &list, int row) const
{
    if (h_.activePage && h_.activePage() == page && h_.gridRowChanged)
        h_.gridRowChanged(list, row);
}

bool TWebRadio::openStation(const QString &url)
{
    {
        const BusyScope busy(h_);
        s_.currentStream = s_.engine.streamCreateUrl(stationAddress(url), 0, audio::kStreamStatus);
    }
    if (s_.currentStream == 0)
        return false;
    TStreamInfo info;
    info.streamTitle = readStreamTitle(s_.engine, s_.currentStream);
    readStationHeaders(s_.engine, s_.currentStream, info);
    const int row = s_.currentIndex;
    if (row >= 0 && row < s_.playlist.count()) {
        writeStation(s_.playlist, row, info);
        showRow(kPlaylistPage, s_.playlist, row);
    }
    currentUrl_ = url;
    // Called on the library's decoder thread: only hand the news over.
    s_.engine.channelSetSync(s_.currentStream, audio::SyncType::Meta, 0,
                             [this](audio::Handle, audio::Handle channel) {
                                 QMetaObject::invokeMethod(
                                     this, [this, channel] { streamMetaChanged(channel); },
                                     Qt::QueuedConnection);
                             });
    s_.engine.channelPlay(s_.currentStream, false);
    return true;
}

void TWebRadio::streamMetaChanged(audio::Handle channel)
{
    if (channel == 0 || channel != s_.currentStream)
        return;
    const QString title = stripLineBreaks(readStreamTitle(s_.engine, s_.currentStream));
    for (int row = 0; row < s_.playlist.count(); ++row) {
        if (s_.playlist.archive.at(row) != currentUrl_)
            continue;
        s_.playlist.title.replace(row, title);
        showRow(kPlaylistPage, s_.playlist, row);
    }
    if (h_.streamTitleChanged)
        h_.streamTitleChanged(title);
}

void TWebRadio::refreshRadioList()
{
    if (refreshThreadId_ != std::thread::id())
        return;
    const std::uint64_t refresh = ++refreshCount_;
    prober_ = std::make_unique<TStationProber>(
        this,
        // The worker may outlive the window (a probe stuck in a name lookup
        // is abandoned at close): it gets a probe that needs no engine.
        [probe = s_.engine.urlProbe()](const QString &url, TStreamInfo &info,
                                       std::shared_ptr<const std::atomic<bool>> cancel) {
            // A station that cannot be reached gets empty texts.
            probeStation(probe, url, info, std::move(cancel));
        },
        [this, refresh](const QString &url, const TStreamInfo &info) { stationProbed(refresh, url, info); });
    refreshThreadId_ = prober_->threadId();
    refreshRow_ = 0;
    refreshNext();
}

void TWebRadio::refreshNext()
{
    // The row count is read anew for every row: stations added or removed
    // meanwhile count.
    if (refreshRow_ >= s_.radiolist.count()) {
        finishRefresh();
        return;
    }
    prober_->probe(s_.radiolist.archive.at(refreshRow_));
}

void TWebRadio::stationProbed(std::uint64_t refresh, const QString &url, const TStreamInfo &info)
{
    if (!prober_ || refresh != refreshCount_)
        return;
    const int row = refreshRow_;
    // A row whose station changed under the probe keeps what it has.
    if (row < s_.radiolist.count() && s_.radiolist.archive.at(row) == url) {
        writeStation(s_.radiolist, row, info);
        showRow(kRadiolistPage, s_.radiolist, row);
    }
    ++refreshRow_;
    refreshNext();
}

void TWebRadio::finishRefresh()
{
    s_.radiolist.saveTable(storeFile_);
    prober_.reset();
    refreshThreadId_ = {};
}

void TWebRadio::stopRefresh()
{
    ++refreshCount_;
    prober_.reset();
    refreshThreadId_ = {};
}

void TWebRadio::addStation(const QString &url)
{
    TStreamInfo info;
    bool reached = false;
    {
        const BusyScope busy(h_);
        reached = probeStation(s_.engine, url, info);
    }
    if (!reached) {
        if (h_.showMessage)
            h_.showMessage(kNoConnectionText);
        return;
    }
    if (s_.radiolist.archive.contains(url)) {
        if (h_.showMessage)
            h_.showMessage(kDuplicateText);
        return;
    }
    s_.radiolist.appendRow(QString(), url, QString(), QString(), QString());
    writeStation(s_.radiolist, s_.radiolist.count() - 1, info);
    s_.radiolist.saveTable(storeFile_);
    if (h_.showList)
        h_.showList(s_.radiolist);
}

void TWebRadio::radio_subClick()
{
    const int gridRow = h_.selectedGridRow ? h_.selectedGridRow() : 0;
    const int row = gridRow - 1;
    if (row < 0 || row >= s_.radiolist.count())
        return;
    const QString url = s_.radiolist.archive.at(row);
    if (!h_.askYesNo || !h_.askYesNo(kDeleteTitle, removeQuestion(s_.radiolist.artist.at(row), url)))
        return;
    // The question runs an event loop: whatever happened meanwhile, only the
    // station asked about goes, and an emptied list is never stored.
    if (row >= s_.radiolist.count() || s_.radiolist.archive.at(row) != url)
        return;
    s_.radiolist.deleteRow(static_cast<std::uint32_t>(row));
    s_.radiolist.saveTable(storeFile_);
    if (h_.showList)
        h_.showList(s_.radiolist);
}
