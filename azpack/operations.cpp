#include "operations.h"

#include "codec/codetree.h"
#include "codec/containerwriter.h"
#include "codec/decoder.h"
#include "codec/decodetree.h"
#include "codec/headerreader.h"
#include "codec/splitpacker.h"
#include "codec/symboltable.h"
#include "io/atomicfile.h"
#include "io/sourcefile.h"
#include "io/targetfile.h"

#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <string_view>
#include <vector>

namespace azpack {

namespace {

constexpr std::string_view logAnalysing = "Analysing Chars..";
constexpr std::string_view logDifferent = " different ones found";
constexpr std::string_view logCreatingRoot = "Creating Huffman Root..";
constexpr std::string_view logCreatingTree = "Creating Huffman Tree..";
constexpr std::string_view logBytesFound = " Bytes found";
constexpr std::string_view logDeriving = "Deriving Bit Sequence..";
constexpr std::string_view logFilesize = "Compressed Filesize: ";
constexpr std::string_view logBytesOpen = " Bytes (";
constexpr std::string_view logHeaderClose = " Bytes as Header)";
constexpr std::string_view logCreatingOutput = "Creating Output File '";
constexpr std::string_view logReadingHeader = "Reading Header..";
constexpr std::string_view logRestoringTree = "Restoring Huffman Tree..";
constexpr std::string_view logRestoringString = "Restoring String..";
constexpr std::string_view logRestoringFile = "Restoring File '";
constexpr std::string_view logNameEnd = "'..";
constexpr std::string_view logDone = "DONE";
constexpr std::string_view logError = "ERROR";
constexpr std::string_view logNotUnique = "ERROR: Huffman Tree Not Unique!";
constexpr std::string_view logUnexpectedEnd = "ERROR: Unexpected end of file!";

constexpr std::size_t readChunk = 1 << 20;
constexpr std::size_t restoreChunk = 1 << 16;
constexpr char emptyText[] = "";

// Reads the source from where it stands to its end in chunks, handing each
// to `take`. False on a read error or as soon as `take` says so.
template <typename Take>
bool eachChunk(SourceFile &in, std::vector<std::uint8_t> &chunk, Take take)
{
    for (;;) {
        const long n = in.read(chunk.data(), chunk.size());
        if (n == 0)
            return true;
        if (n < 0 || !take(std::span<const std::uint8_t>(chunk.data(), static_cast<std::size_t>(n))))
            return false;
    }
}

// Steps after counting, up to the size estimate: the code table is in
// `table` afterwards. The counting step's heading is already written.
// Returns the estimated size of the packed data in bits.
std::uint64_t planCodes(SymbolTable &table, ProgressLog &log)
{
    log.number(table.symbols().size());
    log.endLine(logDifferent);

    log.text(logCreatingRoot);
    CodeTree tree(table.symbols());
    log.endLine(logDone);

    log.text(logCreatingTree);
    tree.build();
    log.number(static_cast<std::uint64_t>(tree.rootCount()));
    log.endLine(logBytesFound);

    log.text(logDeriving);
    const std::uint64_t estimate = tree.deriveCodes(table.symbols());
    log.endLine(logDone);

    log.text(logFilesize);
    log.number(estimate / 8);
    log.text(logBytesOpen);
    log.number(headerSize(table.symbols().size()));
    log.endLine(logHeaderClose);
    return estimate;
}

void logOutputHeading(ProgressLog &log, std::string_view heading, const char *name)
{
    log.text(heading);
    log.text(name);
    log.text(logNameEnd);
}

// Reads the whole container and checks its header, logging the outcome.
bool readContainer(SourceFile &in, FileBytes &bytes, Header &header, bool needBound, ProgressLog &log)
{
    log.text(logReadingHeader);
    const bool ok = in.readWhole(bytes) && readHeader(bytes.view(), header)
        && (!needBound || dataCanHold(header, bytes.size));
    log.endLine(ok ? logDone : logError);
    return ok;
}

bool rebuildTree(const Header &header, DecodeTree &tree, ProgressLog &log)
{
    log.text(logRestoringTree);
    const bool ok = tree.rebuild(header.entries);
    log.endLine(ok ? logDone : logNotUnique);
    return ok;
}

} // namespace

bool compressTextToFile(const char *text, const char *target, FileOps &ops, ProgressLog &log)
{
    if (!text || !target)
        return false;
    AtomicFile out(ops);
    if (!out.open(target))
        return false;
    const std::size_t length = std::strlen(text);
    if (length == 0)
        return out.commit();

    const std::span<const std::uint8_t> input(reinterpret_cast<const std::uint8_t *>(text), length);
    log.text(logAnalysing);
    if (length > SymbolTable::maxTotal) {
        log.endLine(logError);
        return false;
    }
    SymbolTable table;
    SplitPacker packer(input);
    packer.count(table);
    planCodes(table, log);

    logOutputHeading(log, logCreatingOutput, target);
    // The container's exact size is known from the counts: one buffer that
    // the packing fills once, with no zeroing ahead of it.
    const auto size = static_cast<std::size_t>(packer.containerSize(table.symbols()));
    const auto bytes = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    const bool ok = packer.write(table.symbols(), bytes.get()) && out.write(std::span(bytes.get(), size))
        && out.commit();
    log.endLine(ok ? logDone : logError);
    return ok;
}

bool compressFileToFile(const char *source, const char *target, FileOps &ops, ProgressLog &log)
{
    if (!source || !target)
        return false;
    SourceFile in;
    if (!in.open(source))
        return false;
    AtomicFile out(ops);
    if (!out.open(target))
        return false;
    std::uint64_t size = 0;
    if (!in.size(size))
        return false;
    if (size == 0)
        return out.commit();

    std::vector<std::uint8_t> chunk(readChunk);
    log.text(logAnalysing);
    SymbolTable table;
    const bool readOk = in.rewind() && eachChunk(in, chunk, [&table](std::span<const std::uint8_t> bytes) {
        table.add(bytes);
        return !table.tooLarge();
    });
    if (!readOk || table.total() == 0) {
        log.endLine(logError);
        return false;
    }
    planCodes(table, log);

    const bool rewound = in.rewind();
    logOutputHeading(log, logCreatingOutput, target);
    const auto total = static_cast<std::uint32_t>(table.total());
    std::vector<std::uint8_t> bytes;
    appendHeader(bytes, table.symbols(), total);
    BitPacker packer(table.symbols());
    bool ok = rewound && eachChunk(in, chunk, [&](std::span<const std::uint8_t> input) {
        const bool packed = packer.pack(input, bytes) && out.write(bytes);
        bytes.clear();
        // A file that grew since it was counted would not restore whole.
        return packed && packer.packedBytes() <= total;
    });
    // Nor would one that shrank.
    ok = ok && packer.packedBytes() == total;
    packer.finish(bytes);
    ok = ok && out.write(bytes) && out.commit();
    log.endLine(ok ? logDone : logError);
    return ok;
}

bool restoreFileToFile(const char *source, const char *target, FileOps &ops, ProgressLog &log)
{
    if (!source || !target)
        return false;
    SourceFile in;
    if (!in.open(source))
        return false;
    TargetFile out(ops);
    if (!out.open(target))
        return false;
    std::uint64_t size = 0;
    if (!in.size(size))
        return false;
    if (size == 0)
        return out.close();

    FileBytes bytes;
    Header header;
    if (!readContainer(in, bytes, header, false, log))
        return false;
    DecodeTree tree;
    if (!rebuildTree(header, tree, log))
        return false;

    logOutputHeading(log, logRestoringFile, target);
    Decoder decoder(tree, bytes.view().subspan(header.dataOffset));
    std::vector<std::uint8_t> chunk(restoreChunk);
    std::uint64_t left = header.total;
    bool written = true;
    while (left > 0 && written && !decoder.failed()) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, chunk.size()));
        const std::size_t got = decoder.decode(chunk.data(), want);
        // Bytes restored before damage stay in the target.
        written = out.write(std::span(chunk.data(), got));
        left -= got;
    }
    written = out.close() && written;
    if (decoder.failed()) {
        log.endLine(logUnexpectedEnd);
        return false;
    }
    log.endLine(written ? logDone : logError);
    return written;
}

const char *restoreFileToText(const char *source, ProgressLog &log)
{
    // The text handed out by the previous call on this thread is freed now.
    thread_local std::unique_ptr<std::uint8_t[]> restored;
    restored.reset();
    if (!source)
        return nullptr;
    SourceFile in;
    if (!in.open(source))
        return nullptr;
    std::uint64_t size = 0;
    if (!in.size(size))
        return nullptr;
    if (size == 0)
        return emptyText;

    FileBytes bytes;
    Header header;
    if (!readContainer(in, bytes, header, true, log))
        return nullptr;
    std::unique_ptr<std::uint8_t[]> buffer;
    try {
        buffer = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t{header.total} + 1);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
    DecodeTree tree;
    if (!rebuildTree(header, tree, log))
        return nullptr;

    log.text(logRestoringString);
    Decoder decoder(tree, bytes.view().subspan(header.dataOffset));
    const std::size_t got = decoder.decode(buffer.get(), header.total);
    if (decoder.failed() || got != header.total) {
        log.endLine(logUnexpectedEnd);
        return nullptr;
    }
    buffer[header.total] = 0;
    log.endLine(logDone);
    restored = std::move(buffer);
    return reinterpret_cast<const char *>(restored.get());
}

} // namespace azpack
