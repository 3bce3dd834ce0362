#include "playorder.h"

#include "captions.h"
#include "options.h"
#include "tabcontrol.h"

#include <QAction>
#include <QTabBar>

namespace {
// Shut down and switch the machine off.
constexpr int kPowerOff = 1;
} // namespace

int TPlayOrder::random(int n)
{
    if (n <= 0)
        return 0;
    std::uniform_int_distribution<int> pick(0, n - 1);
    return pick(*links_.random);
}

void TPlayOrder::button_nextsongClick()
{
    *links_.randomMode = false;
    int target = *links_.currentIndex + 1;
    if (links_.playlist->count() == 0 || target > links_.playlist->count() - 1)
        target = 0;
    links_.playSong(target, true);
}

void TPlayOrder::button_previoussongClick()
{
    *links_.randomMode = false;
    if (*links_.currentIndex > 0)
        links_.playSong(*links_.currentIndex - 1, true);
    else
        links_.playSong(links_.playlist->count() - 1, true);
}

void TPlayOrder::button_randomClick()
{
    *links_.randomMode = true;
    if (links_.playlist->count() == 0)
        links_.playlist->assign(**links_.currentList);
    links_.playSong(random(links_.playlist->count()), true);
}

void TPlayOrder::songEnded()
{
    // The grid follows the playing song only while the playlist is shown.
    const bool onPlaylistTab = links_.pageControl->currentIndex() == Page::Playlist;
    if (*links_.randomMode) {
        links_.playSong(random(links_.playlist->count()), onPlaylistTab);
    } else if (*links_.currentIndex + 1 >= 0 && *links_.currentIndex + 1 < links_.playlist->count()) {
        links_.playSong(*links_.currentIndex + 1, onPlaylistTab);
    } else if (links_.afterStop->isChecked()) {
        links_.stop();
    } else if (links_.afterRepeat->isChecked()) {
        links_.playSong(0, onPlaylistTab);
    } else if (links_.afterShutdown->isChecked()) {
        if (links_.shutdown)
            links_.shutdown(kPowerOff);
    }
}
