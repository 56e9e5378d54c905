#include "AsciiNarrowing.h"

#ifdef __SSE2__
#include <emmintrin.h>

namespace quorvane::ascii {

namespace {

bool isAscii(__m128i units)
{
    const __m128i outside = _mm_and_si128(units, _mm_set1_epi16(static_cast<short>(0xFF80)));
    return _mm_movemask_epi8(_mm_cmpeq_epi16(outside, _mm_setzero_si128())) == 0xFFFF;
}

// Narrows 16 units to 16 bytes, or 8 to 8; returns false, having written nothing, when one is not ASCII.
bool narrow16(const char16_t* in, char* out)
{
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8));
    if (!isAscii(_mm_or_si128(low, high)))
        return false;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(low, high));
    return true;
}

bool narrow8(const char16_t* in, char* out)
{
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    if (!isAscii(units))
        return false;
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(units, units));
    return true;
}

} // namespace

bool narrowSse2(const char16_t* in, qsizetype size, char* out)
{
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
    return narrowPlain(in, size, out);
}

} // namespace quorvane::ascii

#endif
