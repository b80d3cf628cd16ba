// The runtime library's console keyboard: only the one-code push-back, since
// the stand-in has no console. Apart from crt.cpp, which needs no host: programs
// that link no host (make_icon) call _controlfp.
#include "core.h"
#include "journal.h"

#include <utility>

using namespace platform;

int _kbhit(void)
{
    Call<int> call("_kbhit");
    return call.forced() ? call.forced_result() : call(state().pushed_key >= 0 ? 1 : 0);
}

int _getch(void)
{
    Call<int> call("_getch");
    if (call.forced()) return call.forced_result();
    const int code = std::exchange(state().pushed_key, -1);
    return call(code >= 0 ? code : EOF);
}

int _ungetch(int c)
{
    Call<int> call("_ungetch", c);
    if (call.forced()) return call.forced_result();
    State& s = state();
    if (c == EOF || s.pushed_key >= 0)
        return call(EOF);
    s.pushed_key = c & 0xFF;
    return call(c);
}
