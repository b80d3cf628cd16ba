// soak: runs the demo's frames through the windowed display on the fake host for a
// long time, with the clock crossing its wrap, lost surfaces, focus changes, keys and
// refused locks along the way, and checks that memory stays flat.
//   soak [FRAMES]   (default 100000)
// Prints the resident size as it goes; exits 1 when it grew by more than 1 MiB after
// the first tenth of the run, or when anything is left alive at the end.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "demo/demo.h"
#include "demo/render.h"
#include "display/display.h"
#include "display/display_state.h"
#include "platform/fake/host.h"

namespace {

long resident_kib()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

}  // namespace

int main(int argc, char** argv)
{
    const long frames = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 100000;
    fake_reset();
    fake_set_ticks(0xFFFFFFFFu - 20000);  // the tick count wraps 20 s in
    if (!display_open(demo_open_title, frame_width, frame_height))
        return 1;
    demo_start();
    render_seek(2147483600);  // and the frame counter wraps early on, too

    long settled = 0, peak = 0;
    for (long frame = 1; frame <= frames; ++frame) {
        render_frame();
        if (render_state.frame_counter == 0)
            for (const std::uint32_t pixel : frame_buffer)
                if (pixel != 0) {
                    std::printf("frame 0 is not black\n");
                    return 1;
                }
        demo_count_frame();
        display_update(frame_buffer);
        const bool key_pressed_last_frame = frame > 1 && (frame - 1) % 7 == 0;
        if (key_poll().empty() == key_pressed_last_frame) {
            std::printf("frame %ld: a key lost or one that nobody pressed\n", frame);
            return 1;
        }
        fake_journal_clear();  // it would grow with every call
        fake_set_ticks(fake_ticks() + 16);
        if (frame % 7 == 0)
            fake_key('A' + frame % 26);
        if (frame % 97 == 0)
            fake_lose_surfaces();
        if (frame % 211 == 0)
            fake_fail("IDirectDrawSurface::Lock", 1, DDERR_SURFACEBUSY, 3);
        if (frame % 500 == 0)
            fake_expose();
        const long rss = resident_kib();
        peak = rss > peak ? rss : peak;
        if (frame == frames / 10)
            settled = rss;
        if (frame % (frames / 10 > 0 ? frames / 10 : 1) == 0)
            std::printf("frame %ld: resident %ld KiB, title \"%s\"\n", frame, rss, fake_window().title.c_str());
    }
    display_close();
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld frames; resident after a tenth %ld KiB, peak %ld KiB (max RSS %ld KiB)\n", frames, settled, peak,
                usage.ru_maxrss);
    if (!(fake_live() == FakeCounts{})) {
        std::printf("objects left alive\n");
        return 1;
    }
    return peak - settled > 1024 ? 1 : 0;
}
