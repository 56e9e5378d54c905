#include "ProcessorFeatures.h"

namespace quorvane::processor {

bool hasWideVectors()
{
#if defined(__GNUC__) && defined(__x86_64__)
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                            __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("bmi") &&
                            __builtin_cpu_supports("bmi2");
    return has;
#else
    return false;
#endif
}

bool hasWideByteCompress()
{
#if defined(__GNUC__) && defined(__x86_64__)
    static const bool has =
        hasWideVectors() && __builtin_cpu_supports("avx512vbmi2") && __builtin_cpu_supports("popcnt");
    return has;
#else
    return false;
#endif
}

} // namespace quorvane::processor
