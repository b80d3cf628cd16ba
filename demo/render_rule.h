// The renderer's arithmetic written once for any extended-precision type: long double
// where it is the x87's 80-bit format, Extended (the same rounding done with integers)
// anywhere. Each expression is evaluated in Ext and rounded to float where it is stored.
#pragma once

#include <cmath>
#include <cstdint>

#include "render.h"

namespace render_rule {

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
template <class Ext>
void setup(RenderState& s)
{
    s.x_min = static_cast<float>(view_x_min);
    s.x_max = static_cast<float>(view_x_max);
    s.y_min = static_cast<float>(view_y_min);
    s.y_max = static_cast<float>(view_y_max);
    s.x_step = static_cast<float>((Ext{s.x_max} - s.x_min) / (frame_width - 1));
    s.y_step = static_cast<float>((Ext{s.y_max} - s.y_min) / (frame_height - 1));
    for (int i = 0; i < frame_width; ++i)
        s.x_coords[i] = static_cast<float>(Ext(i) * s.x_step + s.x_min);
    for (int j = 0; j < frame_height; ++j)
        s.y_coords[j] = static_cast<float>(Ext{s.y_max} - Ext(j) * s.y_step);
}

// c and the ring for s.frame_counter.
template <class Ext>
void frame_parameters(RenderState& s)
{
    s.angle = static_cast<float>(Ext(s.frame_counter) * degrees_pi / degrees_half_turn);

    const double angle = s.angle;
    const double slow_angle = static_cast<double>(Ext{s.angle} * second_rate);
    s.cx = static_cast<float>(Ext{std::cos(angle)} * std::sin(slow_angle));
    s.cx = static_cast<float>(Ext{s.cx} * c_scale);
    s.cy = static_cast<float>(Ext{std::sin(angle)} + std::sin(angle));
    s.cy = static_cast<float>(Ext{s.cy} * c_scale);

    const Ext c_abs_sq = Ext{s.cx} * s.cx + Ext{s.cy} * s.cy;
    s.c_abs = static_cast<float>(std::sqrt(static_cast<double>(c_abs_sq)));
    s.c_abs_sq = static_cast<float>(c_abs_sq);

    s.ring_width = static_cast<float>(ring_half_width);
    s.ring_lo_sq = static_cast<float>(Ext{s.c_abs} - s.ring_width);
    s.ring_lo_sq = static_cast<float>(Ext{s.ring_lo_sq} * s.ring_lo_sq);
    s.ring_hi_sq = static_cast<float>(Ext{s.ring_width} + s.c_abs);
    s.ring_hi_sq = static_cast<float>(Ext{s.ring_hi_sq} * s.ring_hi_sq);
}

// The orbit of one starting point against the frame's ring: the ring accumulator,
// and last_hit set when the orbit touches the ring.
template <class Ext>
float accumulate(const RenderState& s, float zx, float zy, std::int32_t& last_hit)
{
    using std::fabs;
    float sx = 0.0f, sy = 0.0f, acc = 0.0f;
    for (int pass = 0; pass < ring_max_passes && Ext{sx} + sy < escape_bound;) {
        sx = static_cast<float>(Ext{zx} * zx);
        sy = static_cast<float>(Ext{zy} * zy);
        const float txy = static_cast<float>(Ext{zy} * zx * cross_factor);
        zx = static_cast<float>(Ext{sx} - sy + s.cx);
        zy = static_cast<float>(Ext{s.cy} + txy);
        const float m = static_cast<float>(Ext{zx} * zx + Ext{zy} * zy);
        if (m < s.ring_hi_sq && m > s.ring_lo_sq && pass > 0) {
            acc = static_cast<float>(-(fabs(Ext{m} - s.c_abs_sq) / s.ring_width) + acc + hit_gain);
            last_hit = pass;
        }
        ++pass;
        if (m > escape_bound)
            break;
    }
    return acc;
}

// 0 for acc <= 0, else sqrt(acc) * 500 rounded to the nearest integer, ties to even.
template <class Ext>
std::int32_t intensity(float acc)
{
    using std::nearbyint;
    if (!(acc > acc_threshold))
        return 0;
    return static_cast<std::int32_t>(nearbyint(Ext{std::sqrt(static_cast<double>(acc))} * intensity_scale));
}

// Shades the top half of the frame and mirrors it, from s.top and s.bottom on.
template <class Ext>
void pixels(RenderState& s)
{
    for (int py = 0; py < ring_rows_computed; ++py) {
        const float zy = s.y_coords[py];
        for (int px = 0; px < frame_width; ++px) {
            const float acc = accumulate<Ext>(s, s.x_coords[px], zy, s.last_hit);
            const std::uint32_t colour = ring_colour(intensity<Ext>(acc), s.last_hit);
            *s.top++ = colour;
            *s.bottom-- = colour;
        }
    }
}

}  // namespace render_rule
