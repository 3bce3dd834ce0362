// Restores a 10 MB song list from its file through the exported
// uncompressFileToString, beside gzip -d (zlib) restoring the same text from
// a .gz file into a fresh buffer, in the same run. Both read the file and
// fill a buffer they have just allocated, as a caller sees it. Run it as
// bench_azpack_export >/dev/null to hide azpack's progress log.
#include "azpack.h"
#include "songlisttext.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t textBytes = 10 * 1000 * 1000;
constexpr double goalShareOfGzip = 0.7;

struct Files {
    std::string dir;
    std::string azl;
    std::string gz;
    std::string text;

    Files()
    {
        char pattern[] = "/tmp/azpack-export-XXXXXX";
        if (!mkdtemp(pattern))
            throw std::runtime_error("mkdtemp");
        dir = pattern;
        azl = dir + "/songlist.azl";
        gz = dir + "/songlist.gz";
        text = songListText(textBytes);
        if (!compressString(text.c_str(), azl.c_str()))
            throw std::runtime_error("compressString");
        gzFile out = gzopen(gz.c_str(), "wb6");
        if (!out || gzwrite(out, text.data(), static_cast<unsigned>(text.size())) != static_cast<int>(text.size()))
            throw std::runtime_error("gzwrite");
        gzclose(out);
    }
    ~Files()
    {
        std::remove(azl.c_str());
        std::remove(gz.c_str());
        rmdir(dir.c_str());
    }
};

const Files &files()
{
    static const Files f;
    return f;
}

void azpackExport(benchmark::State &state)
{
    const Files &f = files();
    for (auto _ : state) {
        const char *restored = uncompressFileToString(f.azl.c_str());
        if (!restored)
            state.SkipWithError("restore failed");
        benchmark::DoNotOptimize(restored);
    }
    const char *restored = uncompressFileToString(f.azl.c_str());
    if (!restored || f.text != restored)
        state.SkipWithError("restored text differs");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.text.size()));
}

// gzip -d as a program does it: read the file, inflate into a new buffer
// sized by the gzip trailer.
std::unique_ptr<char[]> gunzipFile(const std::string &path, std::size_t &size)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> packed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::uint32_t isize = 0;
    std::memcpy(&isize, packed.data() + packed.size() - 4, 4);
    auto out = std::make_unique_for_overwrite<char[]>(std::size_t{isize} + 1);
    z_stream z{};
    inflateInit2(&z, 15 + 16);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.data()));
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = reinterpret_cast<Bytef *>(out.get());
    z.avail_out = isize;
    inflate(&z, Z_FINISH);
    size = z.total_out;
    inflateEnd(&z);
    out[size] = 0;
    return out;
}

void gzipFile(benchmark::State &state)
{
    const Files &f = files();
    for (auto _ : state) {
        std::size_t size = 0;
        auto out = gunzipFile(f.gz, size);
        if (size != f.text.size())
            state.SkipWithError("restored size differs");
        benchmark::DoNotOptimize(out.get());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.text.size()));
}

class RateReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs) {
            if (r.run_type != Run::RT_Iteration)
                continue;
            const auto rate = r.counters.find("bytes_per_second");
            if (rate != r.counters.end())
                rates[r.run_name.function_name].push_back(rate->second.value / 1e6);
        }
    }
    std::map<std::string, std::vector<double>> rates;
};

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

BENCHMARK(azpackExport)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(gzipFile)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    RateReporter reporter;
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double az = median(reporter.rates["azpackExport"]);
    const double gz = median(reporter.rates["gzipFile"]);
    std::fprintf(stderr, "\nrestore of %zu bytes from file (CPU time, median of runs)\n", files().text.size());
    std::fprintf(stderr, "uncompressFileToString %8.1f MB/s\ngzip -d (zlib)         %8.1f MB/s\n", az, gz);
    std::fprintf(stderr, "azpack / gzip -d       %8.2fx   goal >= %.2fx (%s)\n", az / gz, goalShareOfGzip,
                 az / gz >= goalShareOfGzip ? "met" : "MISSED");
    benchmark::Shutdown();
    return 0;
}
