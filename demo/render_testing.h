// The renderer's entry points for tests alone: a frame's pixels with a given path,
// the path chosen, and the lane paths' arithmetic, each operation as the orbit loop
// evaluates it, with its verdict on whether the float it stores can be trusted.
#pragma once

#include "demo/render.h"

// The path render_frame uses.
RenderPath render_selected_path();

// The second half of render_frame: shades the top half with `path` (the reference
// path when it is not available) and mirrors it.
void render_pixels(RenderPath path);

enum class LaneProbe {
    difference_sum,  // a - b + c, with a, b >= 0 (zx from sx, sy and cx)
    exact_sum,       // a + b (zy from cy and txy)
    square_sum,      // a * a + b * b (m from zx and zy)
    below_bound,     // 1 when fl24(b + c) < a, as the lanes compare m with a ring bound, else 0
    above_bound,     // 1 when fl24(b + c) > a, else 0
    goes_on,         // 1 when an orbit at z = (a, b) takes another pass, else 0
    near_ring_from,  // 1 when the lanes look closely at m for z = (a, b) against a ring's low bound c
    near_ring_to,    // the same against a ring's high bound c
};

// The lanes of one single-precision vector of `path` (a lane path), 0 for a
// path without lanes.
int render_lane_width(RenderPath path);

// Evaluates `probe` on the operands in lane `lane` of `path`'s vectors (plain
// operands fill the others) and stores the float that lane produced in
// `result`. True when the lanes vouch for it, false when they would hand the
// pixel to the reference path (or `lane` is not a lane of `path`).
bool render_lane_probe(RenderPath path, LaneProbe probe, float a, float b, float c, float& result, int lane = 0);
