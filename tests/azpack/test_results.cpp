// Every row of the results table, the exact progress log, safe saves and the
// lifetime of restored texts.
#include "azpack.h"
#include "tempdir.h"

#include <sys/stat.h>
#include <thread>

using aztest::readFile;
using aztest::writeFile;

namespace {

constexpr const char *oldContent = "previous library";

struct Logged {
    bool ok;
    std::string log;
};

template <typename Call>
Logged logged(Call call)
{
    testing::internal::CaptureStdout();
    const bool ok = call();
    return {ok, testing::internal::GetCapturedStdout()};
}

// A container of `text`, made through the library.
std::string makeContainer(const aztest::TempDir &dir, const std::string &name, const std::string &text)
{
    const std::string path = dir.file(name);
    EXPECT_TRUE(logged([&] { return compressString(text.c_str(), path.c_str()) != 0; }).ok);
    return path;
}

} // namespace

// --- the progress log -------------------------------------------------------

TEST(ProgressLog, CompressLogsEveryStepWithItsOutcome)
{
    aztest::TempDir dir;
    const std::string target = dir.file("abc.azl");
    const Logged r = logged([&] { return compressString("abc", target.c_str()) != 0; });
    EXPECT_TRUE(r.ok);
    // Estimate: 2+2+1 code bits + 3*48 + 56 = 205 bits -> 25 bytes.
    EXPECT_EQ(r.log, "Analysing Chars..3 different ones found\n"
                     "Creating Huffman Root..DONE\n"
                     "Creating Huffman Tree..3 Bytes found\n"
                     "Deriving Bit Sequence..DONE\n"
                     "Compressed Filesize: 25 Bytes (25 Bytes as Header)\n"
                     "Creating Output File '"
                         + target + "'..DONE\n");
}

TEST(ProgressLog, CompressFileLogsTheSameSteps)
{
    aztest::TempDir dir;
    const std::string source = dir.file("in.txt");
    const std::string target = dir.file("out.az");
    writeFile(source, std::string("hello\0world", 11));
    const Logged r = logged([&] { return compressFile(source.c_str(), target.c_str()) != 0; });
    EXPECT_TRUE(r.ok);
    // h e l o \0 w r d: 8 values, 11 bytes, header 6*8+7 = 55.
    EXPECT_NE(r.log.find("Analysing Chars..8 different ones found\n"), std::string::npos) << r.log;
    EXPECT_NE(r.log.find("Creating Huffman Tree..11 Bytes found\n"), std::string::npos) << r.log;
    EXPECT_NE(r.log.find(" Bytes (55 Bytes as Header)\n"), std::string::npos) << r.log;
    EXPECT_TRUE(r.log.ends_with("Creating Output File '" + target + "'..DONE\n")) << r.log;
}

TEST(ProgressLog, RestoreToTextLogsThreeSteps)
{
    aztest::TempDir dir;
    const std::string source = makeContainer(dir, "abc.azl", "abc");
    testing::internal::CaptureStdout();
    const char *text = uncompressFileToString(source.c_str());
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Reading Header..DONE\nRestoring Huffman Tree..DONE\nRestoring String..DONE\n");
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "abc");
}

TEST(ProgressLog, RestoreToFileNamesItsTarget)
{
    aztest::TempDir dir;
    const std::string source = makeContainer(dir, "abc.azl", "abc");
    const std::string target = dir.file("abc.txt");
    const Logged r = logged([&] { return uncompressFile(source.c_str(), target.c_str()) != 0; });
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.log, "Reading Header..DONE\nRestoring Huffman Tree..DONE\nRestoring File '" + target + "'..DONE\n");
    EXPECT_EQ(readFile(target), "abc");
}

TEST(ProgressLog, EmptyInputsAndMissingFilesLogNothing)
{
    aztest::TempDir dir;
    const std::string empty = dir.file("empty");
    writeFile(empty, "");
    EXPECT_EQ(logged([&] { return compressString("", dir.file("e.azl").c_str()) != 0; }).log, "");
    EXPECT_EQ(logged([&] { return compressFile(empty.c_str(), dir.file("e2.azl").c_str()) != 0; }).log, "");
    EXPECT_EQ(logged([&] { return uncompressFile(empty.c_str(), dir.file("e3").c_str()) != 0; }).log, "");
    EXPECT_EQ(logged([&] { return uncompressFileToString(dir.file("missing").c_str()) != nullptr; }).log, "");
}

// --- compressString -------------------------------------------------------

TEST(CompressString, EmptyTextTruncatesTheTargetToZeroBytes)
{
    aztest::TempDir dir;
    const std::string target = dir.file("list.azl");
    writeFile(target, oldContent);
    EXPECT_TRUE(logged([&] { return compressString("", target.c_str()) != 0; }).ok);
    ASSERT_TRUE(aztest::exists(target));
    EXPECT_EQ(readFile(target), "");
    const char *text = uncompressFileToString(target.c_str());
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "");
}

TEST(CompressString, TargetInAMissingDirectoryFails)
{
    aztest::TempDir dir;
    EXPECT_FALSE(logged([&] { return compressString("abc", dir.file("no/such.azl").c_str()) != 0; }).ok);
    EXPECT_FALSE(logged([&] { return compressString("", dir.file("no/such.azl").c_str()) != 0; }).ok);
    EXPECT_FALSE(aztest::exists(dir.file("no")));
}

TEST(CompressString, ReplacesTheTargetKeepingItsPermissionsAndLeavesNoTemporaryFile)
{
    aztest::TempDir dir;
    const std::string target = dir.file("list.azl");
    writeFile(target, oldContent);
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    EXPECT_TRUE(logged([&] { return compressString("new\r\n", target.c_str()) != 0; }).ok);
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"list.azl"});
    EXPECT_STREQ(uncompressFileToString(target.c_str()), "new\r\n");
}

TEST(CompressString, NullArgumentsFailWithoutTouchingAnything)
{
    aztest::TempDir dir;
    const std::string target = dir.file("list.azl");
    writeFile(target, oldContent);
    EXPECT_FALSE(compressString(nullptr, target.c_str()));
    EXPECT_FALSE(compressString("abc", nullptr));
    EXPECT_EQ(readFile(target), oldContent);
    EXPECT_EQ(uncompressFileToString(nullptr), nullptr);
    EXPECT_FALSE(compressFile(nullptr, target.c_str()));
    EXPECT_FALSE(uncompressFile(target.c_str(), nullptr));
}

// --- compressFile ---------------------------------------------------------

TEST(CompressFile, MissingSourceFailsAndCreatesNoTarget)
{
    aztest::TempDir dir;
    const std::string target = dir.file("out.az");
    EXPECT_FALSE(logged([&] { return compressFile(dir.file("missing").c_str(), target.c_str()) != 0; }).ok);
    EXPECT_FALSE(aztest::exists(target));
    // A directory is no source either.
    EXPECT_FALSE(logged([&] { return compressFile(dir.path().c_str(), target.c_str()) != 0; }).ok);
    EXPECT_FALSE(aztest::exists(target));
}

TEST(CompressFile, TargetThatCannotBeOpenedFails)
{
    aztest::TempDir dir;
    const std::string source = dir.file("in.txt");
    writeFile(source, "abc");
    EXPECT_FALSE(logged([&] { return compressFile(source.c_str(), dir.file("no/out.az").c_str()) != 0; }).ok);
    // A directory in the target's place is not replaced.
    std::filesystem::create_directory(dir.file("sub"));
    EXPECT_FALSE(logged([&] { return compressFile(source.c_str(), dir.file("sub").c_str()) != 0; }).ok);
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("sub")));
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.txt", "sub"}));
}

TEST(CompressFile, EmptySourceGivesAnEmptyTarget)
{
    aztest::TempDir dir;
    const std::string source = dir.file("empty");
    const std::string target = dir.file("out.az");
    writeFile(source, "");
    writeFile(target, oldContent);
    EXPECT_TRUE(logged([&] { return compressFile(source.c_str(), target.c_str()) != 0; }).ok);
    EXPECT_EQ(readFile(target), "");
}

TEST(CompressFile, SourceAndTargetMayBeTheSameFile)
{
    aztest::TempDir dir;
    const std::string path = dir.file("self");
    writeFile(path, "same file twice");
    EXPECT_TRUE(logged([&] { return compressFile(path.c_str(), path.c_str()) != 0; }).ok);
    EXPECT_STREQ(uncompressFileToString(path.c_str()), "same file twice");
}

// --- uncompressFile -------------------------------------------------------

TEST(UncompressFile, MissingSourceFailsAndCreatesNoTarget)
{
    aztest::TempDir dir;
    const std::string target = dir.file("out");
    EXPECT_FALSE(logged([&] { return uncompressFile(dir.file("missing").c_str(), target.c_str()) != 0; }).ok);
    EXPECT_FALSE(aztest::exists(target));
}

TEST(UncompressFile, TargetThatCannotBeOpenedFails)
{
    aztest::TempDir dir;
    const std::string source = makeContainer(dir, "abc.azl", "abc");
    EXPECT_FALSE(logged([&] { return uncompressFile(source.c_str(), dir.file("no/out").c_str()) != 0; }).ok);
}

TEST(UncompressFile, EmptySourceGivesAnEmptyTarget)
{
    aztest::TempDir dir;
    const std::string source = dir.file("empty.azl");
    const std::string target = dir.file("out");
    writeFile(source, "");
    writeFile(target, oldContent);
    EXPECT_TRUE(logged([&] { return uncompressFile(source.c_str(), target.c_str()) != 0; }).ok);
    EXPECT_EQ(readFile(target), "");
}

TEST(UncompressFile, HeaderErrorFailsWithTheTargetTruncated)
{
    aztest::TempDir dir;
    const std::string source = dir.file("bad.azl");
    const std::string target = dir.file("out");
    writeFile(source, "not a container");
    writeFile(target, oldContent);
    const Logged r = logged([&] { return uncompressFile(source.c_str(), target.c_str()) != 0; });
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.log, "Reading Header..ERROR\n");
    EXPECT_EQ(readFile(target), "");
}

// --- uncompressFileToString -------------------------------------------------

TEST(UncompressFileToString, MissingFileGivesNull)
{
    aztest::TempDir dir;
    EXPECT_EQ(uncompressFileToString(dir.file("missing").c_str()), nullptr);
    EXPECT_EQ(uncompressFileToString(dir.path().c_str()), nullptr);
}

TEST(UncompressFileToString, EmptyFileGivesTheConstantEmptyText)
{
    aztest::TempDir dir;
    const std::string source = dir.file("empty.azl");
    writeFile(source, "");
    const char *first = uncompressFileToString(source.c_str());
    const char *second = uncompressFileToString(source.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first, "");
    EXPECT_EQ(first, second);
}

TEST(UncompressFileToString, TextStaysValidUntilTheNextCallOnTheSameThread)
{
    aztest::TempDir dir;
    const std::string one = makeContainer(dir, "one.azl", "first list\r\n");
    const std::string two = makeContainer(dir, "two.azl", "second list\r\n");
    testing::internal::CaptureStdout();
    const char *text = uncompressFileToString(one.c_str());
    // A call on another thread has its own buffer and leaves this one alone.
    std::string other;
    std::thread worker([&] {
        const char *t = uncompressFileToString(two.c_str());
        other = t ? t : "";
    });
    worker.join();
    testing::internal::GetCapturedStdout();
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "first list\r\n");
    EXPECT_EQ(other, "second list\r\n");
    // A failed call frees the previous text too (ASan would flag a leak or a
    // double free); the next success hands out a fresh one.
    EXPECT_EQ(uncompressFileToString(dir.file("missing").c_str()), nullptr);
    testing::internal::CaptureStdout();
    EXPECT_STREQ(uncompressFileToString(two.c_str()), "second list\r\n");
    testing::internal::GetCapturedStdout();
}
