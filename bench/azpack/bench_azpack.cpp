// Compress and restore speed of azpack's codec on a 10 MB song list, beside
// gzip -6 (zlib, gzip wrapper) and zstd -1, measured in the same run. azpack
// is called through its in-memory codec functions (no files), so the figures
// are the codec's own. A summary with MB/s and ratios follows the run.
#include "codec/codec.h"
#include "songlisttext.h"

#include <benchmark/benchmark.h>
#include <zlib.h>
#include <zstd.h>

#include <cstdio>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr std::size_t textBytes = 10 * 1000 * 1000;

const std::string &text()
{
    static const std::string t = songListText(textBytes);
    return t;
}

std::span<const std::uint8_t> textBytesSpan()
{
    return {reinterpret_cast<const std::uint8_t *>(text().data()), text().size()};
}

std::vector<std::uint8_t> gzipCompress(std::span<const std::uint8_t> in)
{
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::vector<std::uint8_t> out(deflateBound(&z, in.size()));
    z.next_in = const_cast<Bytef *>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::vector<std::uint8_t> gzipRestore(std::span<const std::uint8_t> in, std::size_t size)
{
    z_stream z{};
    if (inflateInit2(&z, 15 + 16) != Z_OK)
        throw std::runtime_error("inflateInit2");
    std::vector<std::uint8_t> out(size);
    z.next_in = const_cast<Bytef *>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    inflateEnd(&z);
    return out;
}

std::vector<std::uint8_t> zstdCompress(std::span<const std::uint8_t> in)
{
    std::vector<std::uint8_t> out(ZSTD_compressBound(in.size()));
    out.resize(ZSTD_compress(out.data(), out.size(), in.data(), in.size(), 1));
    return out;
}

std::vector<std::uint8_t> zstdRestore(std::span<const std::uint8_t> in, std::size_t size)
{
    std::vector<std::uint8_t> out(size);
    out.resize(ZSTD_decompress(out.data(), out.size(), in.data(), in.size()));
    return out;
}

std::vector<std::uint8_t> azpackCompress(std::span<const std::uint8_t> in)
{
    std::vector<std::uint8_t> out;
    if (!azpack::compressBytes(in, out))
        throw std::runtime_error("azpack compress");
    return out;
}

std::vector<std::uint8_t> azpackRestore(std::span<const std::uint8_t> in, std::size_t)
{
    std::vector<std::uint8_t> out;
    if (!azpack::restoreBytes(in, out))
        throw std::runtime_error("azpack restore");
    return out;
}

using Compress = std::vector<std::uint8_t> (*)(std::span<const std::uint8_t>);
using Restore = std::vector<std::uint8_t> (*)(std::span<const std::uint8_t>, std::size_t);

void compressBench(benchmark::State &state, Compress compress)
{
    const auto in = textBytesSpan();
    std::size_t packed = 0;
    for (auto _ : state) {
        auto out = compress(in);
        packed = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.size()));
    state.counters["ratio"] = static_cast<double>(packed) / static_cast<double>(in.size());
}

void restoreBench(benchmark::State &state, Compress compress, Restore restore)
{
    const auto in = textBytesSpan();
    const std::vector<std::uint8_t> packed = compress(in);
    for (auto _ : state) {
        auto out = restore(packed, in.size());
        if (out.size() != in.size())
            state.SkipWithError("restored size differs");
        benchmark::DoNotOptimize(out.data());
    }
    if (restore(packed, in.size()) != std::vector<std::uint8_t>(in.begin(), in.end()))
        state.SkipWithError("restored bytes differ");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * in.size()));
}

// Collects MB/s per benchmark for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs) {
            const auto rate = r.counters.find("bytes_per_second");
            if (rate != r.counters.end())
                mbPerSecond[r.benchmark_name()] = rate->second.value / 1e6;
            const auto ratio = r.counters.find("ratio");
            if (ratio != r.counters.end())
                ratios[r.benchmark_name()] = ratio->second.value;
        }
    }
    std::map<std::string, double> mbPerSecond;
    std::map<std::string, double> ratios;
};

} // namespace

BENCHMARK_CAPTURE(compressBench, azpack, azpackCompress)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(restoreBench, azpack, azpackCompress, azpackRestore)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(compressBench, gzip6, gzipCompress)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(restoreBench, gzip6, gzipCompress, gzipRestore)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(compressBench, zstd1, zstdCompress)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(restoreBench, zstd1, zstdCompress, zstdRestore)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%zu bytes of song list text, one core\n", text().size());
    std::printf("%-8s %14s %14s %10s\n", "codec", "compress MB/s", "restore MB/s", "size");
    const double azCompress = reporter.mbPerSecond["compressBench/azpack"];
    const double azRestore = reporter.mbPerSecond["restoreBench/azpack"];
    for (const char *name : {"azpack", "gzip6", "zstd1"}) {
        const std::string n = name;
        std::printf("%-8s %14.1f %14.1f %9.1f%%\n", name, reporter.mbPerSecond["compressBench/" + n],
                    reporter.mbPerSecond["restoreBench/" + n], 100.0 * reporter.ratios["compressBench/" + n]);
    }
    std::printf("azpack targets: compress >= 200 MB/s (%s, %.2fx), restore >= 300 MB/s (%s, %.2fx)\n",
                azCompress >= 200 ? "met" : "MISSED", azCompress / 200.0, azRestore >= 300 ? "met" : "MISSED",
                azRestore / 300.0);
    std::printf("azpack vs gzip -6: compress %.2fx, restore %.2fx; vs zstd -1: compress %.2fx, restore %.2fx\n",
                azCompress / reporter.mbPerSecond["compressBench/gzip6"],
                azRestore / reporter.mbPerSecond["restoreBench/gzip6"],
                azCompress / reporter.mbPerSecond["compressBench/zstd1"],
                azRestore / reporter.mbPerSecond["restoreBench/zstd1"]);
    benchmark::Shutdown();
    return 0;
}
