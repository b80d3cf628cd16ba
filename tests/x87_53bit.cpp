// precision_setup as 64-bit Windows carries it out, linked into a test build of
// rings_capture in place of the demo's: there the runtime library's _controlfp
// ignores the precision mask, and the x87 keeps the 53-bit precision that Windows
// starts threads with (control word 0x27F). Under Wine the x87 is at 64 bits from
// the start, so only this build shows there what the frames would be on Windows.
//
// Frames seldom feel the difference (none of frames 0 to 80,000 did, drawn on the
// x87 at 53 bits), so before any frame it checks the renderer's arithmetic on two
// stored expressions whose floats do part between 53 and 64 bits, and ends the
// program with status 3 when they come out as 53 bits give them.
#include "demo/precision.h"

#include <cfenv>
#include <cstdio>
#include <cstdlib>

#include "demo/render_rule.h"

namespace {

void fail(const char* what)
{
    std::fprintf(stderr, "rings_capture_x87_53bit: %s\n", what);
    std::exit(3);
}

}  // namespace

void precision_setup()
{
    std::fesetenv(FE_DFL_ENV);
    const unsigned short windows_x64_control_word = 0x27F;
    __asm__ volatile("fldcw %0" : : "m"(windows_x64_control_word));

    volatile long double one = 1.0L, below_53_bits = 0x1p-60L;
    if (one + below_53_bits != one)
        fail("the x87 is not at 53-bit precision");
    using Wide = render_rule::reference_wide;
    volatile float x = 4097.0f / 4096.0f, y = 0x1p-27f;
    volatile float a = 1.0f + 0x1p-23f, b = 0x1p-60f, c = 0x1p-24f;
    if (static_cast<float>(Wide{x} * x + Wide{y} * y) != 0x1.002002p+0f)
        fail("x*x + y*y is not rounded from 64 bits");
    if (static_cast<float>(Wide{a} - b + c) != 0x1.000002p+0f)
        fail("a - b + c is not rounded from 64 bits");
}
