// What the x86 lane paths share, and the kernel; each lanes_<set>.cpp compiles it for
// its own set.
#pragma once

#include <immintrin.h>

#include "demo/lane_kernel.h"

namespace {

// The compares of a set whose compare instructions take a predicate (AVX2 and
// AVX-512), each once: Set gives compare<predicate>(a, b) on its doubles and floats.
template <class Set, class Base>
struct PredicateCompares : Base {
    template <class V>
    static auto lt(V a, V b) { return Set::template compare<_CMP_LT_OQ>(a, b); }
    template <class V>
    static auto gt(V a, V b) { return Set::template compare<_CMP_GT_OQ>(a, b); }
    template <class V>
    static auto ge(V a, V b) { return Set::template compare<_CMP_GE_OQ>(a, b); }
    template <class V>
    static auto le(V a, V b) { return Set::template compare<_CMP_LE_OQ>(a, b); }
    template <class V>
    static auto eq(V a, V b) { return Set::template compare<_CMP_EQ_OQ>(a, b); }
    template <class V>
    static auto ne(V a, V b) { return Set::template compare<_CMP_NEQ_UQ>(a, b); }  // true for NaN
};

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
