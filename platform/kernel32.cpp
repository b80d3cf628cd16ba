// KERNEL32: the one loadable module (DirectDraw, built in), the clock and the
// end of the process.
#include "core.h"
#include "journal.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

using namespace platform;

namespace {

bool names_ddraw(const char* name)
{
    std::string lower;
    for (const char* c = name; *c; ++c)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
    // Windows adds ".dll" to a name without an extension.
    return lower == "ddraw.dll" || lower == "ddraw";
}

}  // namespace

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName)
{
    Call call("LoadLibraryA", [&] { return text(lpLibFileName); });
    if (call.forced() || !lpLibFileName || !names_ddraw(lpLibFileName))
        return call.handle(HMODULE{});
    ++state().module_references;
    return call.handle(ddraw_module());
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    Call call("GetProcAddress", [&] {
        return module_name(hModule) + ", " +
               (lpProcName && IS_INTRESOURCE(lpProcName)
                    ? '#' + std::to_string(reinterpret_cast<std::uintptr_t>(lpProcName))
                    : text(lpProcName));
    });
    if (call.forced() || hModule != ddraw_module() || state().module_references == 0 || !lpProcName ||
        IS_INTRESOURCE(lpProcName) || std::strcmp(lpProcName, "DirectDrawCreate") != 0)
        return call.handle(FARPROC{});
    // Through void (*)(), the type that converts to any function pointer type.
    return call.handle(reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&DirectDrawCreate)));
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule)
{
    Call call("FreeLibrary", [&] { return module_name(hLibModule); });
    if (call.forced())
        return call.forced_boolean();
    State& s = state();
    if (hLibModule != ddraw_module() || s.module_references == 0)
        return call.boolean(FALSE);
    --s.module_references;
    return call.boolean(TRUE);
}

DWORD WINAPI GetTickCount(VOID)
{
    Call call("GetTickCount", [] { return std::string(); });
    if (call.forced())
        return call.forced_number<DWORD>();
    return static_cast<DWORD>(call.number(host().ticks()));
}

VOID WINAPI Sleep(DWORD dwMilliseconds)
{
    Call call("Sleep", [&] { return std::to_string(dwMilliseconds); });
    if (!call.forced())
        host().sleep(dwMilliseconds);
    call.done();
}

VOID WINAPI ExitProcess(UINT uExitCode)
{
    Call call("ExitProcess", [&] { return std::to_string(uExitCode); });
    call.done();
    std::exit(static_cast<int>(uExitCode));
}
