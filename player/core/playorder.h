#pragma once

// Which playlist row plays next: ">>", "<<", "Random Song", and the end of a
// song with the after-playlist action.

#include <functional>

class Melodeck;

class TPlayOrder
{
public:
    // shutdown stands for the system's power-off; tests hand in a stand-in.
    TPlayOrder(Melodeck &window, std::function<bool(int kind)> shutdown);

    void button_nextsongClick();
    void button_previoussongClick();
    void button_randomClick();
    // The end-of-song rule, run after play_monitor has stopped itself.
    void songEnded();

    // 0 .. n - 1 with equal chance; 0 for n <= 0.
    int random(int n);

private:
    Melodeck &w_;
    std::function<bool(int)> shutdown_;
};
