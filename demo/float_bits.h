// The bits of floats and doubles, and the renderer's one test on them: whether a
// double lies half way between two floats (docs/exactness.md, fact 4).
#pragma once

#include <cstdint>
#include <type_traits>

// The bits of `from` as a `To` of the same size: the compilers' builtin behind
// std::bit_cast, called directly since Emscripten 3.1.6's libc++ lacks std::bit_cast.
template <class To, class From>
constexpr To bits_as(const From& from) noexcept
{
    static_assert(sizeof(To) == sizeof(From) && std::is_trivially_copyable_v<To> &&
                  std::is_trivially_copyable_v<From>);
    return __builtin_bit_cast(To, from);
}

// Fact 4's test, for a double of at least 2^-126 in magnitude; the lanes test a
// vector's doubles with the same two words.
constexpr std::uint64_t float_midpoint_low_bits = 0x1FFFFFFF;
constexpr std::uint64_t float_midpoint_pattern = 0x10000000;

constexpr bool float_midpoint(double r)
{
    return (bits_as<std::uint64_t>(r) & float_midpoint_low_bits) == float_midpoint_pattern;
}
