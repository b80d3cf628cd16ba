// What this processor runs beyond the build's own instruction set: the one place
// that asks it, for the converters' rows and the renderer's lane paths alike.
#pragma once

struct CpuFeatures {
    bool ssse3;
    bool avx2;
    bool avx512;  // AVX-512 F and VL, all the lanes use
};

// All false off x86, where the builds' own set is all there is to run.
CpuFeatures cpu_features();
