// azpack: the library's command-line front end.
//   azpack c SRC DST    compress a file
//   azpack d SRC DST    restore a container into a file
//   azpack cat FILE     print the text a list file holds
#include "azpack.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace {

constexpr std::string_view usageText =
    "usage: azpack c SRC DST     compress the file SRC into the container DST\n"
    "       azpack d SRC DST     restore the container SRC into the file DST\n"
    "       azpack cat FILE      print the text held by the container FILE\n";
constexpr const char *compressFailed = "azpack: cannot compress '%s' into '%s'\n";
constexpr const char *restoreFailed = "azpack: cannot restore '%s' into '%s' (missing, unreadable or damaged)\n";
constexpr const char *catFailed = "azpack: cannot read '%s' (missing, unreadable or damaged)\n";
constexpr const char *writeFailed = "azpack: cannot write to standard output\n";
constexpr const char *nullDevice = "/dev/null";

int usage()
{
    std::fwrite(usageText.data(), 1, usageText.size(), stderr);
    return 1;
}

// The library logs to standard output, which here carries the text itself:
// the log goes to the null device while the container is read.
const char *restoreQuietly(const char *file)
{
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    const int null = ::open(nullDevice, O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && null >= 0)
        ::dup2(null, STDOUT_FILENO);
    const char *text = uncompressFileToString(file);
    std::fflush(stdout);
    if (saved >= 0 && null >= 0)
        ::dup2(saved, STDOUT_FILENO);
    if (null >= 0)
        ::close(null);
    if (saved >= 0)
        ::close(saved);
    return text;
}

int cat(const char *file)
{
    const char *text = restoreQuietly(file);
    if (!text) {
        std::fprintf(stderr, catFailed, file);
        return 1;
    }
    const std::size_t length = std::strlen(text);
    if (std::fwrite(text, 1, length, stdout) != length || std::fflush(stdout) != 0) {
        std::fputs(writeFailed, stderr);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    const std::string_view command = argv[1];
    if (command == "c" && argc == 4) {
        if (compressFile(argv[2], argv[3]))
            return 0;
        std::fprintf(stderr, compressFailed, argv[2], argv[3]);
        return 1;
    }
    if (command == "d" && argc == 4) {
        if (uncompressFile(argv[2], argv[3]))
            return 0;
        std::fprintf(stderr, restoreFailed, argv[2], argv[3]);
        return 1;
    }
    if (command == "cat" && argc == 3)
        return cat(argv[2]);
    return usage();
}
