// Tells whether this C library's sin, cos and sqrt return the correctly rounded double
// (MPFR's) for the arguments the renderer gives them, formed with Extended as on every
// processor: frames 0 to 3600 (the curve's period) and a spread over the counter range.
//
//     libm_check [--values] [spread]
//
// spread: frames sampled beyond the period (default 100000). Prints the counts per
// function and the first few results that differ; --values prints instead a line per
// frame of the library's four results, to compare two builds' libraries. Exit status
// 0 when every result was correctly rounded, 1 otherwise, 2 for bad arguments.
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

// An MPFR function, which rounds its result correctly into its output's precision.
using Exact = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);

double correctly_rounded(Exact f, double x)
{
    mpfr_t v;
    mpfr_init2(v, 53);
    mpfr_set_d(v, x, MPFR_RNDN);
    f(v, v, MPFR_RNDN);
    const double r = mpfr_get_d(v, MPFR_RNDN);
    mpfr_clear(v);
    return r;
}

struct Check {
    const char* name;
    Exact exact;
    double (*library)(double);
    long wrong = 0;
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
    for (long k = 0; k < spread; ++k)
        frames.push_back(static_cast<std::int32_t>(3601 + (INT32_MAX - 3601LL) * k / (spread - (spread > 1))));

    // The frame's sin and cos of its angle, sin of the slower angle, sqrt of |c|^2.
    Check checks[] = {
        {"sin", mpfr_sin, [](double x) { return std::sin(x); }},
        {"cos", mpfr_cos, [](double x) { return std::cos(x); }},
        {"sin(slow)", mpfr_sin, [](double x) { return std::sin(x); }},
        {"sqrt", mpfr_sqrt, [](double x) { return std::sqrt(x); }},
    };
    long period_wrong = 0, c_changed = 0, wrong = 0;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        RenderState s{};
        s.frame_counter = frames[i];
        render_rule::frame_parameters<Extended>(s);
        const double slow = static_cast<double>(Extended{s.angle} * render_rule::second_rate);
        const double c_abs_sq = static_cast<double>(Extended{s.cx} * s.cx + Extended{s.cy} * s.cy);
        const double arguments[] = {s.angle, s.angle, slow, c_abs_sq};
        double got[4], want[4];
        const long wrong_before = wrong;
        for (int k = 0; k < 4; ++k) {
            got[k] = checks[k].library(arguments[k]);
            want[k] = correctly_rounded(checks[k].exact, arguments[k]);
            if (got[k] == want[k])
                continue;
            ++wrong;
            if (++checks[k].wrong <= 5 && !values)
                std::printf("  frame %d: %s(%a) = %a, correctly rounded %a\n", frames[i], checks[k].name,
                            arguments[k], got[k], want[k]);
        }
        if (i <= 3600 && wrong != wrong_before)
            ++period_wrong;
        // c from the correctly rounded values, as frame_parameters forms it from the
        // library's: does a last-bit difference survive the store to float?
        float cx = static_cast<float>(Extended{want[1]} * want[2]);
        cx = static_cast<float>(Extended{cx} * render_rule::c_scale);
        float cy = static_cast<float>(Extended{want[0]} + want[0]);
        cy = static_cast<float>(Extended{cy} * render_rule::c_scale);
        if (cx != s.cx || cy != s.cy) {
            ++c_changed;
            if (!values)
                std::printf("  frame %d: c would be %a%+ai, not %a%+ai\n", frames[i], cx, cy, s.cx, s.cy);
        }
        if (values)
            std::printf("%d %a %a %a %a\n", frames[i], got[0], got[1], got[2], got[3]);
    }
    if (!values) {
        std::printf("%zu frames (0-3600 and %ld over the counter range)\n", frames.size(), spread);
        for (const Check& check : checks)
            std::printf("%-10s %zu correctly rounded, %ld not\n", check.name, frames.size() - check.wrong, check.wrong);
        std::printf("frames 0-3600 with a result not correctly rounded: %ld\n", period_wrong);
        std::printf("frames whose c would change with correctly rounded sin and cos: %ld\n", c_changed);
    }
    return wrong == 0 ? 0 : 1;
}
