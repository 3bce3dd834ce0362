#pragma once

// Web radio: the station list (`radiolist`, stored in "radiolist.azl"),
// playing a station with its live stream titles, the background refresh of
// the list, adding and removing stations. It works on the main window's
// lists and stream through references and reaches the controls only through
// the call-backs it is given, so it needs no widgets.
//
// A station row has an empty Filename, its URL (the key, compared exactly) in
// Archive, and the station's name, last title and "web address (bit rate
// kBit)" in Artist, Title and Album.

#include "engine.h"
#include "options.h"
#include "stationinfo.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

class TStationProber;

// The window state web radio shares; it all outlives the TWebRadio.
struct TWebRadioState
{
    audio::Engine &engine;
    TFileInfos &radiolist;
    TFileInfos &playlist;
    std::int32_t &currentIndex;
    audio::Handle &currentStream;
};

// What web radio asks of the window; every call comes on the window's thread.
struct TWebRadioHooks
{
    // The active page of page_control.
    std::function<int()> activePage;
    // Redraws the Title, Artist and Album cells of a list's row in the grid.
    std::function<void(const TFileInfos &list, int row)> gridRowChanged;
    // The grid's selected row, 1-based (0 or less: none).
    std::function<int()> selectedGridRow;
    std::function<void(TFileInfos &list)> showList;
    // The title call-back: a station sent a new stream title.
    std::function<void(const QString &title)> streamTitleChanged;
    // A plain message box with one OK button.
    std::function<void(const QString &text)> showMessage;
    // A question with Yes and No; true for Yes.
    std::function<bool(const QString &title, const QString &text)> askYesNo;
    // Around a connection made on the window's thread: on with true (a wait
    // cursor, the window drawn first), off again with false.
    std::function<void(bool busy)> setBusy;
};

class TWebRadio : public QObject
{
    Q_OBJECT

public:
    static const QString kStoreFileName;     // "radiolist.azl"
    static const QString kNoConnectionText;  // "Could not connect the the url."
    static const QString kDuplicateText;     // "The url already is in database!"
    static const QString kDeleteTitle;       // "Delete Radio"
    static constexpr int kRadiolistPage = 1;
    static constexpr int kPlaylistPage = 3;

    // storeFile is where the station list is kept (the program directory's
    // "radiolist.azl").
    TWebRadio(TWebRadioState state, TWebRadioHooks hooks, QString storeFile, QObject *parent = nullptr);
    // Stops a running refresh; the refresh's lists are left alone.
    ~TWebRadio() override;

    // Follows playlist URLs from now on and loads the stored station list.
    void radioSetup();

    // Opens the station for playlist row currentIndex, writes what it tells
    // into that row, follows its titles and starts it. False when it cannot
    // be opened (the stream stays 0). Connects on this thread.
    bool openStation(const QString &url);
    // The audio library saw new metadata on `channel`; handled on this
    // thread. Notifications of a stream that is no longer current are old.
    void streamMetaChanged(audio::Handle channel);

    // Probes every station on a worker thread, updating the rows (and the
    // grid while the Radiolist is shown), then saves. At most one runs.
    void refreshRadioList();
    // Abandons a running refresh without saving; nothing it had pending
    // touches the lists afterwards.
    void stopRefresh();

    // The add dialog's OK action: probes the URL (on this thread), refuses
    // unreachable and known stations, otherwise appends, saves and shows it.
    void addStation(const QString &url);
    // Asks, then removes the station of the grid's selected row.
    void radio_subClick();

    const QString &currentUrl() const { return currentUrl_; }
    // The running refresh's worker; a default id when none runs.
    std::thread::id refreshThreadId() const { return refreshThreadId_; }

private:
    class BusyScope;

    void refreshNext();
    void stationProbed(std::uint64_t refresh, const QString &url, const TStreamInfo &info);
    void finishRefresh();
    static void writeStation(TFileInfos &list, int row, const TStreamInfo &info);
    void showRow(int page, const TFileInfos &list, int row) const;

    TWebRadioState s_;
    TWebRadioHooks h_;
    const QString storeFile_;
    QString currentUrl_;
    std::thread::id refreshThreadId_;
    std::unique_ptr<TStationProber> prober_;
    int refreshRow_ = 0;
    // Tells the results of an abandoned refresh from those of the running one.
    std::uint64_t refreshCount_ = 0;
};
