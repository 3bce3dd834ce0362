#include "libraryscan.h"

#include "basedirectories.h"
#include "captions.h"
#include "freedmemory.h"
#include "forms/tbase_form.h"
#include "skindisplay.h"
#include "tabcontrol.h"
#include "textprefetch.h"
#include "timage.h"
#include "untunrar.h"
#include "usermessages.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
// In test runs the dialog closes itself like the message boxes do, so a
// whole-program test never waits for somebody at the keyboard.
constexpr int kTestDialogCloseMs = 100;
const QString kDialogLogPrefix = u"dialog "_s;

const QString &fieldName(TScanField field)
{
    static const std::array<const QString *, 5> names{&DisplayField::Nr, &DisplayField::Interpret,
                                                      &DisplayField::Title, &DisplayField::Album,
                                                      &DisplayField::Time};
    return *names.at(static_cast<std::size_t>(field));
}

QStringList localPaths(const QMimeData *mime)
{
    QStringList paths;
    if (!mime || !mime->hasUrls())
        return paths;
    const QList<QUrl> urls = mime->urls();
    for (const QUrl &url : urls)
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    return paths;
}
} // namespace

// Marks a scan as running: the controls that could read or change the table
// being filled are disabled and get their old state back at the end, and
// the last progress texts are drawn. A scope inside another one (a
// forwarded folder walked while a refresh runs) leaves the end to the outer.
class TLibraryScan::BusyScope
{
public:
    explicit BusyScope(TLibraryScan &owner) : owner_(owner), outermost_(!owner.busy_)
    {
        owner_.busy_ = true;
        for (QWidget *widget : owner_.links_.blockedWhileScanning) {
            if (widget->isEnabled()) {
                widget->setEnabled(false);
                disabled_.append(widget);
            }
        }
    }
    ~BusyScope()
    {
        for (const QPointer<QWidget> &widget : std::as_const(disabled_))
            if (widget)
                widget->setEnabled(true);
        owner_.flushFields(true);
        if (!outermost_)
            return;
        owner_.busy_ = false;
        // Work that waited for the scan goes first, a close asked for
        // meanwhile after it.
        if (owner_.closeWanted_) {
            owner_.closeWanted_ = false;
            owner_.waiting_.push_back({[w = &owner_.window_] { w->close(); }, false});
        }
        owner_.scheduleWaiting();
    }
    BusyScope(const BusyScope &) = delete;
    BusyScope &operator=(const BusyScope &) = delete;

private:
    TLibraryScan &owner_;
    const bool outermost_;
    QList<QPointer<QWidget>> disabled_;
};

TLibraryScan::TLibraryScan(TLibraryScanLinks links)
    : QObject(links.window), links_(std::move(links)), window_(*links_.window), image_(links_.image)
{
    TScanHooks hooks;
    hooks.showField = [this](TScanField field, const QString &text) { showField(field, text); };
    hooks.runMessageLoop = [this] { runMessageLoop(); };
    scanner_ = std::make_unique<TLibraryScanner>(*links_.filter, links_.archives, hooks);
    window_.installEventFilter(this);
    image_->installEventFilter(this);
}

TLibraryScan::~TLibraryScan() = default;

void TLibraryScan::showField(TScanField field, const QString &text)
{
    pendingFields_.at(static_cast<std::size_t>(field)) = text;
}

void TLibraryScan::flushFields(bool repaint)
{
    bool drawn = false;
    for (std::size_t k = 0; k < pendingFields_.size(); ++k) {
        if (!pendingFields_[k])
            continue;
        links_.display->drawField(fieldName(static_cast<TScanField>(k)), *pendingFields_[k]);
        pendingFields_[k].reset();
        drawn = true;
    }
    if (drawn && repaint)
        links_.image->changed();
    sinceRepaint_.restart();
}

void TLibraryScan::runMessageLoop()
{
    if (!sinceRepaint_.isValid() || sinceRepaint_.elapsed() >= kRepaintIntervalMs)
        flushFields(true);
    QCoreApplication::processEvents();
}

bool TLibraryScan::eventFilter(QObject *watched, QEvent *event)
{
    // Compared by address only: while the window is destroyed its children
    // still send events here, but its members are gone.
    if (watched == image_) {
        // Whatever asked for this repaint, it shows the newest progress.
        if (event->type() == QEvent::Paint)
            flushFields(false);
        return false;
    }
    if (watched != &window_)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (!localPaths(drag->mimeData()).isEmpty())
            drag->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        const QStringList paths = localPaths(drop->mimeData());
        if (paths.isEmpty())
            return true;
        drop->acceptProposedAction();
        // Handled once the drag has finished, so the desktop is not kept
        // waiting for the scan.
        QTimer::singleShot(0, this, [this, paths] { dropFiles(paths); });
        return true;
    }
    case QEvent::Close:
        // The tables and the archive library must outlive a running scan;
        // the window closes as soon as the scan is done.
        if (busy_) {
            closeWanted_ = true;
            event->ignore();
            return true;
        }
        // Nothing that waited may run on a closed window.
        waiting_.clear();
        return false;
    default:
        return false;
    }
}

void TLibraryScan::prefetchLibrary()
{
    const QString songList = scanner_->songListFile();
    if (QFileInfo::exists(songList))
        prefetch_ = std::make_unique<TTextPrefetch>(songList);
}

void TLibraryScan::button_refreshsonglistClick(QObject *sender)
{
    if (busy_)
        return;
    {
        const BusyScope scope(*this);
        const bool fromButton = qobject_cast<QAbstractButton *>(sender) != nullptr;
        TFileInfos &musiclist = *links_.musiclist;
        TStringListC baseDirectories = loadBaseDirectories();
        if (removeMissingDirectories(baseDirectories))
            saveBaseDirectories(baseDirectories);
        const QString songList = scanner_->songListFile();
        if (QFileInfo::exists(songList) && !baseDirectories.isEmpty()) {
            musiclist.loadTable(songList, prefetch_.get());
            if (fromButton) {
                links_.stop();
                scanner_->removeMissingSongs(musiclist);
                scanner_->scanDirectories(baseDirectories, musiclist, true);
            }
        } else {
            links_.stop();
            if (baseDirectories.isEmpty()) {
                askForBaseDirectory(baseDirectories);
                QFile::remove(songList);
            }
            // A full scan starts from nothing, so rows still in memory are
            // not listed twice.
            musiclist.clear();
            scanner_->scanDirectories(baseDirectories, musiclist, false);
        }
        // The tab strip follows the grid, so a later drop goes where the
        // user sees it go.
        {
            const QSignalBlocker quiet(links_.pageControl);
            links_.pageControl->setCurrentIndex(Page::Musiclist);
        }
        links_.showList(musiclist);
        libraryLoaded_ = true;
    }
    prefetch_.reset();
    // The load and the scan leave tens of megabytes freed in a big library.
    returnFreedMemory();
}

void TLibraryScan::askForBaseDirectory(TStringListC &baseDirectories)
{
    auto *form = window_.findChild<Tbase_form *>();
    std::unique_ptr<Tbase_form> own;
    if (!form) {
        own = std::make_unique<Tbase_form>(&window_);
        form = own.get();
    }
    form->setBaseDirectories(&baseDirectories);
    if (testLogEnabled()) {
        testLog(kDialogLogPrefix + form->windowTitle());
        QTimer::singleShot(kTestDialogCloseMs, form, &Tbase_form::cancelClick);
    }
    form->exec();
    form->setBaseDirectories(nullptr);
    // The main window gets the keyboard back, for the search box's focus.
    if (window_.isVisible())
        window_.activateWindow();
}

void TLibraryScan::dropFiles(const QStringList &paths)
{
    // The drop goes where the user saw it go, also when it has to wait.
    const PendingDrop drop{paths, *links_.currentList,
                           links_.pageControl->currentIndex() == Page::Musiclist};
    runOrKeep([this, drop] { runDrop(drop); }, true);
}

void TLibraryScan::whenIdle(std::function<void()> job)
{
    runOrKeep(std::move(job), false);
}

void TLibraryScan::runOrKeep(std::function<void()> job, bool needsLibrary)
{
    WaitingJob waiting{std::move(job), needsLibrary};
    // Earlier work that is due goes first.
    if (runnable(waiting) && !runnableWaiting()) {
        waiting.run();
        return;
    }
    waiting_.push_back(std::move(waiting));
}

bool TLibraryScan::runnable(const WaitingJob &job) const
{
    return !busy_ && (libraryLoaded_ || !job.needsLibrary);
}

bool TLibraryScan::runnableWaiting() const
{
    return std::any_of(waiting_.begin(), waiting_.end(), [this](const WaitingJob &job) { return runnable(job); });
}

void TLibraryScan::scheduleWaiting()
{
    if (runScheduled_ || !runnableWaiting())
        return;
    runScheduled_ = true;
    // From the message loop, once the handler that ended the scan is done.
    QMetaObject::invokeMethod(this, [this] {
        runScheduled_ = false;
        runWaiting();
    }, Qt::QueuedConnection);
}

void TLibraryScan::runWaiting()
{
    while (!busy_) {
        const auto next = std::find_if(waiting_.begin(), waiting_.end(),
                                       [this](const WaitingJob &job) { return runnable(job); });
        if (next == waiting_.end())
            return;
        const std::function<void()> job = std::move(next->run);
        waiting_.erase(next);
        job();
    }
}

void TLibraryScan::runDrop(const PendingDrop &drop)
{
    const BusyScope scope(*this);
    TStringListC baseDirectories = loadBaseDirectories();
    bool changed = false;
    for (const QString &path : drop.paths)
        changed = scanner_->addDroppedPath(path, baseDirectories, *drop.target, drop.onMusiclistTab) || changed;
    if (changed)
        saveBaseDirectories(baseDirectories);
    showField(TScanField::Interpret, *links_.currentArtist);
    showField(TScanField::Title, *links_.currentTitle);
    showField(TScanField::Album, *links_.currentAlbum);
    flushFields(true);
    links_.showTime();
    links_.showList(**links_.currentList);
    if (drop.onMusiclistTab)
        links_.musiclist->saveTable(scanner_->songListFile());
}

void TLibraryScan::addToPlaylist(const QString &path)
{
    // A walk of its own: the start-up load and drops wait for it.
    const BusyScope scope(*this);
    if (QFileInfo(path).isDir())
        scanner_->addDirectory(withoutTrailingSlash(path), *links_.playlist, false);
    else
        scanner_->addFile(path, *links_.playlist, false);
}
