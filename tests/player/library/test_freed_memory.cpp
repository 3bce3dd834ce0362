// After a big load the heap pages it freed go back to the system.
#include "freedmemory.h"

#include <gtest/gtest.h>

#include <QFile>

#include <memory>
#include <vector>

TEST(FreedMemory, PagesFreedBelowLiveDataGoBack)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's allocator manages its own pages";
#else
    const auto residentKiB = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
        const qsizetype at = text.indexOf("VmRSS:");
        return at < 0 ? -1 : text.mid(at + 6).trimmed().split(' ').value(0).toLongLong();
    };
    // A table's texts, freed again below a block still in use, which keeps
    // the heap from simply shrinking at its top.
    std::vector<std::unique_ptr<char[]>> texts;
    texts.reserve(60000);
    for (int i = 0; i < 60000; ++i)
        texts.push_back(std::make_unique<char[]>(200));
    const auto kept = std::make_unique<char[]>(200);
    texts.clear();
    texts.shrink_to_fit();

    const qint64 before = residentKiB();
    ASSERT_GT(before, 0);
    returnFreedMemory();
    // About 12 MiB were freed; at least half of it must leave.
    EXPECT_LT(residentKiB(), before - 6 * 1024);
#endif
}
