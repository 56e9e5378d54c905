#pragma once

#include "core/ProcessorFeatures.h"

#include <QtGlobal>

namespace quorvane::ascii {

// Nearly every text of the result list is ASCII: the exports write those one byte per UTF-16 unit, and take the
// long way only for the rest. Each narrowing writes the text one byte per unit and returns true when it is all
// ASCII; it returns false otherwise, having written some of it (never more than `size` bytes).

inline bool narrowPlain(const char16_t* in, qsizetype size, char* out)
{
    char16_t all = 0;
    for (qsizetype at = 0; at < size; ++at) {
        all |= in[at];
        out[at] = static_cast<char>(in[at]);
    }
    return all < 0x80;
}

#ifdef __SSE2__
// Sixteen units at a time (AsciiNarrowingSse2.cpp).
bool narrowSse2(const char16_t* in, qsizetype size, char* out);
#endif

// The narrowing this processor runs fastest; the one place where it is chosen.
inline bool narrow(const char16_t* in, qsizetype size, char* out)
{
#ifdef __SSE2__
    static const bool sse2 = processor::hasSse2();
    if (sse2)
        return narrowSse2(in, size, out);
#endif
    return narrowPlain(in, size, out);
}

} // namespace quorvane::ascii
