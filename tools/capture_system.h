// What rings_capture asks of the system beside the renderer, on Windows, POSIX and
// node: raw bytes on standard output, terminals, and the time --bench measures.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#else
#include <time.h>
#include <unistd.h>
#endif
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

// Standard output carries bytes, not text with line endings translated.
inline void capture_binary_stdout()
{
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

// Whether the C runtime's file descriptor fd (1 standard output, 2 standard error)
// is a terminal, a console on Windows.
inline bool capture_is_terminal(int fd)
{
#if defined(_WIN32)
    return _isatty(fd) != 0;
#elif defined(__EMSCRIPTEN__)
    // Under node the C library takes every standard stream for a terminal; node knows.
    return EM_ASM_INT({ return typeof process === 'object' && require('tty').isatty($0) ? 1 : 0; }, fd) != 0;
#else
    return isatty(fd) != 0;
#endif
}

// Processor time this thread has used, in seconds: a timing that other programs
// on the machine do not lengthen.
inline double capture_thread_seconds()
{
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user))
        return 0;
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;  // 100 ns units
#else
    timespec t{};
#ifdef __EMSCRIPTEN__
    clock_gettime(CLOCK_MONOTONIC, &t);  // WebAssembly has no processor-time clock
#else
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
#endif
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
#endif
}
