// The azpack command-line tool: exit status, messages on standard error and
// the text printed by "cat".
#include "tempdir.h"

#include <cstdlib>
#include <sys/wait.h>

namespace {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

// The tool lands beside the test programs; MELODECK_BIN_DIR names that
// directory when the test environment carries it.
std::string tool()
{
    const char *bin = std::getenv("MELODECK_BIN_DIR");
    if (bin && *bin)
        return std::string(bin) + "/azpack";
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "azpack").string();
}

std::string quoted(const std::string &s) { return "'" + s + "'"; }

ToolRun run(const aztest::TempDir &dir, const std::string &args)
{
    const std::string out = dir.file("stdout");
    const std::string err = dir.file("stderr");
    const std::string command = quoted(tool()) + " " + args + " >" + quoted(out) + " 2>" + quoted(err);
    const int raw = std::system(command.c_str());
    ToolRun r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, aztest::readFile(out), aztest::readFile(err)};
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return r;
}

} // namespace

TEST(Cli, CompressRestoreAndCatRoundTrip)
{
    aztest::TempDir dir;
    const std::string text = "first\r\nsecond\r\n";
    aztest::writeFile(dir.file("list.txt"), text);

    const ToolRun c = run(dir, "c " + quoted(dir.file("list.txt")) + " " + quoted(dir.file("list.azl")));
    EXPECT_EQ(c.status, 0) << c.err;
    EXPECT_NE(c.out.find("Creating Output File"), std::string::npos);

    const ToolRun d = run(dir, "d " + quoted(dir.file("list.azl")) + " " + quoted(dir.file("back.txt")));
    EXPECT_EQ(d.status, 0) << d.err;
    EXPECT_EQ(aztest::readFile(dir.file("back.txt")), text);

    // cat prints the text alone, without the library's progress log.
    const ToolRun t = run(dir, "cat " + quoted(dir.file("list.azl")));
    EXPECT_EQ(t.status, 0) << t.err;
    EXPECT_EQ(t.out, text);
    EXPECT_EQ(t.err, "");
}

TEST(Cli, CatOfAnEmptyListPrintsNothing)
{
    aztest::TempDir dir;
    aztest::writeFile(dir.file("empty.azl"), "");
    const ToolRun t = run(dir, "cat " + quoted(dir.file("empty.azl")));
    EXPECT_EQ(t.status, 0);
    EXPECT_EQ(t.out, "");
}

TEST(Cli, FailuresExitWithOneAndSayWhy)
{
    aztest::TempDir dir;
    aztest::writeFile(dir.file("junk"), "no container here");
    const std::string missing = quoted(dir.file("missing"));
    for (const std::string &args : {"c " + missing + " " + quoted(dir.file("x")), "d " + missing + " " + quoted(dir.file("y")),
                                    "cat " + missing, "cat " + quoted(dir.file("junk")),
                                    "d " + quoted(dir.file("junk")) + " " + quoted(dir.file("z"))}) {
        const ToolRun r = run(dir, args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_TRUE(r.err.starts_with("azpack: cannot ")) << args << ": " << r.err;
    }
    EXPECT_FALSE(aztest::exists(dir.file("x")));
}

TEST(Cli, UsageErrorsExitWithOneAndPrintTheUsage)
{
    aztest::TempDir dir;
    for (const std::string &args : {std::string(), std::string("x a b"), std::string("c onlyone"),
                                    std::string("cat"), std::string("d a b c")}) {
        const ToolRun r = run(dir, args);
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_TRUE(r.err.starts_with("usage: azpack c SRC DST")) << args << ": " << r.err;
    }
}

// The build packs resources/filetypes.txt with the tool into filetypes.azi
// beside the program: today's types of three lines each.
TEST(DefaultFileTypes, PackedListHoldsTodaysTypesWithDecimalLimits)
{
    aztest::TempDir dir;
    const std::string packed = std::filesystem::path(tool()).parent_path() / "filetypes.azi";
    ASSERT_TRUE(aztest::exists(packed)) << packed;
    const ToolRun t = run(dir, "cat " + quoted(packed));
    ASSERT_EQ(t.status, 0) << t.err;
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = t.out.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(t.out.substr(start, end - start));
    EXPECT_EQ(start, t.out.size()) << "every line ends with CR LF";
    const std::vector<std::string> types = {".mp3", ".mp2", ".wma", ".wav", ".ogg", ".flac", ".opus",
                                            ".oga", ".m4a", ".aac", ".wv",  ".ape", ".aiff", ".aif"};
    ASSERT_EQ(lines.size(), 3 * types.size());
    for (std::size_t i = 0; i < types.size(); ++i) {
        EXPECT_EQ(lines[3 * i], types[i]);
        for (const std::string &limit : {lines[3 * i + 1], lines[3 * i + 2]}) {
            ASSERT_FALSE(limit.empty());
            EXPECT_EQ(limit.find_first_not_of("0123456789"), std::string::npos) << limit;
        }
        const long low = std::stol(lines[3 * i + 1]);
        const long high = std::stol(lines[3 * i + 2]);
        EXPECT_GT(low, 0) << types[i] << ": tiny clips and broken stubs are not music";
        EXPECT_TRUE(high == 0 || high > low) << types[i];
    }
}
