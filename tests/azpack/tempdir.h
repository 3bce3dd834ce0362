// Test helpers: a private temporary directory and whole-file reads and writes.
#ifndef AZPACK_TESTS_TEMPDIR_H
#define AZPACK_TESTS_TEMPDIR_H

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace aztest {

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "azpack-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            ADD_FAILURE() << "cannot create a temporary directory";
        path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;

    std::string file(const std::string &name) const { return (path_ / name).string(); }
    const std::filesystem::path &path() const { return path_; }

    // Names of everything in the directory, to spot left-over temporary files.
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto &e : std::filesystem::directory_iterator(path_))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path path_;
};

inline std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string bytes(std::initializer_list<int> values)
{
    std::string s;
    for (const int v : values)
        s.push_back(static_cast<char>(v));
    return s;
}

inline std::string le32(std::uint32_t v)
{
    return bytes({static_cast<int>(v & 0xff), static_cast<int>((v >> 8) & 0xff), static_cast<int>((v >> 16) & 0xff),
                  static_cast<int>(v >> 24)});
}

// One code-table entry as it stands in a container.
inline std::string entry(int length, char value, std::uint32_t code)
{
    return bytes({length, static_cast<unsigned char>(value)}) + le32(code);
}

inline std::string header(std::uint32_t total) { return std::string("AZ") + le32(total); }

inline bool exists(const std::string &path) { return std::filesystem::exists(path); }

} // namespace aztest

#endif
