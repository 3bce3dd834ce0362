#pragma once

// Which playlist row plays next: ">>", "<<", "Random Song", and the end of a
// song with the after-playlist action.

#include <cstdint>
#include <functional>
#include <random>

class QAction;
class QTabBar;
class TFileInfos;

// What the main window hands the play order at construction.
struct TPlayOrderLinks
{
    TFileInfos *playlist = nullptr;
    // The table the grid shows; "Random Song" plays it when the playlist
    // is empty.
    TFileInfos *const *currentList = nullptr;
    const std::int32_t *currentIndex = nullptr;
    bool *randomMode = nullptr;
    std::mt19937 *random = nullptr;
    const QTabBar *pageControl = nullptr;
    // The three items of the after-playlist menu.
    const QAction *afterStop = nullptr;
    const QAction *afterRepeat = nullptr;
    const QAction *afterShutdown = nullptr;
    std::function<void(std::int32_t row, bool showPlaylist)> playSong;
    std::function<void()> stop;
    // The system's power-off; tests hand in a stand-in.
    std::function<bool(int kind)> shutdown;
};

class TPlayOrder
{
public:
    explicit TPlayOrder(TPlayOrderLinks links) : links_(std::move(links)) {}

    void button_nextsongClick();
    void button_previoussongClick();
    void button_randomClick();
    // The end-of-song rule, run after play_monitor has stopped itself.
    void songEnded();

    // 0 .. n - 1 with equal chance; 0 for n <= 0.
    int random(int n);

private:
    const TPlayOrderLinks links_;
};
