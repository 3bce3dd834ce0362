// The scratch memory of a tag parse: what a scope frees is used again, and
// what outlives its scope stays intact wherever it is deleted.

#include "tagscratch.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// Longer than any string keeps in itself, so its text is allocated too.
std::string longText(char c)
{
    return std::string(100, c);
}

TEST(TagScratch, FreedMemoryIsReusedAndWhatOutlivesTheScopeStaysIntact)
{
    if (!TTagScratchScope::enabled())
        GTEST_SKIP() << "this build leaves allocations to the sanitizer";
    // One scope first, for the block of this thread.
    { const TTagScratchScope warm; }

    const void *first = nullptr;
    for (int round = 0; round < 3; ++round) {
        const TTagScratchScope scope;
        const auto made = std::make_unique<std::string>(longText('a'));
        if (round == 0)
            first = made.get();
        EXPECT_EQ(made.get(), first) << "round " << round;
    }

    const int keptBefore = TTagScratchScope::blocksKeptAlive();
    std::unique_ptr<std::string> survivor;
    std::unique_ptr<char[]> large;
    {
        const TTagScratchScope scope;
        survivor = std::make_unique<std::string>(longText('s'));
        large = std::make_unique<char[]>(std::size_t{1} << 20);
    }
    EXPECT_EQ(TTagScratchScope::blocksKeptAlive(), keptBefore + 1);
    // Later scopes fill a block of their own and leave the survivor alone.
    for (int round = 0; round < 100; ++round) {
        const TTagScratchScope scope;
        std::vector<std::unique_ptr<std::string>> texts;
        for (int k = 0; k < 50; ++k)
            texts.push_back(std::make_unique<std::string>(longText('x')));
    }
    EXPECT_EQ(*survivor, longText('s'));
    // Deleted elsewhere, the survivor and the big block (which came from the
    // general allocator) go without harm.
    std::thread([&survivor, &large] {
        survivor.reset();
        large.reset();
    }).join();

    // Nested scopes are one scope.
    {
        const TTagScratchScope outer;
        const auto inOuter = std::make_unique<std::string>(longText('o'));
        {
            const TTagScratchScope inner;
        }
        const auto after = std::make_unique<std::string>(longText('p'));
        EXPECT_EQ(*inOuter, longText('o'));
    }
    EXPECT_EQ(TTagScratchScope::blocksKeptAlive(), keptBefore + 1);
}

} // namespace
