// The pixel paths: the only place that knows which ones this build has, which
// one this processor runs, and which one draws the frames.
#include "demo/render.h"
#include "demo/render_testing.h"

#include <array>
#include <iterator>
#include <optional>

#include "demo/lane_path.h"
#include "demo/render_rule.h"
#include "display/cpu_features.h"

// The lane paths, each in its own file, built for its own instruction set; each is
// defined, and named below, only where its processor family is the build's.
extern const LanePath sse2_lanes, avx2_lanes, avx512_lanes, neon_lanes, simd128_lanes;

namespace {

bool always() { return true; }

struct PathEntry {
    RenderPath path;
    bool (*available)();
    const LanePath* lanes;  // null for the scalar paths
};

// In the order of all_render_paths.
constexpr PathEntry build_paths[] = {
    {RenderPath::reference, always, nullptr},
#if VORLIX_RENDER_SOFTWARE
    {RenderPath::software, always, nullptr},
#endif
#if defined(__i386__) || defined(__x86_64__)
    {RenderPath::sse2, always, &sse2_lanes},  // the builds' own set on x86 (-msse2)
    {RenderPath::avx2, [] { return cpu_features().avx2; }, &avx2_lanes},
    {RenderPath::avx512, [] { return cpu_features().avx512; }, &avx512_lanes},
#endif
#if defined(__aarch64__)
    {RenderPath::neon, always, &neon_lanes},
#endif
#if defined(__wasm_simd128__)
    {RenderPath::simd128, always, &simd128_lanes},
#endif
};

constexpr auto path_list = [] {
    std::array<RenderPath, std::size(build_paths)> list{};
    for (std::size_t i = 0; i < list.size(); ++i)
        list[i] = build_paths[i].path;
    return list;
}();

constexpr const char* path_names[] = {"reference", "software", "sse2", "avx2", "avx512", "neon", "simd128"};

const PathEntry* find_path(RenderPath path)
{
    for (const PathEntry& entry : build_paths)
        if (entry.path == path)
            return &entry;
    return nullptr;
}

// The path's lanes when it has them and this processor runs them.
const LanePath* runnable_lanes(RenderPath path)
{
    const PathEntry* entry = find_path(path);
    return entry && entry->lanes && entry->available() ? entry->lanes : nullptr;
}

std::optional<RenderPath> chosen_path;
int fallback_count;

}  // namespace

std::span<const RenderPath> all_render_paths() { return path_list; }

const char* render_path_name(RenderPath path)
{
    const auto index = static_cast<std::size_t>(path);
    return index < std::size(path_names) ? path_names[index] : "?";
}

bool render_path_available(RenderPath path)
{
    const PathEntry* entry = find_path(path);
    return entry && entry->available();
}

RenderPath render_best_path()
{
    // The widest lane path comes last.
    for (auto entry = std::rbegin(build_paths); entry != std::rend(build_paths); ++entry)
        if (entry->lanes && entry->available())
            return entry->path;
    return RenderPath::reference;
}

bool render_select_path(RenderPath path)
{
    if (!render_path_available(path))
        return false;
    chosen_path = path;
    return true;
}

RenderPath render_selected_path()
{
    if (!chosen_path)
        render_select_path(render_best_path());
    return *chosen_path;
}

void render_pixels(RenderPath path)
{
    if (const LanePath* lanes = runnable_lanes(path)) {
        fallback_count = render_pixels_lanes(*lanes);
        return;
    }
#if VORLIX_RENDER_SOFTWARE
    if (path == RenderPath::software)
        render_pixels_software();
    else
#endif
        render_pixels_reference();
    fallback_count = 0;
}

void render_frame()
{
    render_advance();
    render_pixels(render_selected_path());
}

int render_fallback_count() { return fallback_count; }

int render_lane_width(RenderPath path)
{
    const LanePath* lanes = runnable_lanes(path);
    return lanes ? lanes->probe_width : 0;
}

bool render_lane_probe(RenderPath path, LaneProbe probe, float a, float b, float c, float& result, int lane)
{
    const LanePath* lanes = runnable_lanes(path);
    if (!lanes || lane < 0 || lane >= lanes->probe_width)
        return false;
    return lanes->probe(probe, a, b, c, lane, result);
}
