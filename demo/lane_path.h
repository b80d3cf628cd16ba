// What the lane paths share: the frame's constants and a row's results as the
// kernel (lane_kernel.h) reads and writes them, the entry points each
// instruction set's file (lanes_<set>.cpp) makes of the kernel, and the
// driver (lanes.cpp) that runs a frame through them.
//
// Each lanes_<set>.cpp compiles lane_kernel.h for its own instruction set, so
// this header holds only declarations, types and constants: an inline function
// here could be emitted by one of those files with instructions that another
// processor lacks, and the linker might keep that copy for everyone. For the
// same reason the headers the kernel needs are included here, before
// any of those files switches its instruction set.
#pragma once

#include <cmath>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "demo/float_bits.h"
#include "demo/render.h"
#include "demo/render_testing.h"

// The frame's constants, as the lanes read them. The lanes hold m as the double r
// it is rounded from and compare r with least_ring_hi and greatest_ring_lo (fact 9
// of docs/exactness.md, as the other facts cited by number).
struct LaneFrame {
    float cx, cy, c_abs_sq;
    double least_ring_hi, greatest_ring_lo;
    float near_from, near_to;  // where mf lies when m may reach the ring's outer midpoints (fact 11)
    double inverse_width;  // 1 / ring_width, rounded once
    float tiny_square_limit;  // see tiny_square_limit_for
};

// One row's orbits: intensity, pass of the last ring hit (0 for none: pass 0
// never counts) and, in reading order, the pixels the lanes doubt.
struct LaneRow {
    std::int32_t intensity[frame_width];
    std::int32_t last_hit[frame_width];
    std::int16_t doubtful[frame_width];
    int doubt_count;
};

// One instruction set's lane path: the kernel compiled for it.
struct LanePath {
    void (*shade_row)(const float* xs, float y, const LaneFrame& fr, LaneRow& row);
    // Colours of one row from the table, written at the row's place and reversed at
    // its mirror place; returns the pass of the row's last hit, or `carried` when it
    // has none.
    std::int32_t (*colour_row)(const LaneRow& row, const std::uint32_t* colours, std::uint32_t* top,
                               std::uint32_t* bottom_end, std::int32_t carried);
    bool (*probe)(LaneProbe probe, float a, float b, float c, int lane, float& result);
    int probe_width;  // lanes of a float vector
};

// Shades the top half of the frame with `lanes`, redoes the pixels they doubt on
// the reference path and mirrors it all, like render_pixels_reference; returns
// the number of pixels redone.
int render_pixels_lanes(const LanePath& lanes);

// The least square that lets zx skip its full test on a frame with this cx
// (fact 7); a cx this small leaves every pass to the full test.
float tiny_square_limit_for(float cx);

// fl24(r) < b exactly when r < least_rounding_to(b), fl24(r) > b exactly when
// r > greatest_rounding_to(b) (fact 9).
double least_rounding_to(float b);
double greatest_rounding_to(float b);

// Where mf must lie for m's double r to reach the ring's outer midpoints
// (fact 11).
float near_ring_from(float ring_lo_sq);
float near_ring_to(float ring_hi_sq);

// So that a lane takes a pass's number with a load.
inline constexpr double pass_numbers[ring_max_passes] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,
                                                         10, 11, 12, 13, 14, 15, 16, 17, 18, 19};

// A block logs which lanes were near the ring on each pass in a byte, a row of
// bytes for each group, which nonzero_bytes scans whole.
constexpr int near_bytes = 32;
static_assert(near_bytes >= ring_max_passes, "a group's passes fit its row of bytes");

// The lane paths take their colours from a table of ring_colour, filled once,
// by the pass of the last hit (0 to 19) and the intensity; every intensity from
// 767 up is white in every rotation, so the table stops there.
constexpr int colour_intensities = 768;
constexpr int colour_hits = ring_max_passes;
