// The runtime library's console keyboard: only the one-code push-back, since
// the stand-in has no console.
#include "core.h"
#include "journal.h"

using namespace platform;

int _kbhit(void)
{
    return journaled<Number<int>>("_kbhit", no_args, [] { return state().pushed_key >= 0 ? 1 : 0; });
}

int _getch(void)
{
    return journaled<Number<int>>("_getch", no_args, [] {
        State& s = state();
        const int code = s.pushed_key >= 0 ? s.pushed_key : EOF;
        s.pushed_key = -1;
        return code;
    });
}

int _ungetch(int c)
{
    return journaled<Number<int>>("_ungetch", [&] { return std::to_string(c); }, [&] {
        State& s = state();
        if (c == EOF || s.pushed_key >= 0)
            return EOF;
        s.pushed_key = c & 0xFF;
        return c;
    });
}
