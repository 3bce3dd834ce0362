// Listing time for an archive of 200 tagged members of 64 KiB, and for one
// archive holding a single 256 MiB member beside two small ones: how much of
// each member listing extracts to the scratch file for its tags decides
// both. Set next to extracting one member near the end, which reads up to it
// only.

#include "mediafixtures.h"
#include "options.h"
#include "rar4writer.h"
#include "untunrar.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace Qt::StringLiterals;

constexpr int kMemberCount = 200;
constexpr int kMemberSize = 64 * 1024;
constexpr int kLargeMemberSize = 256 * 1024 * 1024;

QByteArray taggedSong(const QByteArray &title, int size, char fill)
{
    QByteArray data = testsupport::id3v23Tag({testsupport::id3Latin1TextFrame("TIT2", title),
                                              testsupport::id3Latin1TextFrame("TPE1", "Band"),
                                              testsupport::id3Latin1TextFrame("TALB", "Collection")},
                                             1500);
    data.append(size - data.size(), fill);
    return data;
}

struct Fixture
{
    QTemporaryDir dir;
    QString archivePath;
    QString largePath;
    TFileFilterInfos filter;
    std::unique_ptr<TUnRar> unrar;
    qint64 archiveBytes = 0;

    Fixture()
    {
        filter.extension = {u".mp3"_s};
        filter.minimum = {u"0"_s};
        filter.maximum = {u"0"_s};
        std::vector<testsupport::Rar4Member> members;
        for (int i = 0; i < kMemberCount; ++i) {
            const QByteArray n = QByteArray::number(i);
            members.push_back({"cd" + QByteArray::number(i / 20) + "\\Band - Track " + n + ".mp3",
                               taggedSong("Track " + n, kMemberSize, static_cast<char>(i))});
        }
        const QByteArray bytes = testsupport::buildRar4(members);
        archiveBytes = bytes.size();
        archivePath = dir.filePath(u"collection.rar"_s);
        testsupport::writeBytes(archivePath, bytes);
        largePath = dir.filePath(u"large.rar"_s);
        testsupport::writeBytes(largePath, testsupport::buildRar4({{"before.mp3", taggedSong("Before", kMemberSize, 'b')},
                                                                   {"live set.mp3", taggedSong("Live", kLargeMemberSize, 'l')},
                                                                   {"after.mp3", taggedSong("After", kMemberSize, 'a')}}));
        unrar = std::make_unique<TUnRar>(filter, dir.path() + u'/');
        unrar->loadArchiveLibrary();
    }
};

Fixture &fixture()
{
    static Fixture instance;
    return instance;
}

// Lists the archive once per iteration; false (and the benchmark skipped)
// when the library is missing or rows were lost.
bool listRepeatedly(benchmark::State &state, const QString &path, int expectedRows)
{
    Fixture &f = fixture();
    if (!f.unrar->archiveLibraryLoaded()) {
        state.SkipWithError("libarchive not loaded");
        return false;
    }
    int rows = 0;
    for (auto _ : state)
        rows = f.unrar->listArchive(path).count();
    if (rows != expectedRows) {
        state.SkipWithError("listing lost members");
        return false;
    }
    return true;
}

void BM_ListArchive200(benchmark::State &state)
{
    Fixture &f = fixture();
    if (!listRepeatedly(state, f.archivePath, kMemberCount))
        return;
    state.SetBytesProcessed(state.iterations() * f.archiveBytes);
    state.counters["members/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * kMemberCount), benchmark::Counter::kIsRate);
    state.counters["s/member"] = benchmark::Counter(
        static_cast<double>(state.iterations() * kMemberCount),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_ListArchiveOneLargeMember(benchmark::State &state)
{
    Fixture &f = fixture();
    if (listRepeatedly(state, f.largePath, 3))
        state.counters["scratch KiB"] = static_cast<double>(QFileInfo(f.unrar->scratchFile()).size()) / 1024.0;
}

void BM_ExtractLastMember(benchmark::State &state)
{
    Fixture &f = fixture();
    const QString member = u"cd9/Band - Track 199.mp3"_s;
    bool ok = false;
    for (auto _ : state)
        ok = f.unrar->extractMember(f.archivePath, member, QString(), f.unrar->scratchFile());
    if (!ok)
        state.SkipWithError("member not extracted");
}

} // namespace

BENCHMARK(BM_ListArchive200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListArchiveOneLargeMember)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtractLastMember)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
