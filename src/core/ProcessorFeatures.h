#pragma once

namespace quorvane::processor {

// Whether every fast path is turned off, so that the portable code runs everywhere: the environment variable
// QUORVANE_PORTABLE holds a value other than "" and "0". Read once, when first asked. Every choice of a fast path
// asks this (directly or through hasSse2()), so the test suite can run once more on the portable code alone.
bool portableOnly();

// Whether SSE2 code may run: wherever the build has it (always on x86-64), unless the fast paths are turned off.
bool hasSse2();

} // namespace quorvane::processor
