#pragma once

#include <QtGlobal>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quorvane::ascii {

// Nearly every text of the result list is ASCII: the exports write those one byte per UTF-16 unit, sixteen
// units at a time, and take the long way only for the rest.

#if defined(__SSE2__)
inline bool isAscii(__m128i units)
{
    const __m128i outside = _mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xFF80)));
    return _mm_movemask_epi8(_mm_cmpeq_epi16(outside, _mm_setzero_si128())) == 0xFFFF;
}

// Narrows 16 units to 16 bytes, or 8 to 8; returns false, having written nothing, when one is not ASCII.
inline bool narrow16(const char16_t* in, char* out)
{
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8));
    if (!isAscii(_mm_or_si128(low, high)))
        return false;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(low, high));
    return true;
}

inline bool narrow8(const char16_t* in, char* out)
{
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    if (!isAscii(units))
        return false;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(units, units));
    return true;
}
#endif

// Writes the text one byte per unit and returns true when it is all ASCII, as nearly every text is; returns
// false otherwise, having written some of it (never more than `size` bytes).
inline bool narrow(const char16_t* in, qsizetype size, char* out)
{
#if defined(__SSE2__)
    if (size >= 16) {
        qsizetype at = 0;
        for (; at + 16 <= size; at += 16) {
            if (!narrow16(in + at, out + at))
                return false;
        }
        // The rest as the last 16 units, overlapping what is done: one block instead of a loop over the rest.
        return at == size || narrow16(in + size - 16, out + size - 16);
    }
    if (size >= 8)
        return narrow8(in, out) && narrow8(in + size - 8, out + size - 8);
#endif
    char16_t all = 0;
    for (qsizetype at = 0; at < size; ++at) {
        all |= in[at];
        out[at] = static_cast<char>(in[at]);
    }
    return all < 0x80;
}

} // namespace quorvane::ascii
