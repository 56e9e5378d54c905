#include "LineDecoder.h"

#include "TextFiles.h"
#include "Windows1252.h"
#include "core/Failure.h"
#include "core/ProcessorFeatures.h"

#include <QSysInfo>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <type_traits>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if QUORVANE_WIDE_VECTORS
#include <immintrin.h>
#endif

namespace quorvane {

namespace {

// Room past the characters of a piece for the whole-vector stores that run over a line's end.
constexpr qsizetype writeAhead = 64;

std::atomic<bool> wideVectorsAllowed{true};

std::optional<QStringConverter::Encoding> converterFor(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::Utf16BE:
        return QStringConverter::Utf16BE;
    case TextEncoding::Utf32LE:
        return QStringConverter::Utf32LE;
    case TextEncoding::Utf32BE:
        return QStringConverter::Utf32BE;
    case TextEncoding::Utf8: // decoded here, Qt's converter only for the non-ASCII runs
        return QStringConverter::Utf8;
    case TextEncoding::Utf16LE: // copied as it stands where the machine's own order is little-endian
        if (QSysInfo::ByteOrder == QSysInfo::BigEndian)
            return QStringConverter::Utf16LE;
        break;
    case TextEncoding::Ansi:
        break;
    }
    return std::nullopt;
}

// Where a UTF-8 character that may go on past `end` begins, or `end`. [begin, end) holds no ASCII.
const unsigned char* incompleteTail(const unsigned char* begin, const unsigned char* end)
{
    for (qsizetype back = 1; back <= std::min<qsizetype>(3, end - begin); ++back) {
        const unsigned char byte = end[-back];
        if ((byte & 0xC0) == 0x80)
            continue; // a continuation byte: its lead is further back
        const qsizetype length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : 2;
        return back < length ? end - back : end;
    }
    return end;
}

// One window of the text: its units written at the write position, and where its LFs, CRs and units that
// need a closer look (8-bit bytes 80..9F, UTF-8 bytes from 80 on) are. Bit i << shift stands for unit i.
struct Window
{
    unsigned lfs = 0;
    unsigned crs = 0;
    unsigned others = 0;
};

template <LineDecoder::Source source> constexpr int unitBytes = source == LineDecoder::Source::Utf16 ? 2 : 1;
template <LineDecoder::Source source> constexpr int windowUnits = 16 / unitBytes<source>;
template <LineDecoder::Source source> constexpr int shift = unitBytes<source> - 1;

// Writes the window's units at `out` and finds its breaks. Reads sixteen bytes, also past the piece's end.
// Written one byte each (`Unit` char), 16-bit units keep their low byte: those that do not fit are among
// the units that need a closer look, which is then every unit from 80 on.
template <LineDecoder::Source source, typename Unit>
Q_ALWAYS_INLINE Window readWindow(const unsigned char* p, Unit* out)
{
    constexpr bool narrow = std::is_same_v<Unit, char>;
    Window window;
#ifdef __SSE2__
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i zero = _mm_setzero_si128();
    if constexpr (source == LineDecoder::Source::Utf16) {
        if constexpr (narrow) {
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(v, v));
            const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xFF80))), zero);
            window.others = ~unsigned(_mm_movemask_epi8(ascii)) & 0x5555;
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
        }
        window.lfs = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(v, _mm_set1_epi16('\n')))) & 0x5555;
        window.crs = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(v, _mm_set1_epi16('\r')))) & 0x5555;
    } else {
        if constexpr (narrow) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpackhi_epi8(v, zero));
        }
        window.lfs = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))));
        window.crs = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r'))));
        if constexpr (source == LineDecoder::Source::Utf8) {
            window.others = unsigned(_mm_movemask_epi8(v));
        } else if constexpr (!narrow) {
            const __m128i high = _mm_and_si128(v, _mm_set1_epi8(static_cast<char>(0xE0)));
            window.others = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(high, _mm_set1_epi8(static_cast<char>(0x80)))));
        }
    }
#else
    for (int i = 0; i < windowUnits<source>; ++i) {
        char16_t unit = p[i];
        if constexpr (source == LineDecoder::Source::Utf16)
            std::memcpy(&unit, p + 2 * i, 2);
        out[i] = static_cast<Unit>(unit);
        const unsigned bit = 1u << (i << shift<source>);
        if (unit == u'\n')
            window.lfs |= bit;
        else if (unit == u'\r')
            window.crs |= bit;
        else if (source == LineDecoder::Source::Ansi ? !narrow && (unit & 0xE0) == 0x80 : unit >= 0x80)
            window.others |= bit;
    }
#endif
    return window;
}

#if QUORVANE_WIDE_VECTORS

// 8-bit text kept one byte per character, where a CR LF pair, a lone CR and a lone LF each end a line: the
// characters are the bytes that are neither CR nor LF, so whole 64-byte blocks are taken at once. A block's
// line ends are the CRs and the LFs not right after a CR.
struct BulkCursor
{
    const unsigned char* p;
    char* out;
    qsizetype* pending;  // where the next line end goes
    qsizetype lineStart; // where the unfinished line begins, counted from the start of the text block
    bool afterCr;        // the byte before p was a CR
};

constexpr qsizetype bulkBlock = 64;
// Line ends one block can add at most.
constexpr qsizetype bulkEndsPerBlock = bulkBlock;

// A block's characters are gathered by one compress instruction of 64-byte vectors. (Stores that bypass the
// cache were tried, and were slower on the machines measured; a portable version that copies the text between
// breaks run by run was no faster than the window-by-window decoding below.)
__attribute__((target("avx512f,avx512bw,avx512vbmi2,bmi,bmi2,popcnt,prfchw"))) void
takeBulkBlocksWide(BulkCursor& c, const unsigned char* end, const char* base, const qsizetype* pendingEnd)
{
    const __m512i crs = _mm512_set1_epi8('\r');
    const __m512i lfs = _mm512_set1_epi8('\n');
    const unsigned char* p = c.p;
    char* out = c.out;
    qsizetype* pending = c.pending;
    qsizetype lineStart = c.lineStart;
    quint64 afterCr = c.afterCr;
    while (end - p >= bulkBlock && pendingEnd - pending >= bulkEndsPerBlock) {
        // The text ahead was mostly copied by the other core, and the names' room ahead is not in the cache:
        // asked for early, neither keeps the loop waiting.
        _mm_prefetch(reinterpret_cast<const char*>(p) + 2048, _MM_HINT_T0);
        __builtin_prefetch(out + 256, 1);
        const __m512i v = _mm512_loadu_si512(p);
        const quint64 cr = _mm512_cmpeq_epi8_mask(v, crs);
        const quint64 lf = _mm512_cmpeq_epi8_mask(v, lfs);
        const quint64 kept = ~(cr | lf);
        _mm512_storeu_si512(out, _mm512_maskz_compress_epi8(kept, v));
        quint64 ends = cr | (lf & ~((cr << 1) | afterCr));
        afterCr = cr >> 63;
        const qsizetype offset = out - base;
        while (ends != 0) {
            const unsigned bit = unsigned(__builtin_ctzll(ends));
            lineStart = offset + qsizetype(_mm_popcnt_u64(_bzhi_u64(kept, bit)));
            *pending++ = lineStart;
            ends &= ends - 1;
        }
        out += _mm_popcnt_u64(kept);
        p += bulkBlock;
    }
    c = {p, out, pending, lineStart, afterCr != 0};
}

// Whether 8-bit text is taken 64 bytes at a time rather than window by window.
bool decodesInBulk()
{
    return processor::hasWideByteCompress() && wideVectorsAllowed.load(std::memory_order_relaxed);
}
#endif

} // namespace

LineDecoder::LineDecoder(TextBlock& lines, TextEncoding encoding, LineBreaks breaks)
    : m_lines(lines), m_encoding(encoding), m_breaks(breaks), m_firstLine(lines.count()),
      m_written(lines.characterCount()), m_lineStart(m_written)
{
    if (const auto converter = converterFor(encoding)) {
        // UTF-8 runs are cut at ASCII bytes and at piece ends only between characters: no state between them.
        // The other converters see every byte and keep what a piece leaves unfinished.
        const auto flags = encoding == TextEncoding::Utf8
                               ? QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless
                               : QStringConverter::Flag::ConvertInitialBom;
        m_decoder.emplace(*converter, flags);
    }
    // Lines that start a block are kept one byte per character for as long as they can be.
    m_lines.startNarrow();
}

void LineDecoder::allowWideVectors(bool allowed)
{
    wideVectorsAllowed.store(allowed, std::memory_order_relaxed);
}

LineDecoder::~LineDecoder()
{
    if (!m_finished) {
        flushEnds();
        m_lines.finishWriting();
    }
}

void LineDecoder::flushEnds()
{
    m_lines.endTexts(m_pending.ends, m_pending.count);
    m_pending.count = 0;
}

void LineDecoder::expectBytes(qint64 bytes)
{
    // Characters never outnumber bytes in the 8-bit and UTF-8 readings; 16-bit text has one per two bytes
    // and 32-bit text at most one per two bytes (a surrogate pair for four).
    const qint64 characters =
        m_encoding == TextEncoding::Ansi || m_encoding == TextEncoding::Utf8 ? bytes : bytes / 2 + 1;
    try {
        if (m_lines.isNarrow())
            m_lines.narrowWriteBuffer(m_written + characters + writeAhead);
        else
            m_lines.writeBuffer(m_written + characters + writeAhead);
    } catch (const std::bad_alloc&) {
        return; // the buffer grows piece by piece instead, as far as memory allows
    }
    m_expectedBytes = bytes;
}

qsizetype LineDecoder::feed(const char* bytes, qsizetype size)
{
    const qsizetype taken = feedPiece(bytes, size, false);
    m_bytesSeen += taken;
    const qsizetype lines = m_lines.count() + m_pending.count - m_firstLine;
    if (m_expectedBytes > 0 && lines >= 256) {
        // The line ends are reserved once, for as many lines as the start of the text suggests, a tenth more;
        // a wrong guess only means that the list grows or keeps unused room.
        const double guess =
            double(lines) / double(m_bytesSeen) * double(std::max<qint64>(m_expectedBytes - m_bytesSeen, 0));
        m_expectedBytes = 0;
        try {
            m_lines.reserve(qsizetype(guess * 1.1) + 16, 0);
        } catch (const std::bad_alloc&) {
            // A guess too large to reserve: the ends grow as they come.
        }
    }
    return taken;
}

void LineDecoder::finish(const char* bytes, qsizetype size)
{
    feedPiece(bytes, size, true);
    // A file that ends inside a character (half a 16-bit unit, a part of a 32-bit one) gets one U+FFFD for it.
    const bool converted = m_encoding != TextEncoding::Utf8 && m_decoder.has_value();
    if (converted ? m_decoder->endsInsideSequence() : m_encoding == TextEncoding::Utf16LE && size % 2 != 0) {
        const char16_t replacement[1 + readAhead / 2] = {0xFFFD};
        feedUnits(reinterpret_cast<const unsigned char*>(replacement), 2);
    }
    endLastLine();
}

void LineDecoder::endLastLine()
{
    flushEnds();
    bool ends = false;
    switch (m_breaks) {
    case LineBreaks::CrLfOrLf:
        ends = m_written > m_lineStart || m_lines.count() == m_firstLine;
        break;
    case LineBreaks::CrLfOnly:
        ends = true;
        break;
    case LineBreaks::CrLfCrOrLf:
        ends = m_written > m_lineStart;
        break;
    }
    if (ends)
        m_lines.endTexts(&m_written, 1);
    m_lines.finishWriting();
    m_finished = true;
}

qsizetype LineDecoder::feedPiece(const char* bytes, qsizetype size, bool last)
{
    const auto* src = reinterpret_cast<const unsigned char*>(bytes);
    const auto withBreaks = [&](auto feedWith) -> qsizetype {
        switch (m_breaks) {
        case LineBreaks::CrLfOrLf:
            return feedWith(std::integral_constant<LineBreaks, LineBreaks::CrLfOrLf>());
        case LineBreaks::CrLfOnly:
            return feedWith(std::integral_constant<LineBreaks, LineBreaks::CrLfOnly>());
        case LineBreaks::CrLfCrOrLf:
            return feedWith(std::integral_constant<LineBreaks, LineBreaks::CrLfCrOrLf>());
        }
        return size;
    };
    switch (m_encoding) {
    case TextEncoding::Ansi:
        return withBreaks(
            [&](auto breaks) { return feedSource<decltype(breaks)::value, Source::Ansi>(src, size, last); });
    case TextEncoding::Utf8:
        return withBreaks(
            [&](auto breaks) { return feedSource<decltype(breaks)::value, Source::Utf8>(src, size, last); });
    case TextEncoding::Utf16LE:
        if (m_decoder)
            return feedConverted(bytes, size);
        return withBreaks(
            [&](auto breaks) { return feedSource<decltype(breaks)::value, Source::Utf16>(src, size, last); });
    case TextEncoding::Utf16BE:
    case TextEncoding::Utf32LE:
    case TextEncoding::Utf32BE:
        return feedConverted(bytes, size);
    }
    return size;
}

template <LineBreaks breaks, LineDecoder::Source source>
qsizetype LineDecoder::feedSource(const unsigned char* src, qsizetype size, bool last)
{
    if (!m_lines.isNarrow())
        return feedText<breaks, source, char16_t>(src, size, last);
    const qsizetype taken = feedText<breaks, source, char>(src, size, last);
    if (!m_mustWiden)
        return taken;
    // A character without a byte of its own: the block turns wide, and the text goes on from that character.
    m_mustWiden = false;
    m_lines.widen(m_written);
    return taken + feedText<breaks, source, char16_t>(src + taken, size - taken, last);
}

template <LineBreaks breaks, LineDecoder::Source source, typename Unit>
qsizetype LineDecoder::feedText(const unsigned char* src, qsizetype size, bool last)
{
    constexpr bool narrow = std::is_same_v<Unit, char>;
    constexpr int step = unitBytes<source>;
    constexpr int width = windowUnits<source>;
    constexpr int unitShift = shift<source>;
    const qsizetype units = size / step;
    Unit* const base = narrow ? reinterpret_cast<Unit*>(m_lines.narrowWriteBuffer(m_written + units + writeAhead))
                              : reinterpret_cast<Unit*>(m_lines.writeBuffer(m_written + units + writeAhead));
    Unit* out = base + m_written;
    Unit* lineStart = base + m_lineStart;
    bool afterCr = m_afterCr;
    qsizetype* pending = m_pending.ends + m_pending.count;
    qsizetype* const pendingEnd = m_pending.ends + PendingEnds::capacity;
    const auto endLine = [&](Unit* at) {
        *pending++ = at - base;
        lineStart = at;
        if (pending == pendingEnd) {
            m_pending.count = PendingEnds::capacity;
            flushEnds();
            pending = m_pending.ends;
        }
    };

    const unsigned char* p = src;
    const unsigned char* const end = src + units * step;
#if QUORVANE_WIDE_VECTORS
    if constexpr (narrow && source == Source::Ansi && breaks == LineBreaks::CrLfCrOrLf) {
        BulkCursor cursor{p, out, pending, lineStart - base, afterCr};
        while (decodesInBulk()) {
            takeBulkBlocksWide(cursor, end, base, pendingEnd);
            if (pendingEnd - cursor.pending >= bulkEndsPerBlock)
                break;
            m_pending.count = int(cursor.pending - m_pending.ends);
            flushEnds();
            cursor.pending = m_pending.ends;
        }
        p = cursor.p;
        out = cursor.out;
        pending = cursor.pending;
        lineStart = base + cursor.lineStart;
        afterCr = cursor.afterCr;
    }
#endif
    while (p < end) {
        // The text ahead may have been copied by the other core: asked for early, it does not keep the loop
        // waiting, nor does the room ahead of the lines.
        __builtin_prefetch(p + 2048);
        __builtin_prefetch(out + 256, 1);
        const qsizetype left = (end - p) / step;
        const Window window = readWindow<source>(p, out);
        const unsigned valid = left < width ? (1u << (left << unitShift)) - 1 : 0xFFFFu;
        const unsigned breaking = breaks == LineBreaks::CrLfCrOrLf ? window.crs : 0u;
        unsigned stops = (window.lfs | window.others | breaking) & valid;
        if (stops == 0) {
            // Nothing to look at: the units are in place already.
            const qsizetype taken = std::min<qsizetype>(left, width);
            p += taken * step;
            out += taken;
            afterCr = false;
            continue;
        }
        // Every break of the window is taken from its masks, without reading the window again.
        const unsigned char* const first = p;
        bool other = false;
        for (;;) {
            const int bit = __builtin_ctz(stops);
            const unsigned char* const at = first + (bit >> unitShift) * step;
            if (at > p) {
                // Text between two breaks of the window: written again where the text goes on.
                if (p > first)
                    readWindow<source>(p, out);
                out += (at - p) / step;
                afterCr = false;
            }
            p = at;
            const unsigned flag = 1u << bit;
            if (window.others & flag) {
                other = true;
                break;
            }
            p += step;
            if (window.lfs & flag) {
                if constexpr (breaks == LineBreaks::CrLfCrOrLf) {
                    if (afterCr)
                        afterCr = false; // the LF of a CR LF pair whose CR ended the line
                    else
                        endLine(out);
                } else {
                    // The CR of a pair was written as an ordinary character; the LF takes it back.
                    const bool crBefore = bit > 0 ? ((window.crs >> (bit - (1 << unitShift))) & 1) != 0
                                                  : out > lineStart && out[-1] == Unit('\r');
                    if (crBefore)
                        endLine(--out);
                    else if constexpr (breaks == LineBreaks::CrLfOnly)
                        *out++ = Unit('\n'); // a lone LF is text; where it was written the text may have moved since
                    else
                        endLine(out);
                }
            } else {
                endLine(out); // a CR, under the rule that makes it a break
                afterCr = true;
            }
            stops &= stops - 1;
            if (stops == 0)
                break;
        }
        if (!other) {
            // The rest of the window goes after the last break, and the next window starts where this one ends:
            // where the next window is read does not wait for where the breaks were found.
            const unsigned char* const windowEnd = first + std::min<qsizetype>(left, width) * step;
            if (windowEnd > p) {
                readWindow<source>(p, out);
                out += (windowEnd - p) / step;
                afterCr = false;
            }
            p = windowEnd;
            continue;
        }
        afterCr = false;
        if constexpr (narrow) {
            m_mustWiden = true; // only a wide block holds this character
            break;
        } else if constexpr (source == Source::Utf8) {
            p = takeNonAscii(p, end, out, last);
            if (p < end && *p >= 0x80)
                break; // the next piece begins with the rest of this character
        } else if constexpr (source == Source::Ansi) {
            *out++ = windows1252::highControls[*p++ - 0x80];
        }
    }
    m_pending.count = int(pending - m_pending.ends);
    m_written = out - base;
    m_lineStart = lineStart - base;
    m_afterCr = afterCr;
    return p - src;
}

const unsigned char* LineDecoder::takeNonAscii(const unsigned char* p, const unsigned char* end, char16_t*& out,
                                               bool last)
{
    // The whole run of non-ASCII bytes goes through Qt's decoder at once.
    const unsigned char* stop = p + 1;
    while (stop < end && *stop >= 0x80)
        ++stop;
    const unsigned char* complete = stop == end ? incompleteTail(p, end) : stop;
    out = reinterpret_cast<char16_t*>(
        m_decoder->appendToBuffer(reinterpret_cast<QChar*>(out), QByteArrayView(p, complete - p)));
    if (complete == stop || !last)
        return complete;
    // The file ends inside a character: one replacement character for it.
    Decoder tail(QStringConverter::Utf8);
    out = reinterpret_cast<char16_t*>(
        tail.appendToBuffer(reinterpret_cast<QChar*>(out), QByteArrayView(complete, end - complete)));
    if (tail.endsInsideSequence())
        *out++ = QChar::ReplacementCharacter;
    return end;
}

qsizetype LineDecoder::feedUnits(const unsigned char* src, qsizetype size)
{
    switch (m_breaks) {
    case LineBreaks::CrLfOrLf:
        return feedSource<LineBreaks::CrLfOrLf, Source::Utf16>(src, size, false);
    case LineBreaks::CrLfOnly:
        return feedSource<LineBreaks::CrLfOnly, Source::Utf16>(src, size, false);
    case LineBreaks::CrLfCrOrLf:
        return feedSource<LineBreaks::CrLfCrOrLf, Source::Utf16>(src, size, false);
    }
    return size;
}

qsizetype LineDecoder::feedConverted(const char* bytes, qsizetype size)
{
    const qsizetype room = m_decoder->requiredSpace(size) + readAhead;
    if (m_converted.size() < 2 * room)
        m_converted.resize(2 * room);
    auto* begin = reinterpret_cast<QChar*>(m_converted.data());
    const QChar* end = m_decoder->appendToBuffer(begin, QByteArrayView(bytes, size));
    feedUnits(reinterpret_cast<const unsigned char*>(m_converted.constData()), 2 * (end - begin));
    return size;
}

void appendFileLines(QFile& file, TextEncoding encoding, LineBreaks breaks, TextBlock& lines, qsizetype pieceBytes)
{
    appendDeviceLines(file, file.fileName(), encoding, breaks, lines, pieceBytes);
}

namespace {

// Files at least this large are read a few pieces ahead on a second thread.
constexpr qint64 readAheadBytes = 2 * 1024 * 1024;

// Reads a device's pieces on a second thread, a few pieces ahead of the decoding, so that the system's copying
// of the file and the decoding overlap. When the next piece is not there yet and nobody is reading it, the
// decoding thread reads it itself instead of waiting for the other thread to be given a processor. One piece is
// read at a time, in order. Each piece has room before it for the bytes that the piece before left over, and
// after it for the decoder's look-ahead.
class ReadAhead final
{
public:
    struct Piece
    {
        char* bytes; // after LineDecoder::maxLeftOver bytes of room
        qint64 got;  // 0 at the end, negative when the read failed
    };

    ReadAhead(QIODevice& device, qsizetype pieceBytes) : m_device(device), m_pieceBytes(pieceBytes)
    {
        for (int i = 0; i < slotCount; ++i) {
            m_slots[i] = QByteArray(LineDecoder::maxLeftOver + pieceBytes + LineDecoder::readAhead, Qt::Uninitialized);
            m_slotBytes[i] = m_slots[i].data() + LineDecoder::maxLeftOver;
        }
        m_thread = std::thread([this] { run(); });
    }

    ~ReadAhead()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The next piece. After a failed read or the end, the device is no longer read from.
    Piece next()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (m_read > m_taken)
                break;
            if (!m_reading) {
                readNext(lock); // all pieces before it are decoded: every slot is free
                break;
            }
            m_changed.wait(lock);
        }
        const qsizetype slot = qsizetype(m_taken % slotCount);
        if (m_outOfMemory[slot])
            throw std::bad_alloc();
        return {m_slotBytes[slot], m_got[slot]};
    }

    // The piece that next() gave may now be read into again.
    void release()
    {
        {
            const std::lock_guard lock(m_mutex);
            ++m_taken;
        }
        m_changed.notify_all();
    }

private:
    static constexpr int slotCount = 4;

    // Reads piece m_read, with the lock held on entry and on return but not while reading.
    void readNext(std::unique_lock<std::mutex>& lock)
    {
        const qint64 piece = m_read;
        m_reading = true;
        lock.unlock();
        const qsizetype slot = qsizetype(piece % slotCount);
        qint64 got = -1;
        bool outOfMemory = false;
        try {
            got = m_device.read(m_slotBytes[slot], m_pieceBytes);
        } catch (const std::bad_alloc&) {
            outOfMemory = true; // told to the decoding thread, which reports it
        }
        lock.lock();
        m_outOfMemory[slot] = outOfMemory;
        m_got[slot] = got;
        m_read = piece + 1;
        m_reading = false;
        m_ended = got <= 0;
        m_changed.notify_all();
    }

    void run()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [&] { return m_stop || m_ended || (!m_reading && m_read - m_taken < slotCount); });
            if (m_stop || m_ended)
                return;
            readNext(lock);
        }
    }

    QIODevice& m_device;
    const qsizetype m_pieceBytes;
    QByteArray m_slots[slotCount];
    char* m_slotBytes[slotCount] = {}; // taken once: both threads use them
    qint64 m_got[slotCount] = {};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    qint64 m_read = 0;                  // pieces read
    qint64 m_taken = 0;                 // pieces decoded
    bool m_reading = false;             // one of the threads is reading piece m_read
    bool m_ended = false;               // the last read found the end or failed
    bool m_outOfMemory[slotCount] = {}; // the piece's read ran out of memory
    bool m_stop = false;
    std::thread m_thread; // last: it starts once everything it uses is there
};

// Decodes the pieces that `next` gives until the end. Each piece has LineDecoder::maxLeftOver bytes of room
// before it, where the bytes that the piece before left over go.
template <typename Next, typename Release>
void decodePieces(QIODevice& device, const QString& name, LineDecoder& decoder, Next&& next, Release&& release)
{
    char carried[LineDecoder::maxLeftOver];
    qsizetype leftOver = 0;
    for (;;) {
        const ReadAhead::Piece piece = next();
        if (piece.got < 0)
            throwReadError(device, name); // no other thread reads the device any more
        char* const start = piece.bytes - leftOver;
        std::memcpy(start, carried, size_t(leftOver));
        if (piece.got == 0) {
            decoder.finish(start, leftOver);
            return;
        }
        const qsizetype size = leftOver + piece.got;
        const qsizetype taken = decoder.feed(start, size);
        leftOver = size - taken;
        std::memcpy(carried, start + taken, size_t(leftOver));
        release();
    }
}

} // namespace

void appendDeviceLines(QIODevice& device, const QString& name, TextEncoding encoding, LineBreaks breaks,
                       TextBlock& lines, qsizetype pieceBytes)
{
    pieceBytes = std::max<qsizetype>(pieceBytes, 1);
    LineDecoder decoder(lines, encoding, breaks);
    qint64 left = 0;
    if (!device.isSequential()) {
        left = device.size() - device.pos();
        if (left > 0)
            decoder.expectBytes(left);
    }
    try {
        if (left >= readAheadBytes) {
            std::optional<ReadAhead> ahead;
            try {
                ahead.emplace(device, pieceBytes);
            } catch (const std::system_error&) {
                // No second thread to be had: the file is read in turn with the decoding.
            }
            if (ahead) {
                decodePieces(
                    device, name, decoder, [&] { return ahead->next(); }, [&] { ahead->release(); });
                return;
            }
        }
        QByteArray buffer(LineDecoder::maxLeftOver + pieceBytes + LineDecoder::readAhead, Qt::Uninitialized);
        char* const bytes = buffer.data() + LineDecoder::maxLeftOver;
        decodePieces(
            device, name, decoder,
            [&] {
                return ReadAhead::Piece{bytes, device.read(bytes, pieceBytes)};
            },
            [] {});
    } catch (const std::bad_alloc&) {
        // A file larger than memory (a disk image chosen by mistake) is a failure to report, not the end of the
        // program; the lines read so far stay.
        throw Failure(QStringLiteral("Cannot read \"%1\": not enough memory for its text").arg(name));
    }
}

} // namespace quorvane
