// The frame renderer: the Julia "rings" picture for one frame number at a time.
#pragma once

#include <cstdint>
#include <span>

constexpr int frame_width = 320;
constexpr int frame_height = 240;
constexpr int frame_pixel_count = frame_width * frame_height;

// 0x00RRGGBB pixels, top row first, each row directly after the one before.
using FrameBuffer = std::uint32_t[frame_pixel_count];
extern FrameBuffer frame_buffer;

// Every non-integer field is single precision on purpose: the rounding of each
// store is part of the picture.
struct RenderState {
    float x_min, x_max, y_min, y_max;
    float x_step, y_step;
    float x_coords[frame_width];
    float y_coords[frame_height];
    std::int32_t frame_counter;
    float angle;
    float cx, cy;
    float c_abs, c_abs_sq;
    float ring_width;
    float ring_lo_sq, ring_hi_sq;
    std::int32_t last_hit;  // carried from pixel to pixel and frame to frame
    std::uint32_t* top;
    std::uint32_t* bottom;
};
extern RenderState render_state;

constexpr int ring_max_passes = 20;
constexpr int ring_rows_computed = frame_height / 2;

// Once, before the first frame.
void render_setup();

// Advances the frame counter and draws that frame into frame_buffer with the
// selected path.
void render_frame();

// The next render_frame draws frame `frame` (0 to 2147483647): a frame's
// picture depends on its number alone.
void render_seek(std::int32_t frame);

// The first half of render_frame: the next frame's counter, c and ring.
void render_advance();

// The software arithmetic needs a 128-bit integer multiply, which 32-bit x86 lacks.
#if defined(__SIZEOF_INT128__)
#define VORLIX_RENDER_SOFTWARE 1
#else
#define VORLIX_RENDER_SOFTWARE 0
#endif

// Whether the reference path draws on the x87's long double. 64-bit Windows starts
// threads with the x87 at 53-bit precision and its runtime's _controlfp leaves that
// setting alone, so its build draws with the software arithmetic, which no state of
// the x87 can touch.
#if (defined(__i386__) || defined(__x86_64__)) && !defined(_WIN64)
#define VORLIX_RENDER_X87 1
#else
#define VORLIX_RENDER_X87 0
#endif

// Ways to shade the pixels of a frame. All give the same picture bit for bit: the
// lane paths run several orbits at once in double precision and hand any pixel
// whose rounding they cannot vouch for back to the reference path. The software
// path is the reference path with the x87 arithmetic done in software.
enum class RenderPath { reference, software, sse2, avx2, avx512, neon, simd128 };

// The paths this build has, runnable here or not: the reference first, then the
// lane paths from the narrowest to the widest.
std::span<const RenderPath> all_render_paths();

// "reference", "software", "sse2", "avx2", "avx512", "neon" or "simd128".
const char* render_path_name(RenderPath path);

// Whether this processor can run `path`; the reference path always can.
bool render_path_available(RenderPath path);

// The widest lane path this processor runs, else the reference path.
RenderPath render_best_path();

// The path render_frame uses (until then render_best_path()); false when unavailable.
bool render_select_path(RenderPath path);

// Pixels of the last frame that a lane path handed back to the reference path
// (0 after a frame drawn by the reference path).
int render_fallback_count();
