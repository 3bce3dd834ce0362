#pragma once

// What the main window hands its library work to: the song-list load and
// refresh, drops from the desktop, the command line's directory walks, and
// the progress in the display fields. Only one scan runs at a time: a second
// refresh is ignored and drops wait until the running scan is done. Drops
// may save the library, so they also wait until the stored song list has
// been loaded in this run.

#include "scanner.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

class QTabBar;
class QWidget;
class TImage;
class TSkinDisplay;
class TTextPrefetch;
class TUnRar;

// What the main window hands the library work at construction: the tables it
// fills, the controls it shows progress in or blocks, and the few window
// operations it calls.
struct TLibraryScanLinks
{
    // Gets the drops and the close; owns the base-directory dialog.
    QWidget *window = nullptr;
    TImage *image = nullptr;
    TSkinDisplay *display = nullptr;
    const TFileFilterInfos *filter = nullptr;
    const TUnRar *archives = nullptr;
    TFileInfos *musiclist = nullptr;
    TFileInfos *playlist = nullptr;
    // The table the grid shows; read when a drop arrives.
    TFileInfos *const *currentList = nullptr;
    QTabBar *pageControl = nullptr;
    // The playing song's texts, drawn again after a drop.
    const QString *currentArtist = nullptr;
    const QString *currentTitle = nullptr;
    const QString *currentAlbum = nullptr;
    // Everything that reads or changes a song table, disabled while a scan
    // runs.
    QList<QWidget *> blockedWhileScanning;
    std::function<void()> stop;
    std::function<void(TFileInfos &list)> showList;
    std::function<void()> showTime;
};

class TLibraryScan : public QObject
{
    Q_OBJECT

public:
    // Progress repaints are drawn at most this often; a repaint of the
    // picture in between still shows the newest texts.
    static constexpr int kRepaintIntervalMs = 30;

    // The filter table and archive access must exist already.
    explicit TLibraryScan(TLibraryScanLinks links);
    ~TLibraryScan() override;

    // The sender decides: a button refreshes from disk, anything else (the
    // start-up timer) only loads the stored list when there is one.
    void button_refreshsonglistClick(QObject *sender);
    // Starts restoring the stored song list for the load that follows; the
    // first load or refresh takes it or drops it.
    void prefetchLibrary();
    // Local files and folders dropped on the window, in drop order.
    void dropFiles(const QStringList &paths);
    // A command-line path: a directory's tree or a single file, into the
    // playlist, without the duplicate check.
    void addToPlaylist(const QString &path);

    // Runs job at once when no scan runs and no earlier work is due;
    // otherwise once the running scan has ended, in the order given.
    void whenIdle(std::function<void()> job);

    bool busy() const { return busy_; }
    // True once this run has loaded the stored song list or built it.
    bool libraryLoaded() const { return libraryLoaded_; }
    TLibraryScanner &scanner() { return *scanner_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct PendingDrop
    {
        QStringList paths;
        TFileInfos *target;
        bool onMusiclistTab;
    };
    struct WaitingJob
    {
        std::function<void()> run;
        bool needsLibrary;
    };
    class BusyScope;

    std::unique_ptr<TTextPrefetch> prefetch_;

    void showField(TScanField field, const QString &text);
    void runMessageLoop();
    void flushFields(bool repaint);
    void askForBaseDirectory(TStringListC &baseDirectories);
    void runDrop(const PendingDrop &drop);
    // Runs job now when nothing stands in its way, else keeps it.
    void runOrKeep(std::function<void()> job, bool needsLibrary);
    bool runnable(const WaitingJob &job) const;
    bool runnableWaiting() const;
    void scheduleWaiting();
    void runWaiting();

    const TLibraryScanLinks links_;
    QWidget &window_;
    QObject *const image_;
    std::unique_ptr<TLibraryScanner> scanner_;
    std::array<std::optional<QString>, 5> pendingFields_;
    QElapsedTimer sinceRepaint_;
    bool busy_ = false;
    bool closeWanted_ = false;
    bool libraryLoaded_ = false;
    bool runScheduled_ = false;
    std::deque<WaitingJob> waiting_;
};
