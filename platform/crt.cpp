// The runtime library's floating-point control, on the x87 control word itself,
// and its number formatting.
#include "include/crt.h"

#include "journal.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

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

#if defined(__x86_64__) || defined(__i386__)
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
#else
// No x87: the word is kept here, starting as the x87 starts (everything masked,
// 64-bit precision, to nearest). Its rounding field goes to the processor's own
// rounding mode; precision and exception masks have nothing to control.
std::uint16_t emulated_x87_control = 0x037F;

std::uint16_t read_x87_control() { return emulated_x87_control; }

void write_x87_control(std::uint16_t cw)
{
    emulated_x87_control = cw;
    constexpr int modes[] = {FE_TONEAREST, FE_DOWNWARD, FE_UPWARD, FE_TOWARDZERO};
    std::fesetround(modes[(cw & x87_rounding_mask) >> 10]);
}
#endif

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

std::string all_digits(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

constexpr int most_digits = 349;  // the Windows runtime's conversion buffer

// The runtime's results, journaled as their calls' arguments are: the control
// word in hex, the digits as text. Neither call can fail.
struct ControlWord {
    using Value = unsigned int;
    static std::string text(unsigned int value) { return platform::hex(value); }
};
struct Digits {
    using Value = char*;
    static std::string text(const char* value) { return platform::text(value); }
};

// _gcvt's digits. Called for every frame's title: fixed buffers, no allocation.
char* format_digits(double value, int digits, char* buffer)
{
    digits = std::clamp(digits, 1, most_digits);
    if (!std::isfinite(value)) {
        std::strcpy(buffer, std::isnan(value) ? (std::signbit(value) ? "-nan" : "nan")
                                              : (std::signbit(value) ? "-inf" : "inf"));
        return buffer;
    }
    // The exact decimal expansion (a double has at most 767 significant
    // digits), rounded half away from zero as the Windows runtime rounds, not to
    // even as printf does.
    char exact[832];
    std::snprintf(exact, sizeof exact, "%.*e", 800, std::fabs(value));
    int exponent = std::atoi(std::strchr(exact, 'e') + 1);
    const auto digit = [&](int i) { return exact[i == 0 ? 0 : i + 1]; };  // past the point
    char kept[most_digits];
    int count = digits;
    for (int i = 0; i < count; ++i)
        kept[i] = digit(i);
    if (digit(digits) >= '5') {
        int i = digits - 1;
        for (; i >= 0 && kept[i] == '9'; --i)
            kept[i] = '0';
        if (i < 0) {  // all nines, now all zeros: 10^(exponent + 1)
            kept[0] = '1';
            ++exponent;
        } else {
            ++kept[i];
        }
    }
    while (count > 1 && kept[count - 1] == '0')
        --count;
    if (value == 0)
        exponent = 0;
    char* out = buffer;
    if (std::signbit(value))
        *out++ = '-';
    if (exponent < -4 || exponent >= digits) {
        *out++ = kept[0];
        *out++ = '.';
        out = std::copy(kept + 1, kept + count, out);
        out += std::sprintf(out, "e%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
    } else if (exponent >= 0) {
        const int whole = exponent + 1;
        for (int i = 0; i < whole; ++i)
            *out++ = i < count ? kept[i] : '0';
        *out++ = '.';
        out = std::copy(kept + std::min(whole, count), kept + count, out);
    } else {
        *out++ = '0';
        *out++ = '.';
        out = std::fill_n(out, -exponent - 1, '0');
        out = std::copy(kept, kept + count, out);
    }
    *out = '\0';
    return buffer;
}

}  // namespace

unsigned int _controlfp(unsigned int new_value, unsigned int mask)
{
    const auto args = [&] { return platform::hex(new_value) + ", " + platform::hex(mask); };
    return platform::journaled<platform::Infallible<ControlWord>>("_controlfp", args, [&] {
        const std::uint16_t cw = x87_from_crt(new_value, read_x87_control(), mask);
        write_x87_control(cw);
        return crt_from_x87(cw);
    });
}

char* _gcvt(double value, int digits, char* buffer)
{
    const auto args = [&] { return all_digits(value) + ", " + std::to_string(digits); };
    return platform::journaled<platform::Infallible<Digits>>("_gcvt", args,
                                                             [&] { return format_digits(value, digits, buffer); });
}
