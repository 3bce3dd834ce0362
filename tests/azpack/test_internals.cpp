// Internals: the limit on code lengths, the lookup-table decoder against a
// plain bit-by-bit walk, and saves that fail half-way (injected failures and
// a really full file system).
#include "azpack.h"
#include "codec/codec.h"
#include "codec/codetree.h"
#include "codec/containerwriter.h"
#include "codec/decoder.h"
#include "codec/decodetree.h"
#include "codec/headerreader.h"
#include "codec/splitpacker.h"
#include "codec/symboltable.h"
#include "operations.h"
#include "tempdir.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <random>
#include <sys/mount.h>

namespace {

std::span<const std::uint8_t> asBytes(const std::string &s)
{
    return {reinterpret_cast<const std::uint8_t *>(s.data()), s.size()};
}

// Counts that follow the Fibonacci numbers make the tree a chain, one level
// per symbol: 34 symbols need depth 33.
std::string fibonacciText(int symbols)
{
    std::vector<std::int64_t> counts{1, 1};
    while (static_cast<int>(counts.size()) < symbols)
        counts.push_back(counts[counts.size() - 1] + counts[counts.size() - 2]);
    std::string text;
    for (int i = 0; i < symbols; ++i)
        text.append(static_cast<std::size_t>(counts[static_cast<std::size_t>(i)]), static_cast<char>('!' + i));
    // Interleave a little so the order of first appearance is not trivial.
    std::mt19937 random(5);
    std::shuffle(text.begin(), text.end(), random);
    return text;
}

// Reads the log that a call wrote into a temporary stream.
class CapturedLog {
public:
    CapturedLog()
        : file_(std::tmpfile())
        , log_(file_)
    {
    }
    ~CapturedLog() { std::fclose(file_); }
    azpack::ProgressLog &log() { return log_; }
    std::string text()
    {
        std::fflush(file_);
        std::rewind(file_);
        std::string s;
        int c;
        while ((c = std::fgetc(file_)) != EOF)
            s.push_back(static_cast<char>(c));
        return s;
    }

private:
    std::FILE *file_;
    azpack::ProgressLog log_;
};

} // namespace

// --- code lengths above 31 ------------------------------------------------

TEST(CodeLengthLimit, ChainTreeDeeperThan31StillRestores)
{
    const std::string text = fibonacciText(34);
    azpack::SymbolTable table;
    table.add(asBytes(text));
    azpack::CodeTree tree(table.symbols());
    tree.build();
    const std::vector<int> depths = tree.leafDepths();
    ASSERT_GT(*std::max_element(depths.begin(), depths.end()), 31) << "the crafted input must need long codes";

    std::vector<std::uint8_t> container;
    ASSERT_TRUE(azpack::compressBytes(asBytes(text), container));
    azpack::Header header;
    ASSERT_TRUE(azpack::readHeader(container, header));
    ASSERT_EQ(header.entries.size(), 34u);
    for (const azpack::TableEntry &e : header.entries) {
        EXPECT_GE(e.length, 1);
        EXPECT_LE(e.length, 31);
    }
    std::vector<std::uint8_t> restored;
    ASSERT_TRUE(azpack::restoreBytes(container, restored));
    EXPECT_TRUE(std::equal(restored.begin(), restored.end(), text.begin(), text.end()));
}

TEST(CodeLengthLimit, ExportLogsDoneAndTheTextComesBack)
{
    aztest::TempDir dir;
    const std::string text = fibonacciText(34);
    const std::string target = dir.file("deep.azl");
    CapturedLog captured;
    EXPECT_TRUE(azpack::compressTextToFile(text.c_str(), target.c_str(), azpack::FileOps::system(), captured.log()));
    EXPECT_TRUE(captured.text().ends_with("'..DONE\n"));
    testing::internal::CaptureStdout();
    const char *restored = uncompressFileToString(target.c_str());
    testing::internal::GetCapturedStdout();
    ASSERT_NE(restored, nullptr);
    EXPECT_TRUE(restored == text);
}

TEST(CodeLengthLimit, LimitedLengthsFormAPrefixCode)
{
    std::mt19937 random(3);
    for (int round = 0; round < 200; ++round) {
        const std::size_t n = 2 + random() % 255;
        std::vector<azpack::Symbol> symbols(n);
        for (std::size_t i = 0; i < n; ++i) {
            symbols[i].value = static_cast<std::uint8_t>(i);
            symbols[i].count = 1 + static_cast<std::int64_t>(random() % 100000);
            symbols[i].length = static_cast<std::uint8_t>(1 + random() % 60);
        }
        const int limit = 8 + static_cast<int>(random() % 24);
        if (n > (std::size_t{1} << limit))
            continue;
        azpack::limitCodeLengths(symbols, limit);
        double kraft = 0;
        std::vector<azpack::TableEntry> table;
        for (const azpack::Symbol &s : symbols) {
            ASSERT_GE(s.length, 1);
            ASSERT_LE(s.length, limit);
            // No bits below the code's last one.
            ASSERT_EQ(s.code & ~(0xffffffffu << (32 - s.length)), 0u);
            kraft += std::ldexp(1.0, -s.length);
            table.push_back({s.length, s.value, s.code});
        }
        EXPECT_LE(kraft, 1.0);
        // Prefix-free: no code is the start of another.
        for (std::size_t a = 0; a < n; ++a)
            for (std::size_t b = 0; b < n; ++b) {
                if (a == b || symbols[a].length > symbols[b].length)
                    continue;
                const std::uint32_t mask = 0xffffffffu << (32 - symbols[a].length);
                ASSERT_NE(symbols[b].code & mask, symbols[a].code) << "round " << round;
            }
        azpack::DecodeTree tree;
        EXPECT_TRUE(tree.rebuild(table));
    }
}

// --- the lookup-table decoder ----------------------------------------------

namespace {

// The decode walk one bit at a time: a node without a left child is a leaf,
// a missing child or missing data is the end.
std::vector<std::uint8_t> walkDecode(const azpack::DecodeTree &tree, std::span<const std::uint8_t> data,
                                     std::size_t total, bool &failed)
{
    const auto &nodes = tree.nodes();
    std::vector<std::uint8_t> out;
    const std::size_t words = data.size() / 4;
    std::size_t word = 0;
    unsigned k = 0;
    failed = false;
    const auto wordAt = [&](std::size_t i) {
        return static_cast<std::uint32_t>(data[4 * i]) | (static_cast<std::uint32_t>(data[4 * i + 1]) << 8)
            | (static_cast<std::uint32_t>(data[4 * i + 2]) << 16) | (static_cast<std::uint32_t>(data[4 * i + 3]) << 24);
    };
    if (nodes[0].left < 0 && total > 0) {
        failed = true;
        return out;
    }
    while (out.size() < total) {
        std::int32_t node = 0;
        while (nodes[static_cast<std::size_t>(node)].left >= 0) {
            if (word >= words) {
                failed = true;
                return out;
            }
            const bool left = (wordAt(word) >> (31 - k)) & 1u;
            node = left ? nodes[static_cast<std::size_t>(node)].left : nodes[static_cast<std::size_t>(node)].right;
            if (++k == 31) {
                k = 0;
                ++word;
            }
            if (node < 0) {
                failed = true;
                return out;
            }
        }
        out.push_back(nodes[static_cast<std::size_t>(node)].value);
    }
    return out;
}

} // namespace

TEST(TableDecoder, MatchesTheBitByBitWalkOnValidAndRandomData)
{
    std::mt19937 random(9);
    for (int round = 0; round < 150; ++round) {
        // A code table from a real text (with long codes now and then), then
        // either that text's data or random words.
        std::string text;
        const int alphabet = 2 + static_cast<int>(random() % 200);
        std::geometric_distribution<int> pick(round % 3 == 0 ? 0.5 : 0.05);
        const std::size_t length = 1 + random() % 5000;
        for (std::size_t i = 0; i < length; ++i)
            text.push_back(static_cast<char>(pick(random) % alphabet));
        std::vector<std::uint8_t> container;
        ASSERT_TRUE(azpack::compressBytes(asBytes(text), container));
        azpack::Header header;
        ASSERT_TRUE(azpack::readHeader(container, header));
        std::vector<std::uint8_t> data(container.begin() + static_cast<std::ptrdiff_t>(header.dataOffset),
                                       container.end());
        if (round % 2 == 1) {
            for (std::uint8_t &b : data)
                b = static_cast<std::uint8_t>(random());
            data.resize(random() % (data.size() + 1));
        }
        // Random trees too: drop entries so that some children are missing.
        if (round % 5 == 4 && header.entries.size() > 2)
            header.entries.erase(header.entries.begin() + static_cast<std::ptrdiff_t>(random() % header.entries.size()));
        azpack::DecodeTree tree;
        ASSERT_TRUE(tree.rebuild(header.entries));

        bool walkFailed = false;
        const std::vector<std::uint8_t> expected = walkDecode(tree, data, header.total, walkFailed);
        azpack::Decoder decoder(tree, data);
        std::vector<std::uint8_t> got(header.total);
        // Restore in uneven pieces, as the file target does.
        std::size_t done = 0;
        while (done < got.size() && !decoder.failed())
            done += decoder.decode(got.data() + done, std::min<std::size_t>(got.size() - done, 1 + random() % 700));
        got.resize(done);
        EXPECT_EQ(decoder.failed(), walkFailed) << "round " << round;
        EXPECT_EQ(got, expected) << "round " << round;
        if (round % 2 == 0 && round % 5 != 4) {
            EXPECT_FALSE(walkFailed);
        }
    }
}

// --- packing in two halves ---------------------------------------------------

TEST(SplitPacking, EveryCutGivesTheContainerOfOneRun)
{
    // Short texts cut everywhere (the halves meet at every bit of a word,
    // also at its bit 0 and where a code closes a word), and texts long
    // enough to be cut on their own, including one with codes near 31 bits.
    std::mt19937 random(3);
    std::vector<std::string> texts{"abc", fibonacciText(34).substr(0, 700)};
    for (int i = 0; i < 6; ++i) {
        std::string text;
        std::geometric_distribution<int> pick(i % 2 ? 0.4 : 0.05);
        for (int n = 0; n < 300; ++n)
            text.push_back(static_cast<char>('a' + pick(random) % 60));
        texts.push_back(text);
    }
    std::string big;
    while (big.size() < azpack::SplitPacker::splitMinimum + 12345)
        big += fibonacciText(30) + "/home/anna/Music/\xc3\xbc\r\n";
    texts.push_back(big);

    for (const std::string &text : texts) {
        const auto input = asBytes(text);
        azpack::SymbolTable table;
        table.add(input);
        azpack::CodeTree tree(table.symbols());
        tree.build();
        tree.deriveCodes(table.symbols());
        std::vector<std::uint8_t> oneRun;
        azpack::appendHeader(oneRun, table.symbols(), static_cast<std::uint32_t>(input.size()));
        azpack::BitPacker packer(table.symbols());
        ASSERT_TRUE(packer.pack(input, oneRun));
        packer.finish(oneRun);

        const bool large = text.size() > azpack::SplitPacker::splitMinimum;
        std::vector<std::size_t> cuts;
        for (std::size_t cut = 0; cut <= text.size(); cut += large ? 32771 : 1)
            cuts.push_back(cut);
        for (const std::size_t cut : cuts) {
            azpack::SplitPacker split(input, cut);
            azpack::SymbolTable counted;
            split.count(counted);
            ASSERT_EQ(counted.symbols().size(), table.symbols().size());
            for (std::size_t i = 0; i < table.symbols().size(); ++i) {
                ASSERT_EQ(counted.symbols()[i].value, table.symbols()[i].value) << "cut " << cut;
                ASSERT_EQ(counted.symbols()[i].count, table.symbols()[i].count) << "cut " << cut;
            }
            ASSERT_EQ(split.containerSize(table.symbols()), oneRun.size()) << "cut " << cut;
            std::vector<std::uint8_t> container(oneRun.size(), 0xa5);
            ASSERT_TRUE(split.write(table.symbols(), container.data()));
            ASSERT_EQ(container, oneRun) << "length " << text.size() << ", cut " << cut;
        }
        std::vector<std::uint8_t> whole;
        ASSERT_TRUE(azpack::compressBytes(input, whole));
        EXPECT_EQ(whole, oneRun) << "length " << text.size();
    }
}

// --- saves that fail ---------------------------------------------------------

namespace {

constexpr const char *oldContent = "the previous song library";

enum class Fault { Write, Sync, Close, Rename };

// Fails one of the system calls; a write fails after `budget` bytes went out.
class FailingOps : public azpack::FileOps {
public:
    FailingOps(Fault fault, std::size_t budget = 0)
        : fault_(fault)
        , budget_(budget)
    {
    }
    ssize_t write(int fd, const void *data, std::size_t size) override
    {
        if (fault_ != Fault::Write)
            return FileOps::write(fd, data, size);
        if (budget_ == 0) {
            errno = ENOSPC;
            return -1;
        }
        const std::size_t n = std::min(size, budget_);
        budget_ -= n;
        return FileOps::write(fd, data, n);
    }
    int sync(int fd) override { return fault_ == Fault::Sync ? (errno = EIO, -1) : FileOps::sync(fd); }
    int close(int fd) override
    {
        const int r = FileOps::close(fd);
        return fault_ == Fault::Close ? (errno = EIO, -1) : r;
    }
    int rename(const char *from, const char *to) override
    {
        return fault_ == Fault::Rename ? (errno = EXDEV, -1) : FileOps::rename(from, to);
    }

private:
    Fault fault_;
    std::size_t budget_;
};

std::string songList(std::size_t songs)
{
    std::string text;
    for (std::size_t i = 0; i < songs; ++i)
        text += "/home/anna/Music/Band " + std::to_string(i % 40) + "/Track " + std::to_string(i) + ".ogg\r\n\r\nBand\r\n"
            + "Track " + std::to_string(i) + "\r\nAlbum\r\n";
    return text;
}

} // namespace

class FailedSave : public testing::TestWithParam<std::tuple<Fault, std::size_t>> {};

TEST_P(FailedSave, KeepsThePreviousFileAndRemovesTheTemporaryOne)
{
    const auto [fault, budget] = GetParam();
    aztest::TempDir dir;
    const std::string target = dir.file("songlist.azl");
    const std::string source = dir.file("songs.txt");
    const std::string text = songList(3000);
    aztest::writeFile(source, text);

    for (const bool fromFile : {false, true}) {
        aztest::writeFile(target, oldContent);
        FailingOps ops(fault, budget);
        CapturedLog captured;
        const bool ok = fromFile ? azpack::compressFileToFile(source.c_str(), target.c_str(), ops, captured.log())
                                 : azpack::compressTextToFile(text.c_str(), target.c_str(), ops, captured.log());
        EXPECT_FALSE(ok) << fromFile;
        EXPECT_TRUE(captured.text().ends_with("'..ERROR\n")) << captured.text();
        EXPECT_EQ(aztest::readFile(target), oldContent) << fromFile;
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"songlist.azl", "songs.txt"}));
    }
    // The empty text's save goes the same way.
    FailingOps ops(fault, budget);
    CapturedLog captured;
    if (fault != Fault::Write) {
        EXPECT_FALSE(azpack::compressTextToFile("", target.c_str(), ops, captured.log()));
        EXPECT_EQ(aztest::readFile(target), oldContent);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, FailedSave,
                         testing::Values(std::make_tuple(Fault::Write, 0), std::make_tuple(Fault::Write, 10),
                                         std::make_tuple(Fault::Write, 5000), std::make_tuple(Fault::Sync, 0),
                                         std::make_tuple(Fault::Close, 0), std::make_tuple(Fault::Rename, 0)));

TEST(FailedRestore, WriteErrorOnTheTargetIsReported)
{
    aztest::TempDir dir;
    const std::string source = dir.file("list.azl");
    const std::string text = songList(2000);
    CapturedLog packLog;
    ASSERT_TRUE(azpack::compressTextToFile(text.c_str(), source.c_str(), azpack::FileOps::system(), packLog.log()));
    for (const std::size_t budget : {std::size_t{0}, std::size_t{70000}}) {
        FailingOps ops(Fault::Write, budget);
        CapturedLog captured;
        EXPECT_FALSE(azpack::restoreFileToFile(source.c_str(), dir.file("out").c_str(), ops, captured.log()));
        EXPECT_TRUE(captured.text().ends_with("'..ERROR\n")) << captured.text();
    }
    FailingOps closing(Fault::Close);
    CapturedLog captured;
    EXPECT_FALSE(azpack::restoreFileToFile(source.c_str(), dir.file("out").c_str(), closing, captured.log()));
}

// A real full file system: a small tmpfs mounted in a temporary directory.
TEST(FullDisk, SaveOnAFullFileSystemKeepsThePreviousFile)
{
    aztest::TempDir dir;
    const std::string mountPoint = dir.file("small");
    std::filesystem::create_directory(mountPoint);
    if (::mount("azpack-test", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno)
                     << "); the injected failures above cover the same paths";
    const std::string target = mountPoint + "/songlist.azl";
    aztest::writeFile(target, oldContent);

    // Far more than 64 KiB even compressed.
    std::mt19937 random(1);
    std::string text(600000, ' ');
    for (char &c : text)
        c = static_cast<char>(1 + random() % 255);
    testing::internal::CaptureStdout();
    const bool ok = compressString(text.c_str(), target.c_str()) != 0;
    const std::string log = testing::internal::GetCapturedStdout();
    const std::string after = aztest::readFile(target);
    std::vector<std::string> left;
    for (const auto &e : std::filesystem::directory_iterator(mountPoint))
        left.push_back(e.path().filename().string());
    // A small save still fits.
    testing::internal::CaptureStdout();
    const bool smallOk = compressString("fits\r\n", target.c_str()) != 0;
    testing::internal::GetCapturedStdout();
    const std::string smallAfter = aztest::readFile(target);
    ::umount(mountPoint.c_str());

    EXPECT_FALSE(ok);
    EXPECT_TRUE(log.ends_with("'..ERROR\n")) << log;
    EXPECT_EQ(after, oldContent);
    EXPECT_EQ(left, std::vector<std::string>{"songlist.azl"});
    EXPECT_TRUE(smallOk);
    EXPECT_NE(smallAfter, oldContent);
}
