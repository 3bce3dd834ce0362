#include "playlistfiles.h"

#include "captions.h"
#include "melodeck.h"
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

TPlaylistFiles::TPlaylistFiles(Melodeck &window)
    : w_(window)
{
    useFilter(*w_.SaveDialog1);
    useFilter(*w_.OpenDialog1);
}

void TPlaylistFiles::button_saveplaylistClick()
{
    const QString chosen = chooseFile(*w_.SaveDialog1);
    if (chosen.isEmpty())
        return;
    const QString path = withPlaylistExtension(chosen);
    // The next save starts from the name actually written.
    w_.SaveDialog1->selectFile(path);
    w_.playlist.saveTable(path);
}

void TPlaylistFiles::button_loadplaylistClick()
{
    const QString chosen = chooseFile(*w_.OpenDialog1);
    if (chosen.isEmpty())
        return;
    if (w_.page_control->currentIndex() == Page::Searchlist) {
        w_.searchlist.loadTable(chosen);
        w_.showList(w_.searchlist);
        return;
    }
    w_.playlist.loadTable(chosen);
    // The tab follows the grid also when the file held no song and nothing
    // starts that would switch it.
    {
        const QSignalBlocker quiet(w_.page_control);
        w_.page_control->setCurrentIndex(Page::Playlist);
    }
    w_.page_controlChange();
    w_.playSong(0, true);
}
