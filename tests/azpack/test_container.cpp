// The container's bytes: the worked example, the tie rules of the tree, the
// packing of codes across word boundaries, a lone symbol, and round trips.
#include "azpack.h"
#include "tempdir.h"

#include <random>

using aztest::entry;
using aztest::header;
using aztest::le32;

namespace {

// Compresses `text` into a file and returns the container's bytes.
std::string pack(const aztest::TempDir &dir, const std::string &text)
{
    const std::string target = dir.file("packed.azl");
    testing::internal::CaptureStdout();
    const bool ok = compressString(text.c_str(), target.c_str()) != 0;
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(ok);
    return aztest::readFile(target);
}

std::string restore(const aztest::TempDir &dir, const std::string &container)
{
    const std::string source = dir.file("restore.azl");
    aztest::writeFile(source, container);
    testing::internal::CaptureStdout();
    const char *text = uncompressFileToString(source.c_str());
    testing::internal::GetCapturedStdout();
    EXPECT_NE(text, nullptr);
    return text ? std::string(text) : std::string();
}

} // namespace

TEST(Container, WorkedExampleAbcIsExactlyItsTwentyNineBytes)
{
    aztest::TempDir dir;
    const std::string expected = header(3) + entry(2, 'a', 0xC0000000u) + entry(2, 'b', 0x80000000u)
        + entry(1, 'c', 0x00000000u) + std::string(1, '\0') + le32(0xE0000000u);
    const std::string packed = pack(dir, "abc");
    ASSERT_EQ(packed.size(), 29u);
    EXPECT_EQ(packed, expected);
    EXPECT_EQ(restore(dir, packed), "abc");
}

// Tie rules, worked out by hand from the merge procedure.
TEST(Container, EqualCountsMakeTheSecondNodeTheRightChild)
{
    // a b c d all once: (a,b) then (c,d), then the two inner nodes, the
    // first-made on the left. a=11 b=10 c=01 d=00.
    aztest::TempDir dir;
    const std::string expected = header(4) + entry(2, 'a', 0xC0000000u) + entry(2, 'b', 0x80000000u)
        + entry(2, 'c', 0x40000000u) + entry(2, 'd', 0x00000000u) + std::string(1, '\0')
        + le32(0xE4000000u); // 11 10 01 00
    const std::string packed = pack(dir, "abcd");
    EXPECT_EQ(packed, expected);
    EXPECT_EQ(restore(dir, packed), "abcd");
}

TEST(Container, LaterNodeEqualToSmallestBecomesRunnerUp)
{
    // a:1 b:2 c:1. Scan: smallest=a, runner-up=b; c (1) undercuts b but not a,
    // so c becomes runner-up (left) and a the right child. Then b and the new
    // node tie at 2: the node is smallest. b=1 c=01 a=00.
    aztest::TempDir dir;
    const std::string expected = header(4) + entry(2, 'a', 0x00000000u) + entry(1, 'b', 0x80000000u)
        + entry(2, 'c', 0x40000000u) + std::string(1, '\0') + le32(0x34000000u); // 00 1 1 01
    const std::string packed = pack(dir, "abbc");
    EXPECT_EQ(packed, expected);
    EXPECT_EQ(restore(dir, packed), "abbc");
}

TEST(Container, LaterNodeBelowSmallestTakesItsPlace)
{
    // a:3 b:2 c:1. Start smallest=b, runner-up=a; c undercuts both: b moves
    // to runner-up. Node (b,c) has 3 and ties with a: a stays on the left.
    // a=1 b=01 c=00.
    aztest::TempDir dir;
    const std::string expected = header(6) + entry(1, 'a', 0x80000000u) + entry(2, 'b', 0x40000000u)
        + entry(2, 'c', 0x00000000u) + std::string(1, '\0') + le32(0xEA000000u); // 1 1 1 01 01 00
    const std::string packed = pack(dir, "aaabbc");
    EXPECT_EQ(packed, expected);
    EXPECT_EQ(restore(dir, packed), "aaabbc");
}

// Packing at word boundaries.
TEST(Container, CodeEndingAtBitOneClosesTheWordAndLeavesAnEmptyOne)
{
    // x=0 a=1: 31 code bits fill bits 31..1 exactly; bit 0 stays 0 and the
    // word being filled afterwards is empty but still written.
    aztest::TempDir dir;
    const std::string text = "x" + std::string(30, 'a');
    const std::string expected = header(31) + entry(1, 'x', 0x00000000u) + entry(1, 'a', 0x80000000u)
        + std::string(1, '\0') + le32(0x7FFFFFFEu) + le32(0x00000000u);
    const std::string packed = pack(dir, text);
    EXPECT_EQ(packed, expected);
    EXPECT_EQ(restore(dir, packed), text);
}

TEST(Container, CodeAcrossTheBoundaryRepeatsItsBitZeroAtBit31)
{
    // x=00 a=1 y=01: 2 + 28 bits, then y's first bit lands in bit 1 and its
    // second in bit 0, and again in bit 31 of the next word.
    aztest::TempDir dir;
    const std::string text = "x" + std::string(28, 'a') + "y";
    const std::string expected = header(30) + entry(2, 'x', 0x00000000u) + entry(1, 'a', 0x80000000u)
        + entry(2, 'y', 0x40000000u) + std::string(1, '\0') + le32(0x3FFFFFFDu) + le32(0x80000000u);
    const std::string packed = pack(dir, text);
    EXPECT_EQ(packed, expected);
    EXPECT_EQ(restore(dir, packed), text);
}

TEST(Container, LoneByteValueGetsTheOneBitCodeOne)
{
    aztest::TempDir dir;
    const std::string expected = header(4) + entry(1, 'a', 0x80000000u) + std::string(1, '\0') + le32(0xF0000000u);
    const std::string packed = pack(dir, "aaaa");
    EXPECT_EQ(packed, expected);
    EXPECT_EQ(restore(dir, packed), "aaaa");
    // Long enough to run over several words.
    const std::string many(1000, 'z');
    EXPECT_EQ(restore(dir, pack(dir, many)), many);
}

// Round trips, with the container's size checked against 7 + 6n + 4w.
class RoundTrip : public testing::TestWithParam<int> {};

TEST_P(RoundTrip, RandomTextsRestoreAndHaveTheDocumentedSize)
{
    aztest::TempDir dir;
    std::mt19937 random(static_cast<unsigned>(GetParam()));
    for (int round = 0; round < 40; ++round) {
        const int alphabet = 2 + static_cast<int>(random() % 255);
        const std::size_t length = 1 + random() % (round < 20 ? 200 : 60000);
        // Skewed byte choice, so that code lengths vary widely.
        std::geometric_distribution<int> pick(0.15);
        std::string text;
        for (std::size_t i = 0; i < length; ++i)
            text.push_back(static_cast<char>(1 + pick(random) % alphabet));
        const std::string packed = pack(dir, text);
        ASSERT_EQ(restore(dir, packed), text) << "round " << round;

        // Sum the code bits from the container's own table.
        std::size_t pos = 6;
        std::array<int, 256> length_of{};
        std::size_t n = 0;
        while (packed[pos] != 0) {
            length_of[static_cast<unsigned char>(packed[pos + 1])] = static_cast<unsigned char>(packed[pos]);
            pos += 6;
            ++n;
        }
        std::uint64_t bits = 0;
        for (const char c : text)
            bits += static_cast<std::uint64_t>(length_of[static_cast<unsigned char>(c)]);
        EXPECT_EQ(packed.size(), 7 + 6 * n + 4 * (bits / 31 + 1)) << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RoundTrip, testing::Values(1, 2, 3));

TEST(RoundTripFile, BinaryFilesWithNulBytesSurviveUnchanged)
{
    aztest::TempDir dir;
    std::mt19937 random(7);
    for (const std::size_t size : {1u, 2u, 31u, 1000u, 300000u, 2500000u}) {
        std::string data(size, '\0');
        for (char &c : data)
            c = static_cast<char>(random() % 4 == 0 ? 0 : random() % 256);
        const std::string source = dir.file("data.bin");
        const std::string packed = dir.file("data.az");
        const std::string restored = dir.file("data.out");
        aztest::writeFile(source, data);
        testing::internal::CaptureStdout();
        const bool packedOk = compressFile(source.c_str(), packed.c_str()) != 0;
        const bool restoredOk = uncompressFile(packed.c_str(), restored.c_str()) != 0;
        const char *text = uncompressFileToString(packed.c_str());
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(packedOk);
        ASSERT_TRUE(restoredOk);
        EXPECT_EQ(aztest::readFile(restored), data) << size;
        // As a text the content ends at the first NUL byte.
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(std::string(text), data.substr(0, data.find('\0'))) << size;
    }
}

TEST(RoundTripFile, FileAndTextOfTheSameBytesGiveTheSameContainer)
{
    aztest::TempDir dir;
    const std::string text = "/music/Queen/A Night at the Opera/11 - Bohemian Rhapsody.mp3\r\n\r\nQueen\r\n";
    const std::string source = dir.file("list.txt");
    aztest::writeFile(source, text);
    const std::string fromFile = dir.file("file.az");
    testing::internal::CaptureStdout();
    ASSERT_TRUE(compressFile(source.c_str(), fromFile.c_str()));
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(aztest::readFile(fromFile), pack(dir, text));
}
