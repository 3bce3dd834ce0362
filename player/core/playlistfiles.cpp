#include "playlistfiles.h"

#include "captions.h"
#include "options.h"
#include "tabcontrol.h"
#include "usermessages.h"

#include <QFileDialog>
#include <QSignalBlocker>

using namespace Qt::StringLiterals;

namespace {
const QString kExtension = u".azl"_s;

void useFilter(QFileDialog &dialog)
{
    // Qt wants "description (pattern)"; hiding the details shows the
    // description alone, as the one entry of the list.
    dialog.setNameFilter(TPlaylistFiles::kFilterDescription + u" (*.azl)"_s);
    dialog.setOption(QFileDialog::HideNameFilterDetails, true);
}
} // namespace

const QString TPlaylistFiles::kFilterDescription = u"*.azl - Quarrow Playlist"_s;

QString withPlaylistExtension(const QString &name)
{
    return name.endsWith(kExtension, Qt::CaseInsensitive) ? name : name + kExtension;
}

TPlaylistFiles::TPlaylistFiles(TPlaylistFilesLinks links) : links_(std::move(links))
{
    useFilter(*links_.saveDialog);
    useFilter(*links_.openDialog);
}

void TPlaylistFiles::button_saveplaylistClick()
{
    const QString chosen = chooseFile(*links_.saveDialog);
    if (chosen.isEmpty())
        return;
    const QString path = withPlaylistExtension(chosen);
    // The next save starts from the name actually written.
    links_.saveDialog->selectFile(path);
    links_.playlist->saveTable(path);
}

void TPlaylistFiles::button_loadplaylistClick()
{
    const QString chosen = chooseFile(*links_.openDialog);
    if (chosen.isEmpty())
        return;
    if (links_.pageControl->currentIndex() == Page::Searchlist) {
        links_.searchlist->loadTable(chosen);
        links_.showList(*links_.searchlist);
        return;
    }
    links_.playlist->loadTable(chosen);
    // The tab follows the grid also when the file held no song and nothing
    // starts that would switch it.
    {
        const QSignalBlocker quiet(links_.pageControl);
        links_.pageControl->setCurrentIndex(Page::Playlist);
    }
    links_.pageControlChange();
    links_.playSong(0, true);
}
