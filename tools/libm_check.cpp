// Tells whether this C library's sin, cos and sqrt return the correctly rounded double
// for the arguments the renderer gives them: frames 0 to 3600 (the curve's period) and
// a spread over the whole counter range. The arguments are formed with Extended, so
// they are the same on every processor; MPFR gives the correctly rounded results.
//
//     libm_check [--values] [spread]
//
// spread: frames sampled beyond the period (default 100000). Prints the counts per
// function and the first few results that differ; with --values, instead one line per
// frame with the library's four results, to compare the libraries of two builds.
// Exit status 0 when every result was correctly rounded, 1 otherwise, 2 for bad
// arguments.
#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "demo/extended.h"
#include "demo/render_rule.h"

namespace {

using Function = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

double correctly_rounded(Function f, double x)
{
    mpfr_t v;
    mpfr_init2(v, 53);
    mpfr_set_d(v, x, MPFR_RNDN);
    f(v, v, MPFR_RNDN);  // MPFR rounds its result correctly into the 53 bits of v
    const double r = mpfr_get_d(v, MPFR_RNDN);
    mpfr_clear(v);
    return r;
}

struct Tally {
    const char* name;
    long checked = 0, wrong = 0;
    bool quiet = false;

    void check(std::int32_t frame, double argument, double got, double want)
    {
        ++checked;
        if (got == want)
            return;
        if (++wrong <= 5 && !quiet)
            std::printf("  frame %d: %s(%a) = %a, correctly rounded %a\n", frame, name, argument, got, want);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    long spread = 100000;
    const bool values = argc > 1 && std::strcmp(argv[1], "--values") == 0;
    const int rest = 1 + values;
    if (argc > rest + 1 || (argc == rest + 1 && (spread = std::strtol(argv[rest], nullptr, 10)) <= 0)) {
        std::fprintf(stderr, "usage: libm_check [--values] [frames sampled beyond the period]\n");
        return 2;
    }
    std::vector<std::int32_t> frames;
    for (std::int32_t frame = 0; frame <= 3600; ++frame)
        frames.push_back(frame);
    const std::int64_t last = 2147483647;
    for (long k = 0; k < spread; ++k)
        frames.push_back(static_cast<std::int32_t>(3601 + (last - 3601) * k / (spread - (spread > 1))));

    Tally sin_angle{"sin"}, cos_angle{"cos"}, sin_slow{"sin(slow)"}, sqrt_c{"sqrt"};
    for (Tally* t : {&sin_angle, &cos_angle, &sin_slow, &sqrt_c})
        t->quiet = values;
    long period_wrong = 0, c_changed = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        RenderState s{};
        s.frame_counter = frames[i];
        render_rule::frame_parameters<Extended>(s);
        const double angle = s.angle;
        const double slow = static_cast<double>(Extended{s.angle} * render_rule::second_rate);
        const double c_abs_sq = static_cast<double>(Extended{s.cx} * s.cx + Extended{s.cy} * s.cy);
        const long before = sin_angle.wrong + cos_angle.wrong + sin_slow.wrong + sqrt_c.wrong;
        sin_angle.check(frames[i], angle, std::sin(angle), correctly_rounded(mpfr_sin, angle));
        cos_angle.check(frames[i], angle, std::cos(angle), correctly_rounded(mpfr_cos, angle));
        sin_slow.check(frames[i], slow, std::sin(slow), correctly_rounded(mpfr_sin, slow));
        sqrt_c.check(frames[i], c_abs_sq, std::sqrt(c_abs_sq), correctly_rounded(mpfr_sqrt, c_abs_sq));
        // c from the correctly rounded values, as frame_parameters forms it from the
        // library's: does a last-bit difference survive the store to float?
        const double sin_a = correctly_rounded(mpfr_sin, angle), cos_a = correctly_rounded(mpfr_cos, angle);
        float cx = static_cast<float>(Extended{cos_a} * correctly_rounded(mpfr_sin, slow));
        cx = static_cast<float>(Extended{cx} * render_rule::c_scale);
        float cy = static_cast<float>(Extended{sin_a} + sin_a);
        cy = static_cast<float>(Extended{cy} * render_rule::c_scale);
        if (cx != s.cx || cy != s.cy) {
            ++c_changed;
            if (!values)
                std::printf("  frame %d: c would be %a%+ai, not %a%+ai\n", frames[i], cx, cy, s.cx, s.cy);
        }
        if (values)
            std::printf("%d %a %a %a %a\n", frames[i], std::sin(angle), std::cos(angle), std::sin(slow), std::sqrt(c_abs_sq));
        if (i <= 3600 && sin_angle.wrong + cos_angle.wrong + sin_slow.wrong + sqrt_c.wrong != before)
            ++period_wrong;
    }
    long wrong = sin_angle.wrong + cos_angle.wrong + sin_slow.wrong + sqrt_c.wrong;
    if (values)
        return wrong == 0 ? 0 : 1;
    std::printf("%zu frames (0-3600 and %ld over the counter range)\n", frames.size(), spread);
    for (const Tally* t : {&sin_angle, &cos_angle, &sin_slow, &sqrt_c}) {
        std::printf("%-10s %ld correctly rounded, %ld not\n", t->name, t->checked - t->wrong, t->wrong);
    }
    std::printf("frames 0-3600 with a result not correctly rounded: %ld\n", period_wrong);
    std::printf("frames whose c would change with correctly rounded sin and cos: %ld\n", c_changed);
    return wrong == 0 ? 0 : 1;
}
