// After a big load the program hands the heap pages it freed back to the
// system; without that it keeps the size of the load's short peak.
#include "freedmemory.h"

#include <gtest/gtest.h>

#include <QFile>

#include <memory>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define MELODECK_OWN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MELODECK_OWN_ALLOCATOR 1
#endif
#endif

namespace {

// The process's resident memory in KiB.
[[maybe_unused]] qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

TEST(FreedMemory, PagesFreedBelowLiveDataGoBack)
{
#if defined(MELODECK_OWN_ALLOCATOR)
    GTEST_SKIP() << "the address sanitizer's allocator manages its own pages";
#else
    // Texts of a table, freed again, with one block still in use above them
    // that keeps the heap from simply shrinking at its top.
    constexpr int kBlocks = 60000;
    std::vector<std::unique_ptr<char[]>> texts;
    texts.reserve(kBlocks);
    for (int i = 0; i < kBlocks; ++i)
        texts.push_back(std::make_unique<char[]>(200));
    const auto kept = std::make_unique<char[]>(200);
    texts.clear();
    texts.shrink_to_fit();

    const qint64 before = residentKiB();
    ASSERT_GT(before, 0);
    returnFreedMemory();
    // About 12 MiB were freed; at least half of it must leave.
    EXPECT_LT(residentKiB(), before - 6 * 1024);
    EXPECT_NE(kept.get(), nullptr);
#endif
}

} // namespace
