// The reference renderer: the rule of render_rule.h on the x87's 80-bit long double
// where there is one, and on Extended, the same rounding in software, elsewhere.
#include "render.h"

#include "render_rule.h"
#if VORLIX_RENDER_SOFTWARE
#include "extended.h"
#endif

FrameBuffer frame_buffer;
RenderState render_state;

using Wide = render_rule::reference_wide;

void render_setup() { render_rule::setup<Wide>(render_state); }

void render_seek(std::int32_t frame)
{
    // render_advance adds one before drawing, wrapping 2147483647 to 0.
    render_state.frame_counter =
        static_cast<std::int32_t>((static_cast<std::uint32_t>(frame) - 1u) & 0x7FFFFFFFu);
}

void render_advance()
{
    RenderState& s = render_state;
    s.top = frame_buffer;
    s.bottom = frame_buffer + frame_pixel_count - 1;
    s.frame_counter =
        static_cast<std::int32_t>((static_cast<std::uint32_t>(s.frame_counter) + 1u) & 0x7FFFFFFFu);
    render_rule::frame_parameters<Wide>(s);
}

float ring_accumulate(float zx, float zy, std::int32_t& last_hit)
{
    return render_rule::orbit<Wide>(render_rule::frame_ring(render_state), zx, zy, last_hit);
}

std::int32_t ring_intensity(float acc) { return render_rule::intensity<Wide>(acc); }

std::uint32_t ring_colour(std::int32_t n, std::int32_t last_hit) { return render_rule::colour(n, last_hit); }

void render_pixels_reference() { render_rule::pixels<Wide>(render_state); }

#if VORLIX_RENDER_SOFTWARE
void render_pixels_software() { render_rule::pixels<Extended>(render_state); }
#endif
