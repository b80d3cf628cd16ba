// The renderer's arithmetic, written once for any extended-precision type `Wide`: long
// double where it is the x87's 80-bit format, Extended (the same rounding done on doubles
// and integers) anywhere. Each expression is evaluated in Wide and rounded to float where
// it is stored; the double rounding this causes is part of the picture, so the casts
// below are not noise. At the end: the rule on the type the programs draw with, as the
// reference path and the lane paths' fall-back use it (render.cpp).
#pragma once

#include <cfloat>
#include <cmath>
#include <cstdint>

#include "render.h"
#include "render_shortcuts.h"
#if !VORLIX_RENDER_X87
#include "extended.h"
#endif

namespace render_rule {

// The type the programs draw with: the x87's own where the programs can rely on its
// precision.
#if VORLIX_RENDER_X87
static_assert(LDBL_MANT_DIG == 64, "the picture depends on 64-bit extended precision");
using reference_wide = long double;
#else
using reference_wide = Extended;
#endif

// Constants with the format each is held in; a double constant widens exactly.
constexpr double view_x_min = -2.0, view_x_max = 2.0;
constexpr double view_y_min = -1.5, view_y_max = 1.5;
constexpr double degrees_pi = 3.141593;  // this 7-digit value, not full pi
constexpr int degrees_half_turn = 180;
constexpr double second_rate = 0.7;
constexpr double c_scale = 0.6;
constexpr double ring_half_width = 0.04;
constexpr float escape_bound = 4.0f;
constexpr float cross_factor = 2.0f;
constexpr float hit_gain = 1.0f;
constexpr float acc_threshold = 0.0f;
constexpr double intensity_scale = 500.0;

// The view window and the coordinate tables.
template <class Wide>
void setup(RenderState& s)
{
    s.x_min = static_cast<float>(view_x_min);
    s.x_max = static_cast<float>(view_x_max);
    s.y_min = static_cast<float>(view_y_min);
    s.y_max = static_cast<float>(view_y_max);
    s.x_step = static_cast<float>((Wide{s.x_max} - s.x_min) / (frame_width - 1));
    s.y_step = static_cast<float>((Wide{s.y_max} - s.y_min) / (frame_height - 1));
    for (int i = 0; i < frame_width; ++i)
        s.x_coords[i] = static_cast<float>(Wide(i) * s.x_step + s.x_min);
    for (int j = 0; j < frame_height; ++j)
        s.y_coords[j] = static_cast<float>(Wide{s.y_max} - Wide(j) * s.y_step);
}

// c and the ring for s.frame_counter.
template <class Wide>
void frame_parameters(RenderState& s)
{
    s.angle = static_cast<float>(Wide(s.frame_counter) * degrees_pi / degrees_half_turn);

    const double angle = s.angle;
    const double slow_angle = static_cast<double>(Wide{s.angle} * second_rate);
    s.cx = static_cast<float>(Wide{std::cos(angle)} * std::sin(slow_angle));
    s.cx = static_cast<float>(Wide{s.cx} * c_scale);
    s.cy = static_cast<float>(Wide{std::sin(angle)} + std::sin(angle));
    s.cy = static_cast<float>(Wide{s.cy} * c_scale);

    const Wide c_abs_sq = Wide{s.cx} * s.cx + Wide{s.cy} * s.cy;
    s.c_abs = static_cast<float>(std::sqrt(static_cast<double>(c_abs_sq)));
    s.c_abs_sq = static_cast<float>(c_abs_sq);

    s.ring_width = static_cast<float>(ring_half_width);
    s.ring_lo_sq = static_cast<float>(Wide{s.c_abs} - s.ring_width);
    s.ring_lo_sq = static_cast<float>(Wide{s.ring_lo_sq} * s.ring_lo_sq);
    s.ring_hi_sq = static_cast<float>(Wide{s.ring_width} + s.c_abs);
    s.ring_hi_sq = static_cast<float>(Wide{s.ring_hi_sq} * s.ring_hi_sq);
}

// The frame's ring as the orbit loop reads it. A copy by value, so that the
// compiler need not reload it after every store into the frame buffer.
struct Ring {
    float cx, cy, c_abs_sq, ring_width, ring_lo_sq, ring_hi_sq;
};

inline Ring frame_ring(const RenderState& s)
{
    return {s.cx, s.cy, s.c_abs_sq, s.ring_width, s.ring_lo_sq, s.ring_hi_sq};
}

// The orbit of one starting point against the frame's ring: the ring accumulator,
// and `hit` set to the pass when the orbit touches the ring. `hit` is the caller's
// own copy of last_hit, so that it stays in a register rather than in memory that
// every store into the frame buffer might change. Each expression asks Wide's
// Shortcuts (render_shortcuts.h) first.
template <class Wide>
inline __attribute__((always_inline)) float orbit(const Ring& r, float zx, float zy, std::int32_t& hit)
{
    using std::fabs;
    using S = Shortcuts<Wide>;
    float sx = 0.0f, sy = 0.0f, acc = 0.0f;
    for (int pass = 0; pass < ring_max_passes;) {
        const int inside = S::sum_below(sx, sy, escape_bound);  // 1, 0, or -1: not known
        if (inside == 0 || (inside < 0 && !(Wide{sx} + sy < escape_bound)))
            break;
        if (!S::product(zx, zx, sx))
            sx = static_cast<float>(Wide{zx} * zx);
        if (!S::product(zy, zy, sy))
            sy = static_cast<float>(Wide{zy} * zy);
        float txy;
        if (!S::product(zy, zx, cross_factor, txy))
            txy = static_cast<float>(Wide{zy} * zx * cross_factor);
        if (!S::difference_sum(sx, sy, r.cx, zx))
            zx = static_cast<float>(Wide{sx} - sy + r.cx);
        if (!S::sum(r.cy, txy, zy))
            zy = static_cast<float>(Wide{r.cy} + txy);
        float m;
        if (!S::square_sum(zx, zy, m))
            m = static_cast<float>(Wide{zx} * zx + Wide{zy} * zy);
        if (m < r.ring_hi_sq && m > r.ring_lo_sq && pass > 0) {
            if (!S::ring_hit(m, r.c_abs_sq, r.ring_width, hit_gain, acc))
                acc = static_cast<float>(-(fabs(Wide{m} - r.c_abs_sq) / r.ring_width) + acc + hit_gain);
            hit = pass;
        }
        ++pass;
        if (m > escape_bound)
            break;
    }
    return acc;
}

// 0 for acc <= 0, else sqrt(acc) * 500 rounded to the nearest integer, ties to even
// (nearbyint rounds in the current mode, which is to nearest).
template <class Wide>
inline __attribute__((always_inline)) std::int32_t intensity(float acc)
{
    using std::nearbyint;
    if (!(acc > acc_threshold))
        return 0;
    const double root = std::sqrt(static_cast<double>(acc));
    std::int32_t n;
    if (!Shortcuts<Wide>::intensity(root, intensity_scale, n))
        n = static_cast<std::int32_t>(nearbyint(Wide{root} * intensity_scale));
    return n;
}

// Intensity bands, channel blend and rotation by last_hit mod 3: integers only.
inline __attribute__((always_inline)) std::uint32_t colour(std::int32_t n, std::int32_t last_hit)
{
    int red = 0, green = 0, blue = 0;
    if (n >= 768) {
        red = green = blue = 255;
    } else if (n >= 512) {
        red = green = 255;
        blue = n - 512;
    } else if (n >= 256) {
        red = 255;
        green = n - 256;
    } else if (n > 0) {
        red = n;
    }

    const int blend = (green + red + blue) / 3;
    red = (green + red + blend) / 3;
    green = (blue + green + blend) / 3;
    blue = (red + blue + blend) / 3;

    int r = red, g = green, b = blue;
    switch (last_hit % 3) {
    case 1: r = green, g = blue, b = red; break;
    case 2: r = blue, g = red, b = green; break;
    default: break;
    }
    return static_cast<std::uint32_t>(r) << 16 | static_cast<std::uint32_t>(g) << 8 | static_cast<std::uint32_t>(b);
}

// Shades the top half of the frame and mirrors it, from s.top and s.bottom on,
// over locals that the frame buffer's stores cannot alias.
template <class Wide>
void pixels(RenderState& s)
{
    const Ring ring = frame_ring(s);
    std::int32_t last_hit = s.last_hit;
    std::uint32_t* top = s.top;
    std::uint32_t* bottom = s.bottom;
    for (int py = 0; py < ring_rows_computed; ++py) {
        const float zy = s.y_coords[py];
        for (int px = 0; px < frame_width; ++px) {
            const std::int32_t n = intensity<Wide>(orbit<Wide>(ring, s.x_coords[px], zy, last_hit));
            // Intensity 0 is black in every rotation.
            const std::uint32_t c = n > 0 ? colour(n, last_hit) : 0u;
            *top++ = c;
            *bottom-- = c;
        }
    }
    s.last_hit = last_hit;
    s.top = top;
    s.bottom = bottom;
}

}  // namespace render_rule

// The reference path: shades the top half from render_state.top and .bottom on and
// mirrors it.
void render_pixels_reference();
#if VORLIX_RENDER_SOFTWARE
// render_pixels_reference on Extended whatever the processor has; where there is no
// x87 the two are the same.
void render_pixels_software();
#endif

// orbit against the current frame's ring, intensity and colour (0x00RRGGBB) above,
// on the reference path's arithmetic.
float ring_accumulate(float zx, float zy, std::int32_t& last_hit);
std::int32_t ring_intensity(float acc);
std::uint32_t ring_colour(std::int32_t n, std::int32_t last_hit);
