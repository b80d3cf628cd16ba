// precision_setup as 64-bit Windows carries it out, linked into a test build of
// rings_capture in place of the demo's: there the runtime library's _controlfp
// ignores the precision mask, and the x87 keeps the 53-bit precision that Windows
// starts threads with (control word 0x27F). Under Wine the x87 is at 64 bits from
// the start, so only this build shows there what the frames would be on Windows.
#include "demo/precision.h"

#include <cfenv>

void precision_setup()
{
    std::fesetenv(FE_DFL_ENV);
    const unsigned short windows_x64_control_word = 0x27F;
    __asm__ volatile("fldcw %0" : : "m"(windows_x64_control_word));
}
