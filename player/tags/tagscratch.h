#pragma once

// Scratch memory for parsing one file's tags. TagLib builds a few hundred
// small objects per tag (byte vectors, their counters, strings, list and
// map nodes) and frees them all before the parse returns; the general
// allocator spends a third of a scan's parsing time on them. While a scope
// is open on a thread, that thread's small C++ allocations are carved from a
// block of its own and freed all at once when the scope closes. An object
// that outlives the scope (a library's static made on its first use) keeps
// its block alive for good: the thread then takes a fresh block, and the old
// one is never written again.
//
// Only the program's global operator new and delete see this; memory from
// malloc, such as Qt's texts, never comes from a block. Builds with the
// address sanitizer leave every allocation to it.

class TTagScratchScope
{
public:
    TTagScratchScope();
    ~TTagScratchScope();
    TTagScratchScope(const TTagScratchScope &) = delete;
    TTagScratchScope &operator=(const TTagScratchScope &) = delete;

    // Blocks given up so far because an object outlived its scope.
    static int blocksKeptAlive();
    // False in builds that leave every allocation to the general allocator.
    static bool enabled();

private:
    bool opened_ = false;
};
