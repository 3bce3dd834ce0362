// Feeds arbitrary bytes to uncompressFileToString and uncompressFile as a
// container file. Both must fail or succeed alike and, when they succeed,
// agree on the bytes. The input also goes once through the codec in memory
// and must come back unchanged.
//
// With AZPACK_FUZZ_WRITE_SEEDS=DIR set, the program writes a few valid
// containers into DIR as a starting corpus and exits.
#include "azpack.h"
#include "codec/codec.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char *seedVariable = "AZPACK_FUZZ_WRITE_SEEDS";
constexpr const char *sourceName = "/fuzz-source.azl";
constexpr const char *targetName = "/fuzz-target.bin";
constexpr char binarySeed[] = "bytes\0with\0nul\0\xff\xfe";

struct Paths {
    std::string dir;
    std::string source;
    std::string target;
};

Paths &paths()
{
    static Paths p;
    return p;
}

void removeScratch()
{
    ::unlink(paths().source.c_str());
    ::unlink(paths().target.c_str());
    ::rmdir(paths().dir.c_str());
}

void writeSeeds(const std::string &dir)
{
    const std::vector<std::string> texts = {
        "abc",
        "aaaa",
        "x" + std::string(30, 'a'),
        "x" + std::string(28, 'a') + "y",
        "/home/anna/Music/Queen/A Night at the Opera/11 - Bohemian Rhapsody.mp3\r\n\r\nQueen\r\n"
        "Bohemian Rhapsody\r\nA Night at the Opera\r\n",
        std::string(binarySeed, sizeof binarySeed - 1),
    };
    int n = 0;
    for (const std::string &text : texts) {
        std::vector<std::uint8_t> container;
        azpack::compressBytes({reinterpret_cast<const std::uint8_t *>(text.data()), text.size()}, container);
        std::ofstream out(dir + "/seed-" + std::to_string(n++) + ".azl", std::ios::binary);
        out.write(reinterpret_cast<const char *>(container.data()), static_cast<std::streamsize>(container.size()));
    }
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    if (const char *seeds = std::getenv(seedVariable)) {
        writeSeeds(seeds);
        std::exit(0);
    }
    // The library's progress log would drown libFuzzer's own output, which
    // goes to standard error.
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
    }
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/azpack-fuzz-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        std::abort();
    paths() = {pattern, pattern + sourceName, pattern + targetName};
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const Paths &p = paths();
    {
        std::ofstream out(p.source, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    }
    const char *text = uncompressFileToString(p.source.c_str());
    const std::string asText = text ? std::string(text) : std::string();
    const bool textOk = text != nullptr;
    const bool fileOk = uncompressFile(p.source.c_str(), p.target.c_str()) != 0;
    if (textOk != fileOk)
        std::abort();
    if (fileOk) {
        const std::string restored = readFile(p.target);
        if (restored.compare(0, restored.find('\0'), asText) != 0)
            std::abort();
    }

    std::vector<std::uint8_t> container;
    std::vector<std::uint8_t> back;
    if (!azpack::compressBytes({data, size}, container) || !azpack::restoreBytes(container, back)
        || back.size() != size || (size > 0 && std::memcmp(back.data(), data, size) != 0))
        std::abort();
    return 0;
}
