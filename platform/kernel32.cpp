// KERNEL32: the one loadable module (DirectDraw, built in), the clock and the
// end of the process.
#include "core.h"
#include "journal.h"

#include <cstdlib>
#include <cstring>

using namespace platform;

HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName)
{
    Call<HMODULE> call("LoadLibraryA", lpLibFileName);
    if (call.forced()) return call.forced_result();
    // By the one name the display uses: no other case, no missing extension.
    if (!lpLibFileName || std::strcmp(lpLibFileName, "ddraw.dll") != 0)
        return call(nullptr);
    ++state().module_references;
    return call(ddraw_module());
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    Call<FARPROC> call("GetProcAddress", hModule, Resource{lpProcName});
    if (call.forced()) return call.forced_result();
    if (hModule != ddraw_module() || state().module_references == 0 || !lpProcName || IS_INTRESOURCE(lpProcName) ||
        std::strcmp(lpProcName, "DirectDrawCreate") != 0)
        return call(nullptr);
    // Through void (*)(), the type that converts to any function pointer type.
    return call(reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&DirectDrawCreate)));
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule)
{
    Call<BOOL> call("FreeLibrary", hLibModule);
    if (call.forced()) return call.forced_result();
    State& s = state();
    if (hLibModule != ddraw_module() || s.module_references == 0)
        return call(FALSE);
    --s.module_references;
    return call(TRUE);
}

DWORD WINAPI GetTickCount()
{
    Call<DWORD> call("GetTickCount");
    return call.forced() ? call.forced_result() : call(host().ticks());
}

void WINAPI Sleep(DWORD dwMilliseconds)
{
    if (!Call<>("Sleep", dwMilliseconds).forced())
        host().sleep(dwMilliseconds);
}

void WINAPI ExitProcess(UINT uExitCode)
{
    Call<>("ExitProcess", uExitCode);  // never forced: the process ends
    std::exit(static_cast<int>(uExitCode));
}
