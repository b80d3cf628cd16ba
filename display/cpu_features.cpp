#include "display/cpu_features.h"

namespace {

CpuFeatures detect()
{
#if defined(__i386__) || defined(__x86_64__)
    __builtin_cpu_init();
    return {
        .ssse3 = __builtin_cpu_supports("ssse3") != 0,
        .avx2 = __builtin_cpu_supports("avx2") != 0,
        .avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl"),
    };
#else
    return {};
#endif
}

}  // namespace

// Asked once: the renderer asks again for every frame it draws.
CpuFeatures cpu_features()
{
    static const CpuFeatures features = detect();
    return features;
}
