// The lane paths' frame: the constants the kernel reads, the colour table, and
// the redo of every pixel the lanes cannot vouch for. Built for every processor.
#include "demo/lane_path.h"

#include "demo/float_bits.h"
#include "demo/render_rule.h"

namespace {

// The midpoint of b and the float beside it towards `side` (midpoints of floats are
// doubles).
double midpoint(float b, float side) { return (double{std::nextafter(b, side)} + b) / 2; }

// x rounded to a float towards `side`: with -INFINITY, the float at or below x.
float float_to(double x, float side)
{
    const float f = static_cast<float>(x);
    return (side < 0 ? f > x : f < x) ? std::nextafter(f, side) : f;
}

// The midpoint of b and its neighbour towards `side`, or the next double towards b
// where its tie goes to the neighbour (fact 9).
double rounding_bound(float b, float side)
{
    const double mid = midpoint(b, side);
    const bool neighbour_even = (bits_as<std::uint32_t>(std::nextafter(b, side)) & 1u) == 0;
    return neighbour_even ? std::nextafter(mid, double{b}) : mid;
}

// [last hit][intensity], filled on the first frame.
std::uint32_t colour_table[colour_hits][colour_intensities];
bool colour_table_filled;

}  // namespace

float tiny_square_limit_for(float cx) { return std::fabs(cx) >= 0x1p-20f ? 0x1p-26f : INFINITY; }

double least_rounding_to(float b) { return rounding_bound(b, -INFINITY); }
double greatest_rounding_to(float b) { return rounding_bound(b, INFINITY); }

float near_ring_from(float lo_sq) { return float_to(midpoint(lo_sq, INFINITY) * (1 - 0x1p-21) - 0x1p-140, -INFINITY); }
float near_ring_to(float hi_sq) { return float_to(midpoint(hi_sq, -INFINITY) * (1 + 0x1p-21) + 0x1p-140, INFINITY); }

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
