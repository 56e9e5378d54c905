#pragma once

// Whether this build can have code for x86-64's 64-byte vectors at all (chosen when the program runs, by the
// questions below); elsewhere only the portable code is built.
#if defined(__GNUC__) && defined(__x86_64__)
#define QUORVANE_WIDE_VECTORS 1
#else
#define QUORVANE_WIDE_VECTORS 0
#endif

namespace quorvane::processor {

// Whether the processor has 64-byte vectors with byte operations on whole and narrower vectors (AVX-512 F, BW
// and VL) and the bit instructions that go with them (BMI1, BMI2). Asked once, when first needed.
bool hasWideVectors();
// Whether it also gathers and spreads the bytes of such a vector by a mask (AVX-512 VBMI2) and counts bits
// (POPCNT).
bool hasWideByteCompress();

} // namespace quorvane::processor
