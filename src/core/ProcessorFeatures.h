#pragma once

namespace quorvane::processor {

// Whether the processor has 64-byte vectors with byte operations on whole and narrower vectors (AVX-512 F, BW
// and VL) and the bit instructions that go with them (BMI1, BMI2). Asked once, when first needed.
bool hasWideVectors();
// Whether it also gathers and spreads the bytes of such a vector by a mask (AVX-512 VBMI2) and counts bits
// (POPCNT).
bool hasWideByteCompress();

} // namespace quorvane::processor
