#include "LineDecoder.h"
#include "Windows1252.h"

#include <algorithm>
#include <type_traits>

#ifdef __SSE2__
#include <emmintrin.h>

// The decoding of LineDecoder::feedText sixteen bytes at a time: each window's units are written where they go
// whole, and its LFs, CRs and units that need a closer look are found by comparing the whole window at once; the
// units are then taken break by break from those masks instead of one by one.
namespace quorvane {

namespace {

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
    return window;
}

} // namespace

template <LineBreaks breaks, LineDecoder::Source source, typename Unit>
qsizetype LineDecoder::feedTextSse2(const unsigned char* src, qsizetype size, bool last)
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
    while (p < end) {
        // The text ahead and the room ahead of the lines, asked for early, do not keep the loop waiting.
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

#define QUORVANE_FEED_TEXT_SSE2(breaks)                                                                                \
    template qsizetype LineDecoder::feedTextSse2<breaks, LineDecoder::Source::Ansi, char>(const unsigned char*,        \
                                                                                          qsizetype, bool);            \
    template qsizetype LineDecoder::feedTextSse2<breaks, LineDecoder::Source::Ansi, char16_t>(const unsigned char*,    \
                                                                                              qsizetype, bool);        \
    template qsizetype LineDecoder::feedTextSse2<breaks, LineDecoder::Source::Utf8, char>(const unsigned char*,        \
                                                                                          qsizetype, bool);            \
    template qsizetype LineDecoder::feedTextSse2<breaks, LineDecoder::Source::Utf8, char16_t>(const unsigned char*,    \
                                                                                              qsizetype, bool);        \
    template qsizetype LineDecoder::feedTextSse2<breaks, LineDecoder::Source::Utf16, char>(const unsigned char*,       \
                                                                                           qsizetype, bool);           \
    template qsizetype LineDecoder::feedTextSse2<breaks, LineDecoder::Source::Utf16, char16_t>(const unsigned char*,   \
                                                                                               qsizetype, bool);
QUORVANE_FEED_TEXT_SSE2(LineBreaks::CrLfOrLf)
QUORVANE_FEED_TEXT_SSE2(LineBreaks::CrLfOnly)
QUORVANE_FEED_TEXT_SSE2(LineBreaks::CrLfCrOrLf)
#undef QUORVANE_FEED_TEXT_SSE2

} // namespace quorvane

#endif
