#include "playorder.h"

#include "captions.h"
#include "melodeck.h"
#include "tabcontrol.h"

#include <QAction>
#include <QTabBar>

#include <random>

namespace {
// Shut down and switch the machine off.
constexpr int kPowerOff = 1;
} // namespace

TPlayOrder::TPlayOrder(Melodeck &window, std::function<bool(int kind)> shutdown)
    : w_(window), shutdown_(std::move(shutdown))
{
}

int TPlayOrder::random(int n)
{
    if (n <= 0)
        return 0;
    std::uniform_int_distribution<int> pick(0, n - 1);
    return pick(w_.random());
}

void TPlayOrder::button_nextsongClick()
{
    w_.randomMode = false;
    int target = w_.currentIndex + 1;
    if (w_.playlist.count() == 0 || target > w_.playlist.count() - 1)
        target = 0;
    w_.playSong(target, true);
}

void TPlayOrder::button_previoussongClick()
{
    w_.randomMode = false;
    if (w_.currentIndex > 0)
        w_.playSong(w_.currentIndex - 1, true);
    else
        w_.playSong(w_.playlist.count() - 1, true);
}

void TPlayOrder::button_randomClick()
{
    w_.randomMode = true;
    if (w_.playlist.count() == 0)
        w_.playlist.assign(*w_.currentList);
    w_.playSong(random(w_.playlist.count()), true);
}

void TPlayOrder::songEnded()
{
    // The grid follows the playing song only while the playlist is shown.
    const bool onPlaylistTab = w_.page_control->currentIndex() == Page::Playlist;
    if (w_.randomMode) {
        w_.playSong(random(w_.playlist.count()), onPlaylistTab);
    } else if (w_.currentIndex + 1 >= 0 && w_.currentIndex + 1 < w_.playlist.count()) {
        w_.playSong(w_.currentIndex + 1, onPlaylistTab);
    } else if (w_.after_playlist_stop->isChecked()) {
        w_.button_stopClick();
    } else if (w_.after_playlist_repeat->isChecked()) {
        w_.playSong(0, onPlaylistTab);
    } else if (w_.after_playlist_shutdown->isChecked()) {
        if (shutdown_)
            shutdown_(kPowerOff);
    }
}
