#include "storedtext.h"

#include "azpack.h"

#include <QFile>
#include <QStringEncoder>

#include <algorithm>
#include <system_error>
#include <thread>

#ifdef __SSE2__
#include <emmintrin.h>
#endif


TRestoredText::TRestoredText(const QString &fileName)
{
    const QByteArray nativeName = QFile::encodeName(fileName);
    if (const char *restored = uncompressFileToString(nativeName.constData()))
        text_ = QByteArrayView(restored, qstrlen(restored));
}

TRestoredText::~TRestoredText()
{
    // A null name lets azpack free the text now: a big library's text would
    // otherwise stay resident until the next load.
    uncompressFileToString(nullptr);
}

namespace {

// The first line start after pos, or text.size().
qsizetype nextLineStart(QByteArrayView text, qsizetype pos)
{
    for (++pos; pos < text.size(); ++pos) {
        const char before = text.at(pos - 1);
        if (before == '\n' || (before == '\r' && text.at(pos) != '\n'))
            return pos;
    }
    return text.size();
}

} // namespace

qsizetype countLineEnds(QByteArrayView text)
{
    const char *const p = text.data();
    const qsizetype n = text.size();
    qsizetype count = 0;
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    // Per byte lane, a line ends at an LF, or at a CR whose next byte is no
    // LF. The lanes count up to 255 ends before they are summed.
    while (i + 17 <= n) {
        __m128i lanes = _mm_setzero_si128();
        for (int round = 0; round < 255 && i + 17 <= n; ++round, i += 16) {
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i));
            const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + i + 1));
            const __m128i ends = _mm_or_si128(_mm_cmpeq_epi8(here, lf),
                                              _mm_andnot_si128(_mm_cmpeq_epi8(next, lf), _mm_cmpeq_epi8(here, cr)));
            lanes = _mm_sub_epi8(lanes, ends);
        }
        const __m128i sums = _mm_sad_epu8(lanes, _mm_setzero_si128());
        count += _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums));
    }
#endif
    for (; i < n; ++i) {
        if (p[i] == '\n' || (p[i] == '\r' && (i + 1 == n || p[i + 1] != '\n')))
            ++count;
    }
    return count;
}

qsizetype groupStartFrom(QByteArrayView text, qsizetype from, int groupLines)
{
    if (from <= 0)
        return 0;
    qsizetype start = nextLineStart(text, from - 1);
    for (qsizetype line = countLineEnds(text.first(start)); line % groupLines != 0 && start < text.size(); ++line)
        start = nextLineStart(text, start);
    return start;
}

void forEachStoredLine(const QString &fileName, const std::function<void(QByteArrayView line)> &take)
{
    const TRestoredText restored(fileName);
    forEachLine(restored.text(), take);
}

bool storeText(const QByteArray &text, const QString &fileName)
{
    return storeText(text.constData(), fileName);
}

bool storeText(const char *text, const QString &fileName)
{
    const QByteArray nativeName = QFile::encodeName(fileName);
    return compressString(text, nativeName.constData()) != 0;
}

TStoredTextBuilder::TStoredTextBuilder(qsizetype units, qsizetype lines)
    // The spare room is never touched, so it costs address space only.
    : bytes_(TStoredTextWriter::worstCase(units, lines), Qt::Uninitialized)
    , writer_(bytes_.data())
{
}

namespace {

bool breaksText(char16_t unit)
{
    return unit == u'\r' || unit == u'\n' || unit == u'\0';
}

#ifdef __SSE2__
// Copies the leading ASCII units of [from, end) eight at a time, breaks
// replaced by spaces in the same step; returns how many it copied.
qsizetype copyAsciiBlocks(const char16_t *from, qsizetype units, char *to)
{
    const __m128i highBits = _mm_set1_epi16(static_cast<short>(0xff80));
    const __m128i zero = _mm_setzero_si128();
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i space = _mm_set1_epi8(' ');
    qsizetype i = 0;
    for (; i + 8 <= units; i += 8) {
        const __m128i wide = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(wide, highBits), zero)) != 0xffff)
            break;
        const __m128i bytes = _mm_packus_epi16(wide, wide);
        const __m128i breaks = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf)),
                                            _mm_cmpeq_epi8(bytes, zero));
        const __m128i clean = _mm_or_si128(_mm_andnot_si128(breaks, bytes), _mm_and_si128(breaks, space));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(to + i), clean);
    }
    return i;
}
#else
qsizetype copyAsciiBlocks(const char16_t *, qsizetype, char *)
{
    return 0;
}
#endif

} // namespace

void TStoredTextWriter::append(QStringView entry)
{
    const char16_t *const units = entry.utf16();
    const qsizetype size = entry.size();
    char *write = write_;
    qsizetype i = copyAsciiBlocks(units, size, write);
    for (; i < size && units[i] < 0x80; ++i)
        write[i] = breaksText(units[i]) ? ' ' : static_cast<char>(units[i]);
    write += i;
    if (i < size) {
        // Stateless: a lone surrogate at the end of one entry must not pair
        // with the start of the next. Everything before i is ASCII, so the
        // encoding may start there.
        QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
        char *const encoded = write;
        write = encoder.appendToBuffer(encoded, entry.sliced(i));
        // UTF-8 writes CR, LF and NUL as themselves and uses no byte below
        // 0x80 for anything else.
        std::replace_if(encoded, write, [](char c) { return breaksText(static_cast<char16_t>(c)); }, ' ');
    }
    *write++ = '\r';
    *write++ = '\n';
    write_ = write;
}

void TStoredTextWriter::appendUtf8(QByteArrayView entry)
{
    const char *const from = entry.data();
    char *const to = write_;
    for (qsizetype i = 0; i < entry.size(); ++i) {
        const char c = from[i];
        to[i] = c == '\r' || c == '\n' || c == '\0' ? ' ' : c;
    }
    write_ = to + entry.size();
    *write_++ = '\r';
    *write_++ = '\n';
}

QByteArray TStoredTextBuilder::take()
{
    bytes_.resize(writer_.end() - bytes_.constData());
    return std::move(bytes_);
}

void runSideBySide(const std::function<void()> &first, const std::function<void()> &second)
{
    std::thread helper;
    try {
        helper = std::thread(second);
    } catch (const std::system_error &) {
    }
    first();
    if (helper.joinable())
        helper.join();
    else
        second();
}
