// Damaged containers fail cleanly through both restoring exports, with the
// log line of the step that noticed.
#include "azpack.h"
#include "tempdir.h"

#include <random>

using aztest::entry;
using aztest::header;
using aztest::le32;

namespace {

const std::string endOfTable(1, '\0');

constexpr const char *headerError = "Reading Header..ERROR\n";
constexpr const char *notUnique = "Reading Header..DONE\nRestoring Huffman Tree..ERROR: Huffman Tree Not Unique!\n";
constexpr const char *unexpectedEnd =
    "Reading Header..DONE\nRestoring Huffman Tree..DONE\nRestoring String..ERROR: Unexpected end of file!\n";

struct Outcome {
    bool textOk;
    std::string textLog;
    bool fileOk;
    std::string fileLog;
    std::string fileBytes;
};

Outcome restoreBoth(const aztest::TempDir &dir, const std::string &container)
{
    const std::string source = dir.file("damaged.azl");
    const std::string target = dir.file("restored");
    aztest::writeFile(source, container);
    Outcome o{};
    testing::internal::CaptureStdout();
    o.textOk = uncompressFileToString(source.c_str()) != nullptr;
    o.textLog = testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    o.fileOk = uncompressFile(source.c_str(), target.c_str()) != 0;
    o.fileLog = testing::internal::GetCapturedStdout();
    o.fileBytes = aztest::readFile(target);
    return o;
}

std::string containerOf(const aztest::TempDir &dir, const std::string &text)
{
    const std::string path = dir.file("good.azl");
    testing::internal::CaptureStdout();
    EXPECT_TRUE(compressString(text.c_str(), path.c_str()));
    testing::internal::GetCapturedStdout();
    return aztest::readFile(path);
}

std::string sampleText()
{
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "/home/anna/Music/Artist " + std::to_string(i % 17) + "/Song " + std::to_string(i) + ".mp3\r\n\r\n";
    return text;
}

} // namespace

TEST(DamagedHeader, WrongMagicIsAHeaderError)
{
    aztest::TempDir dir;
    const std::string good = containerOf(dir, "abc");
    for (const std::string &bad : {"BZ" + good.substr(2), "AY" + good.substr(2), std::string("A")}) {
        const Outcome o = restoreBoth(dir, bad);
        EXPECT_FALSE(o.textOk);
        EXPECT_EQ(o.textLog, headerError);
        EXPECT_FALSE(o.fileOk);
        EXPECT_EQ(o.fileLog, headerError);
        EXPECT_EQ(o.fileBytes, "");
    }
}

TEST(DamagedHeader, ContainerCutAnywhereBeforeTheEndOfTableIsAHeaderError)
{
    aztest::TempDir dir;
    const std::string good = containerOf(dir, sampleText());
    std::size_t end = 6;
    while (good[end] != 0)
        end += 6;
    for (std::size_t cut = 1; cut <= end; ++cut) {
        const Outcome o = restoreBoth(dir, good.substr(0, cut));
        EXPECT_FALSE(o.textOk) << cut;
        EXPECT_EQ(o.textLog, headerError) << cut;
        EXPECT_FALSE(o.fileOk) << cut;
    }
}

TEST(DamagedHeader, ValuesNoWriterProducesAreHeaderErrors)
{
    aztest::TempDir dir;
    const std::string data = le32(0xE0000000u);
    // Code length beyond 31.
    EXPECT_EQ(restoreBoth(dir, header(1) + entry(32, 'a', 0x80000000u) + endOfTable + data).textLog, headerError);
    EXPECT_EQ(restoreBoth(dir, header(1) + entry(255, 'a', 0xffffffffu) + endOfTable + data).fileLog, headerError);
    // Total of 2^31 and more.
    EXPECT_EQ(restoreBoth(dir, header(0x80000000u) + entry(1, 'a', 0x80000000u) + endOfTable + data).textLog,
              headerError);
    // More than 256 table entries.
    std::string table;
    for (int i = 0; i < 257; ++i)
        table += entry(31, static_cast<char>(i), static_cast<std::uint32_t>(i) << 1);
    const Outcome o = restoreBoth(dir, header(1) + table + endOfTable + data);
    EXPECT_EQ(o.textLog, headerError);
    EXPECT_EQ(o.fileLog, headerError);
}

TEST(DamagedHeader, TotalFarBeyondTheDataIsRejectedBeforeAllocating)
{
    aztest::TempDir dir;
    // "abc" claiming 2^31 - 1 bytes: a text buffer of that size is never made.
    std::string bad = containerOf(dir, "abc");
    bad.replace(2, 4, le32(0x7fffffffu));
    const Outcome o = restoreBoth(dir, bad);
    EXPECT_FALSE(o.textOk);
    EXPECT_EQ(o.textLog, headerError);
    // The file target restores what the one data word holds (abc, then c=0
    // for the 26 zero bits), then reports the end.
    EXPECT_FALSE(o.fileOk);
    EXPECT_TRUE(o.fileLog.ends_with("..ERROR: Unexpected end of file!\n")) << o.fileLog;
    EXPECT_EQ(o.fileBytes, "abc" + std::string(26, 'c'));
}

TEST(DamagedTree, TwoEntriesForOneSlotAreNotUnique)
{
    aztest::TempDir dir;
    const std::string bad = header(2) + entry(2, 'a', 0xC0000000u) + entry(1, 'b', 0x00000000u)
        + entry(2, 'c', 0xC0000000u) + endOfTable + le32(0xE0000000u);
    const Outcome o = restoreBoth(dir, bad);
    EXPECT_FALSE(o.textOk);
    EXPECT_EQ(o.textLog, notUnique);
    EXPECT_FALSE(o.fileOk);
    EXPECT_EQ(o.fileLog, notUnique);
}

TEST(DamagedData, CodesLeadingToAMissingChildFail)
{
    aztest::TempDir dir;
    // Only a=1 exists; the data's first bit 0 asks for the root's right child.
    const Outcome o = restoreBoth(dir, header(2) + entry(1, 'a', 0x80000000u) + endOfTable + le32(0x80000000u));
    EXPECT_FALSE(o.textOk);
    EXPECT_EQ(o.textLog, unexpectedEnd);
    EXPECT_FALSE(o.fileOk);
    EXPECT_EQ(o.fileBytes, "a"); // the byte before the damage stays
    // Deep below the lookup table's reach: a chain of left turns ending in a
    // node that has only a left child.
    const Outcome deep = restoreBoth(dir, header(1) + entry(20, 'z', 0xFFFFF000u) + endOfTable + le32(0xFFFFE000u));
    EXPECT_FALSE(deep.textOk);
    EXPECT_EQ(deep.textLog, unexpectedEnd);
    EXPECT_FALSE(deep.fileOk);
}

TEST(DamagedData, TreeWithoutAnyLeftBranchRestoresNothing)
{
    aztest::TempDir dir;
    // Codes that all start with 0 leave the root looking like a leaf, which
    // would restore bytes from no bits at all.
    for (const std::string &table : {entry(1, 'a', 0x00000000u), std::string()}) {
        const Outcome o = restoreBoth(dir, header(5) + table + endOfTable + le32(0) + le32(0));
        EXPECT_FALSE(o.textOk);
        EXPECT_FALSE(o.fileOk);
        EXPECT_EQ(o.fileBytes, "");
    }
}

TEST(DamagedData, DataCutShortIsAnUnexpectedEndWithAPartialFile)
{
    aztest::TempDir dir;
    const std::string text = sampleText();
    const std::string good = containerOf(dir, text);
    for (const std::size_t missing : {4u, 6u, 40u, 400u}) {
        const Outcome o = restoreBoth(dir, good.substr(0, good.size() - missing));
        EXPECT_FALSE(o.textOk) << missing;
        EXPECT_EQ(o.textLog, unexpectedEnd) << missing;
        EXPECT_FALSE(o.fileOk) << missing;
        EXPECT_TRUE(o.fileLog.ends_with("..ERROR: Unexpected end of file!\n")) << o.fileLog;
        EXPECT_FALSE(o.fileBytes.empty());
        EXPECT_LT(o.fileBytes.size(), text.size());
        EXPECT_EQ(o.fileBytes, text.substr(0, o.fileBytes.size()));
    }
}

TEST(DamagedData, CodeRunningIntoAMissingWordFails)
{
    aztest::TempDir dir;
    // x=00 a=1 y=01 with y split over two words; without the second word the
    // last byte cannot be restored even though its first bits are there.
    const std::string cut = header(30) + entry(2, 'x', 0) + entry(1, 'a', 0x80000000u) + entry(2, 'y', 0x40000000u)
        + endOfTable + le32(0x3FFFFFFDu);
    const Outcome o = restoreBoth(dir, cut);
    EXPECT_FALSE(o.textOk);
    EXPECT_FALSE(o.fileOk);
    EXPECT_EQ(o.fileBytes, "x" + std::string(28, 'a'));
}

TEST(DamagedData, RandomCorruptionNeverCrashesAndFailsOrRestoresConsistently)
{
    aztest::TempDir dir;
    const std::string good = containerOf(dir, sampleText());
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        std::string bad = good;
        const int flips = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < flips; ++i)
            bad[random() % bad.size()] = static_cast<char>(random());
        if (random() % 3 == 0)
            bad.resize(random() % bad.size());
        const Outcome o = restoreBoth(dir, bad);
        // Both exports judge a container alike...
        EXPECT_EQ(o.textOk, o.fileOk) << round;
        // ...and a successful restore gives the same bytes through both.
        if (o.textOk && o.fileOk) {
            const std::string source = dir.file("damaged.azl");
            testing::internal::CaptureStdout();
            const char *text = uncompressFileToString(source.c_str());
            testing::internal::GetCapturedStdout();
            ASSERT_NE(text, nullptr);
            EXPECT_EQ(std::string(text), o.fileBytes.substr(0, o.fileBytes.find('\0'))) << round;
        }
    }
}
