// Tag-reading throughput over 10,000 small tagged files with a warm cache,
// next to a plain 1 KiB read of the same files as the floor.

#include "az_id3tag.h"
#include "mediafixtures.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

using namespace Qt::StringLiterals;

constexpr int kFileCount = 10000;
constexpr int kFileSize = 4096;

struct Library
{
    QTemporaryDir dir;
    QStringList paths;

    Library()
    {
        paths.reserve(kFileCount);
        for (int i = 0; i < kFileCount; ++i) {
            const QByteArray n = QByteArray::number(i);
            QByteArray bytes = testsupport::id3v23Tag(
                {testsupport::id3Latin1TextFrame("TIT2", "Title number " + n),
                 testsupport::id3Utf16TextFrame("TPE1", u"Ärtist "_s + QString::number(i % 97)),
                 testsupport::id3Latin1TextFrame("TALB", "Album " + QByteArray::number(i % 31)),
                 testsupport::id3Latin1TextFrame("TCON", "Rock")},
                1500);
            bytes.append(kFileSize - bytes.size(), '\x55');
            const QString path = dir.filePath(u"Band - Song "_s + QString::number(i) + u".mp3"_s);
            if (!testsupport::writeBytes(path, bytes))
                std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            paths.append(path);
        }
    }
};

Library &library()
{
    static Library instance;
    return instance;
}

void warm(const QStringList &paths)
{
    for (const QString &path : paths) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            benchmark::DoNotOptimize(file.read(1024));
    }
}

// Wall-clock seconds of one plain 1 KiB read over every file, the best of three.
double plainPassSeconds(const QStringList &paths)
{
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto start = std::chrono::steady_clock::now();
        warm(paths);
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

void BM_ReadTags(benchmark::State &state)
{
    const QStringList &paths = library().paths;
    warm(paths);
    const double plain = plainPassSeconds(paths);
    TId3Tags tags;
    qsizetype titleChars = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (const QString &path : paths) {
            readTags(path, tags);
            titleChars += tags[Id3::TIT2].value.size();
        }
    }
    const double perPass = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()
                           / static_cast<double>(state.iterations());
    benchmark::DoNotOptimize(titleChars);
    // How much dearer reading the tags is than just reading the 1 KiB.
    state.counters["x_plain_read"] = perPass / plain;
    state.SetItemsProcessed(state.iterations() * paths.size());
    state.counters["files/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * paths.size()),
                           benchmark::Counter::kIsRate);
}

void BM_PlainRead1KiB(benchmark::State &state)
{
    const QStringList &paths = library().paths;
    warm(paths);
    for (auto _ : state)
        warm(paths);
    state.counters["files/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * paths.size()),
                           benchmark::Counter::kIsRate);
}

void BM_DecodeHeadOnly(benchmark::State &state)
{
    QFile file(library().paths.first());
    if (!file.open(QIODevice::ReadOnly)) {
        state.SkipWithError("cannot open fixture");
        return;
    }
    const QByteArray head = file.read(tagHeadSize);
    TId3Tags tags;
    for (auto _ : state) {
        readTagsFrom(file.fileName(), {head, -1, head.size()}, tags);
        benchmark::DoNotOptimize(tags);
    }
    state.counters["windows/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_ReadTags)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PlainRead1KiB)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_DecodeHeadOnly)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
