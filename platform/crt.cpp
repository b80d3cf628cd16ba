// The runtime library's floating-point control, on the x87 control word itself,
// and its number formatting, as far as the demo uses them.
#include "include/crt.h"

#include "journal.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

using platform::Call;

namespace {

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
// 64-bit precision, to nearest); its precision has nothing to control.
std::uint16_t emulated_x87_control = 0x037F;

std::uint16_t read_x87_control() { return emulated_x87_control; }
void write_x87_control(std::uint16_t cw) { emulated_x87_control = cw; }
#endif

constexpr std::uint16_t x87_precision_mask = 0x0300;
// The x87's precision field in the runtime library's terms (1 is reserved).
constexpr unsigned int crt_precision[] = {_PC_24, _PC_64, _PC_53, _PC_64};

}  // namespace

unsigned int _controlfp(unsigned int new_value, unsigned int mask)
{
    Call<platform::Hex> call("_controlfp", platform::Hex{new_value}, platform::Hex{mask});
    std::uint16_t cw = read_x87_control();
    if (mask & _MCW_PC) {
        const unsigned int precision = new_value & _MCW_PC;
        const std::uint16_t pc = precision == _PC_53 ? 0x0200 : precision == _PC_24 ? 0x0000 : 0x0300;
        cw = static_cast<std::uint16_t>((cw & ~x87_precision_mask) | pc);
        write_x87_control(cw);
    }
    return static_cast<unsigned int>(call(platform::Hex{crt_precision[(cw & x87_precision_mask) >> 8]}).value);
}

char* _gcvt(double value, int digits, char* buffer)
{
    Call<char*> call("_gcvt", value, digits);
    if (value == std::trunc(value) && std::fabs(value) < std::pow(10.0, digits))
        std::sprintf(buffer, "%.0f.", value);  // the point kept, as the Windows runtime writes it
    else
        std::sprintf(buffer, "%.*g", digits, value);
    return call(buffer);
}
