// The runtime library's console keyboard: only the one-code push-back, since
// the stand-in has no console.
#include "core.h"
#include "journal.h"

using namespace platform;

int _kbhit(void)
{
    Call call("_kbhit", [] { return std::string(); });
    if (call.forced())
        return call.forced_number<int>();
    return static_cast<int>(call.number(state().pushed_key >= 0 ? 1 : 0));
}

int _getch(void)
{
    Call call("_getch", [] { return std::string(); });
    if (call.forced())
        return call.forced_number<int>();
    State& s = state();
    const int code = s.pushed_key >= 0 ? s.pushed_key : EOF;
    s.pushed_key = -1;
    return static_cast<int>(call.number(code));
}

int _ungetch(int c)
{
    Call call("_ungetch", [&] { return std::to_string(c); });
    if (call.forced())
        return call.forced_number<int>();
    State& s = state();
    if (c == EOF || s.pushed_key >= 0)
        return static_cast<int>(call.number(EOF));
    s.pushed_key = c & 0xFF;
    return static_cast<int>(call.number(c));
}
