// The lane paths' frame: the constants the kernel reads, the colour table, and
// the redo of every pixel the lanes cannot vouch for. Built for every processor.
#include "demo/lane_path.h"

#include "demo/float_bits.h"
#include "demo/render_rule.h"

namespace {

bool even_float(float f) { return (bits_as<std::uint32_t>(f) & 1u) == 0; }

// The midpoints of b and the floats beside it (midpoints of floats are doubles).
double midpoint_below(float b) { return (double{std::nextafter(b, -INFINITY)} + b) / 2; }
double midpoint_above(float b) { return (double{b} + std::nextafter(b, INFINITY)) / 2; }

// The float at or below x, and at or above it.
float float_below(double x)
{
    const float f = static_cast<float>(x);
    return f > x ? std::nextafter(f, -INFINITY) : f;
}

float float_above(double x)
{
    const float f = static_cast<float>(x);
    return f < x ? std::nextafter(f, INFINITY) : f;
}

// [last hit][intensity], filled on the first frame.
std::uint32_t colour_table[colour_hits][colour_intensities];
bool colour_table_filled;

}  // namespace

float tiny_square_limit_for(float cx) { return std::fabs(cx) >= 0x1p-20f ? 0x1p-26f : INFINITY; }

// The midpoint beside b, or the next double towards b where its tie goes away from b
// (fact 9).
double least_rounding_to(float b)
{
    const double mid = midpoint_below(b);
    return even_float(std::nextafter(b, -INFINITY)) ? std::nextafter(mid, INFINITY) : mid;
}

double greatest_rounding_to(float b)
{
    const double mid = midpoint_above(b);
    return even_float(std::nextafter(b, INFINITY)) ? std::nextafter(mid, -INFINITY) : mid;
}

float near_ring_from(float ring_lo_sq) { return float_below(midpoint_above(ring_lo_sq) * (1 - 0x1p-21) - 0x1p-140); }
float near_ring_to(float ring_hi_sq) { return float_above(midpoint_below(ring_hi_sq) * (1 + 0x1p-21) + 0x1p-140); }

int render_pixels_lanes(const LanePath& lanes)
{
    if (!colour_table_filled) {
        for (int hit = 0; hit < colour_hits; ++hit)
            for (int n = 0; n < colour_intensities; ++n)
                colour_table[hit][n] = ring_colour(n, hit);
        colour_table_filled = true;
    }
    RenderState& s = render_state;
    const LaneFrame fr{.cx = s.cx,
                       .cy = s.cy,
                       .c_abs_sq = s.c_abs_sq,
                       .least_ring_hi = least_rounding_to(s.ring_hi_sq),
                       .greatest_ring_lo = greatest_rounding_to(s.ring_lo_sq),
                       .near_from = near_ring_from(s.ring_lo_sq),
                       .near_to = near_ring_to(s.ring_hi_sq),
                       .inverse_width = 1.0 / s.ring_width,
                       .tiny_square_limit = tiny_square_limit_for(s.cx)};
    LaneRow row;
    int redone = 0;
    std::int32_t carried_hit = s.last_hit;
    for (int py = 0; py < ring_rows_computed; ++py) {
        const float zy = s.y_coords[py];
        lanes.shade_row(s.x_coords, zy, fr, row);
        for (int i = 0; i < row.doubt_count; ++i) {
            const int px = row.doubtful[i];
            std::int32_t last_hit = 0;
            row.intensity[px] = ring_intensity(ring_accumulate(s.x_coords[px], zy, last_hit));
            row.last_hit[px] = last_hit;
        }
        redone += row.doubt_count;
        // The reference leaves last_hit at the last hit of the last pixel that
        // had one; a lit pixel's colour uses its own last hit, and an unlit one
        // is black (intensity 0) whatever the hit.
        carried_hit = lanes.colour_row(row, &colour_table[0][0], s.top, s.bottom, carried_hit);
        s.top += frame_width;
        s.bottom -= frame_width;
    }
    s.last_hit = carried_hit;
    return redone;
}
