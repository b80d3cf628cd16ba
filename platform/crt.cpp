// The runtime library's floating-point control, on the x87 control word itself,
// and its number formatting.
#include "include/crt.h"

#include "journal.h"

#include <algorithm>
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

std::string printed(const char* format, int precision, double value)
{
    const int length = std::snprintf(nullptr, 0, format, precision, value);
    std::string result(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(result.data(), result.size(), format, precision, value);
    result.resize(static_cast<std::size_t>(length));
    return result;
}

constexpr int most_digits = 349;  // the Windows runtime's conversion buffer

}  // namespace

unsigned int _controlfp(unsigned int new_value, unsigned int mask)
{
    platform::Call call("_controlfp", [&] { return platform::hex(new_value) + ", " + platform::hex(mask); });
    const std::uint16_t cw = x87_from_crt(new_value, read_x87_control(), mask);
    write_x87_control(cw);
    const unsigned int result = crt_from_x87(cw);
    call.done([&] { return platform::hex(result); });
    return result;
}

char* _gcvt(double value, int digits, char* buffer)
{
    platform::Call call("_gcvt", [&] { return printed("%.*g", 17, value) + ", " + std::to_string(digits); });
    digits = std::clamp(digits, 1, most_digits);
    std::string result;
    if (!std::isfinite(value)) {
        result = printed("%.*g", digits, value);
    } else {
        // The exact decimal expansion, rounded half away from zero as the
        // Windows runtime rounds, not to even as printf does.
        const std::string exact = printed("%.*e", 800, std::fabs(value));
        const std::size_t e = exact.find('e');
        int exponent = std::stoi(exact.substr(e + 1));
        const std::string all = exact.substr(0, 1) + exact.substr(2, e - 2);
        std::string kept = all.substr(0, static_cast<std::size_t>(digits));
        if (all[static_cast<std::size_t>(digits)] >= '5') {
            int i = digits - 1;
            for (; i >= 0 && kept[static_cast<std::size_t>(i)] == '9'; --i)
                kept[static_cast<std::size_t>(i)] = '0';
            if (i < 0) {
                kept.insert(kept.begin(), '1');
                kept.pop_back();
                ++exponent;
            } else {
                ++kept[static_cast<std::size_t>(i)];
            }
        }
        while (kept.size() > 1 && kept.back() == '0')
            kept.pop_back();
        if (value == 0)
            exponent = 0;
        result = std::signbit(value) ? "-" : "";
        if (exponent < -4 || exponent >= digits) {
            char tail[16];
            std::snprintf(tail, sizeof tail, "e%c%03d", exponent < 0 ? '-' : '+', std::abs(exponent));
            result += kept.substr(0, 1) + '.' + kept.substr(1) + tail;
        } else if (exponent >= 0) {
            const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
            if (kept.size() < whole)
                kept.append(whole - kept.size(), '0');
            result += kept.substr(0, whole) + '.' + kept.substr(whole);
        } else {
            result += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + kept;
        }
    }
    std::memcpy(buffer, result.c_str(), result.size() + 1);
    call.done([&] { return platform::text(buffer); });
    return buffer;
}
