#pragma once

// Whether this build can have code for x86-64's 64-byte vectors at all (chosen when the program runs, by the
// questions below); elsewhere only the portable code is built.
#if defined(__GNUC__) && defined(__x86_64__)
#define QUORVANE_WIDE_VECTORS 1
#else
#define QUORVANE_WIDE_VECTORS 0
#endif

namespace quorvane::processor {

// Whether every fast path is turned off, so that the portable code runs everywhere: the environment variable
// QUORVANE_PORTABLE holds a value other than "" and "0". Read once, when first asked. Every choice of a fast path
// asks this (through the questions below), so the test suite can run once more on the portable code alone.
bool portableOnly();

// Whether SSE2 code may run: always on x86-64, never elsewhere, and never when the fast paths are turned off.
bool hasSse2();
// Whether the processor has AVX2 with the bit instructions that go with it (BMI1, BMI2), and the fast paths are not
// turned off. Asked once, when first needed.
bool hasAvx2();

// Whether the processor has 64-byte vectors with byte operations on whole and narrower vectors (AVX-512 F, BW
// and VL) and the bit instructions that go with them (BMI1, BMI2). Asked once, when first needed.
bool hasWideVectors();
// Whether it also gathers and spreads the bytes of such a vector by a mask (AVX-512 VBMI2) and counts bits
// (POPCNT).
bool hasWideByteCompress();

} // namespace quorvane::processor
