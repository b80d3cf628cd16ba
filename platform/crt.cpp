// The runtime library's floating-point control, on the x87 control word itself.
#include "include/crt.h"

#include <cstdint>

namespace {

// Runtime-library bit and x87 control-word bit, pairwise.
struct BitPair {
    unsigned int crt;
    std::uint16_t x87;
};

constexpr BitPair exception_bits[] = {
    {_EM_INVALID, 0x01}, {_EM_DENORMAL, 0x02}, {_EM_ZERODIVIDE, 0x04},
    {_EM_OVERFLOW, 0x08}, {_EM_UNDERFLOW, 0x10}, {_EM_INEXACT, 0x20},
};
constexpr std::uint16_t x87_precision_mask = 0x0300;
constexpr std::uint16_t x87_rounding_mask = 0x0C00;

std::uint16_t read_x87_control()
{
    std::uint16_t cw;
    asm volatile("fnstcw %0" : "=m"(cw));
    return cw;
}

void write_x87_control(std::uint16_t cw)
{
    asm volatile("fldcw %0" : : "m"(cw));
}

unsigned int crt_from_x87(std::uint16_t cw)
{
    unsigned int value = 0;
    for (const BitPair& bit : exception_bits)
        if (cw & bit.x87)
            value |= bit.crt;
    switch (cw & x87_precision_mask) {
    case 0x0000: value |= _PC_24; break;
    case 0x0200: value |= _PC_53; break;
    default: value |= _PC_64; break;
    }
    value |= static_cast<unsigned int>(cw & x87_rounding_mask) >> 2;  // same order of modes
    return value;
}

std::uint16_t x87_from_crt(unsigned int value, std::uint16_t cw, unsigned int mask)
{
    for (const BitPair& bit : exception_bits)
        if (mask & bit.crt)
            cw = static_cast<std::uint16_t>((value & bit.crt) ? (cw | bit.x87) : (cw & ~bit.x87));
    if (mask & _MCW_PC) {
        std::uint16_t pc = 0x0300;
        if ((value & _MCW_PC) == _PC_53)
            pc = 0x0200;
        else if ((value & _MCW_PC) == _PC_24)
            pc = 0x0000;
        cw = static_cast<std::uint16_t>((cw & ~x87_precision_mask) | pc);
    }
    if (mask & _MCW_RC)
        cw = static_cast<std::uint16_t>((cw & ~x87_rounding_mask) | ((value & _MCW_RC) << 2));
    return cw;
}

}  // namespace

unsigned int _controlfp(unsigned int new_value, unsigned int mask)
{
    const std::uint16_t cw = x87_from_crt(new_value, read_x87_control(), mask);
    write_x87_control(cw);
    return crt_from_x87(cw);
}
