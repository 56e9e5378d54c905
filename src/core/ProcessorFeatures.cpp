#include "ProcessorFeatures.h"

#include <QByteArray>
#include <QtGlobal>

namespace quorvane::processor {

bool portableOnly()
{
    static const bool only = [] {
        const QByteArray value = qgetenv("QUORVANE_PORTABLE");
        return !value.isEmpty() && value != "0";
    }();
    return only;
}

bool hasSse2()
{
#if defined(__x86_64__)
    return !portableOnly();
#else
    return false;
#endif
}

bool hasAvx2()
{
#if defined(__GNUC__) && defined(__x86_64__)
    static const bool has = !portableOnly() && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
                            __builtin_cpu_supports("bmi2");
    return has;
#else
    return false;
#endif
}

bool hasWideVectors()
{
#if defined(__GNUC__) && defined(__x86_64__)
    static const bool has = !portableOnly() && __builtin_cpu_supports("avx512f") &&
                            __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl") &&
                            __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
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
