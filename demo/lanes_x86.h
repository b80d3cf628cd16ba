// What the x86 lane paths share; each lanes_<set>.cpp compiles it for its own set.
#pragma once

#include <immintrin.h>

#include <cstdint>

namespace {

// Bit i set where byte i of the 32 at p (aligned) is not zero.
inline unsigned nonzero_bytes_x86(const std::uint8_t* p)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i* v = reinterpret_cast<const __m128i*>(p);
    const unsigned low = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(v), zero)));
    const unsigned high = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(v + 1), zero)));
    return ~(low | high << 16);
}

}  // namespace
