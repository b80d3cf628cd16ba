// Flashes that can trigger seizures in people with photosensitive epilepsy, by the
// general flash and red flash thresholds of WCAG 2.2 (those of ITU-R BT.1702 too):
// more than three flashes in any one second, over a quarter of any 10 degree
// visual field, fails. The pictures are what a 60 Hz screen shows of the demo full
// screen: one frame per refresh when the host paces it, every 60th frame drawn
// when the demo runs at 3,600 frames a second.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <span>
#include <vector>

#include "demo/render.h"
#include "tests/render_fixture.h"

namespace {

constexpr int shown_per_second = 60;  // a 60 Hz screen

// The 10 degree visual field at a typical viewing distance: a third of the screen
// each way (WCAG's estimate is 341 x 256 pixels of a 1024 x 768 screen). The
// fields tried lie field_step pixels apart over the whole screen.
constexpr int field_width = (frame_width + 1) / 3;
constexpr int field_height = frame_height / 3;
constexpr int field_step = 4;
constexpr int fields_across = (frame_width - field_width) / field_step + 1;
constexpr int fields_down = (frame_height - field_height) / field_step + 1;

// An sRGB channel's linear light.
double linear(int channel)
{
    static const auto table = [] {
        std::array<double, 256> linear{};
        for (int i = 0; i < 256; ++i) {
            const double value = i / 255.0;
            linear[i] = value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
        }
        return linear;
    }();
    return table[channel];
}

struct Colour {
    double luminance;  // relative luminance, 0 to 1
    double u, v;       // CIE 1976 UCS chromaticity; black has the white point's
    bool saturated_red;
};

Colour colour_of(std::uint32_t pixel)
{
    const int r8 = pixel >> 16 & 0xFF, g8 = pixel >> 8 & 0xFF, b8 = pixel & 0xFF;
    const double r = linear(r8), g = linear(g8), b = linear(b8);
    const double x = 0.4124 * r + 0.3576 * g + 0.1805 * b;
    const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
    const double z = 0.0193 * r + 0.1192 * g + 0.9505 * b;
    const double d = x + 15 * y + 3 * z;
    Colour colour{y, 0.1978, 0.4683, false};
    if (d > 0) {
        colour.u = 4 * x / d;
        colour.v = 9 * y / d;
    }
    colour.saturated_red = r8 + g8 + b8 > 0 && r8 >= 0.8 * (r8 + g8 + b8);
    return colour;
}

// A pixel's change between two shown pictures, +1 or -1 in each of the two senses,
// 0 when it is no flash's half.
struct Change {
    int general;  // a change of luminance by 0.1 or more, the darker state below 0.8
    int red;      // to or from a saturated red, the chromaticities more than 0.2 apart
};

Change change_of(const Colour& from, const Colour& to)
{
    Change change{0, 0};
    const double step = to.luminance - from.luminance;
    if (std::min(from.luminance, to.luminance) < 0.8 && std::fabs(step) >= 0.1)
        change.general = step > 0 ? 1 : -1;
    if ((from.saturated_red || to.saturated_red) && std::hypot(to.u - from.u, to.v - from.v) > 0.2)
        change.red = to.saturated_red && !from.saturated_red ? 1 : -1;
    return change;
}

// Sums over any rectangle of a per-pixel count, in four look-ups.
class AreaSums {
public:
    void build(const std::vector<int>& counts)
    {
        for (int y = 0; y < frame_height; ++y)
            for (int x = 0, row = 0; x < frame_width; ++x) {
                row += counts[y * frame_width + x];
                at(x + 1, y + 1) = at(x + 1, y) + row;
            }
    }
    int sum(int left, int top, int width, int height) const
    {
        return at(left + width, top + height) - at(left + width, top) - at(left, top + height) + at(left, top);
    }

private:
    int& at(int x, int y) { return sums[y * (frame_width + 1) + x]; }
    int at(int x, int y) const { return sums[y * (frame_width + 1) + x]; }
    std::vector<int> sums = std::vector<int>((frame_width + 1) * (frame_height + 1), 0);
};

// One kind of flash (general or red) over every field: a field makes a transition
// when the area changing one way outweighs the area changing the other way by more
// than a quarter of the field (opposite changes side by side are a pattern moving
// through it, not the field flashing); a flash is a pair of opposite transitions.
class FlashCount {
public:
    explicit FlashCount(int per_second) : second(per_second), fields(fields_across * fields_down) {}

    void add(const std::vector<int>& rising, const std::vector<int>& falling, int shown)
    {
        rises.build(rising);
        falls.build(falling);
        int most = 0;
        for (int row = 0; row < fields_down; ++row)
            for (int column = 0; column < fields_across; ++column) {
                const int left = column * field_step, top = row * field_step;
                const int net = rises.sum(left, top, field_width, field_height) -
                                falls.sum(left, top, field_width, field_height);
                Field& field = fields[row * fields_across + column];
                const int sense = 4 * std::abs(net) > field_width * field_height ? (net > 0 ? 1 : -1) : 0;
                // A change that goes on the same way is the same transition still.
                if (sense != 0 && sense != field.last) {
                    field.last = sense;
                    field.transitions.push_back(shown);
                }
                while (!field.transitions.empty() && field.transitions.front() <= shown - second)
                    field.transitions.pop_front();
                most = std::max(most, static_cast<int>(field.transitions.size()));
            }
        worst_transitions = std::max(worst_transitions, most);
        // More than three flashes (six transitions) in the second up to now.
        failing_pictures += most > 6;
    }

    double worst_flashes() const { return worst_transitions / 2.0; }
    int failing() const { return failing_pictures; }

private:
    struct Field {
        int last = 0;
        std::deque<int> transitions;  // when, in shown pictures, within the last second
    };
    int second;  // pictures shown in one second
    std::vector<Field> fields;
    AreaSums rises, falls;
    int worst_transitions = 0, failing_pictures = 0;
};

struct Verdict {
    double general_flashes, red_flashes;  // the most in any one second, in any field
    int general_failing, red_failing;     // pictures ending a second that fails
    bool passes() const { return general_flashes <= 3 && red_flashes <= 3; }
};

// The verdict on `count` pictures shown one after another at 60 a second, each
// drawn by picture(i, pixels).
Verdict check_flashes(int count, const std::function<void(int, std::span<std::uint32_t>)>& picture)
{
    std::vector<std::uint32_t> pixels(frame_pixel_count), before(frame_pixel_count);
    std::vector<int> rising(frame_pixel_count), falling(frame_pixel_count);
    std::vector<int> to_red(frame_pixel_count), from_red(frame_pixel_count);
    FlashCount general(shown_per_second), red(shown_per_second);
    for (int shown = 0; shown < count; ++shown) {
        picture(shown, pixels);
        if (shown > 0) {
            for (int i = 0; i < frame_pixel_count; ++i) {
                const Change change = pixels[i] == before[i] ? Change{0, 0}
                                                             : change_of(colour_of(before[i]), colour_of(pixels[i]));
                rising[i] = change.general > 0;
                falling[i] = change.general < 0;
                to_red[i] = change.red > 0;
                from_red[i] = change.red < 0;
            }
            general.add(rising, falling, shown);
            red.add(to_red, from_red, shown);
        }
        std::swap(before, pixels);
    }
    return {general.worst_flashes(), red.worst_flashes(), general.failing(), red.failing()};
}

void report(const char* what, const Verdict& verdict, int count)
{
    std::printf("%s: at most %.1f general and %.1f red flashes in a second; %d and %d of %d pictures end a "
                "failing second\n",
                what, verdict.general_flashes, verdict.red_flashes, verdict.general_failing, verdict.red_failing,
                count);
}

// Pictures made to flash, or not, in one way each: the check must tell them apart.
struct Made {
    const char* name;
    std::function<std::uint32_t(int shown, int x, int y)> pixel;
    bool general_fails, red_fails;
};

constexpr std::uint32_t white = 0xFFFFFF, black = 0, red = 0xFF0000;
// A grey as bright as saturated red: between the two only the colour changes.
constexpr std::uint32_t grey_as_red = 0x7F7F7F;

bool left_half(int x, int) { return x < frame_width / 2; }
bool on_at(int shown, int period) { return shown / period % 2 == 0; }

const Made made[] = {
    {"half the screen black and white at 5 Hz",
     [](int shown, int x, int y) { return left_half(x, y) && on_at(shown, 6) ? white : black; }, true, false},
    {"half the screen black and white at 1.5 Hz",
     [](int shown, int x, int y) { return left_half(x, y) && on_at(shown, 20) ? white : black; }, false, false},
    {"a patch of 20 x 20 pixels black and white at 10 Hz",
     [](int shown, int x, int y) { return x < 20 && y < 20 && on_at(shown, 3) ? white : black; }, false, false},
    {"the whole screen between light grey and white at 10 Hz",
     [](int shown, int, int) { return on_at(shown, 3) ? white : 0xE8E8E8u; }, false, false},
    {"half the screen between red and an equally bright grey at 5 Hz",
     [](int shown, int x, int y) { return left_half(x, y) && on_at(shown, 6) ? red : grey_as_red; }, false, true},
    {"black and white stripes moving a stripe a picture",
     [](int shown, int x, int) { return (x / 8 + shown) % 2 ? white : black; }, false, false},
};

TEST(FlashCheck, TellsFlashingPicturesFromSteadyOnes)
{
    for (const Made& case_ : made) {
        const Verdict verdict = check_flashes(2 * shown_per_second, [&](int shown, std::span<std::uint32_t> pixels) {
            for (int y = 0; y < frame_height; ++y)
                for (int x = 0; x < frame_width; ++x)
                    pixels[y * frame_width + x] = case_.pixel(shown, x, y);
        });
        EXPECT_EQ(verdict.general_flashes > 3, case_.general_fails) << case_.name << ": " << verdict.general_flashes;
        EXPECT_EQ(verdict.red_flashes > 3, case_.red_fails) << case_.name << ": " << verdict.red_flashes;
    }
}

class DemoFlashes : public RenderFixture {
protected:
    // c's whole cycle and a second more, every `drawn_per_shown`th frame drawn.
    static Verdict shown_every(int drawn_per_shown)
    {
        const int count = 3600 / drawn_per_shown + shown_per_second;
        const Verdict verdict = check_flashes(count, [&](int shown, std::span<std::uint32_t> pixels) {
            render_seek((shown + 1) * drawn_per_shown % 3600);
            render_frame();
            std::copy(frame_buffer, frame_buffer + frame_pixel_count, pixels.begin());
        });
        report(drawn_per_shown == 1 ? "one frame per refresh" : "60 frames per refresh", verdict, count);
        return verdict;
    }
};

TEST_F(DemoFlashes, OneFrameARefreshPasses)
{
    const Verdict verdict = shown_every(1);
    EXPECT_TRUE(verdict.passes()) << verdict.general_flashes << " general, " << verdict.red_flashes << " red";
}

TEST_F(DemoFlashes, SixtyFramesARefreshFails)
{
    const Verdict verdict = shown_every(60);
    EXPECT_FALSE(verdict.passes());
    EXPECT_GT(verdict.general_flashes, 3);
}

}  // namespace
