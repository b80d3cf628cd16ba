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
    return journaled<Handle<HMODULE>>("LoadLibraryA", [&] { return text(lpLibFileName); }, [&] {
        if (!lpLibFileName || !names_ddraw(lpLibFileName))
            return HMODULE{};
        ++state().module_references;
        return ddraw_module();
    });
}

FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName)
{
    const auto args = [&] { return module_name(hModule) + ", " + resource_text(lpProcName); };
    return journaled<Handle<FARPROC>>("GetProcAddress", args, [&] {
        if (hModule != ddraw_module() || state().module_references == 0 || !lpProcName || IS_INTRESOURCE(lpProcName) ||
            std::strcmp(lpProcName, "DirectDrawCreate") != 0)
            return FARPROC{};
        // Through void (*)(), the type that converts to any function pointer type.
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&DirectDrawCreate));
    });
}

BOOL WINAPI FreeLibrary(HMODULE hLibModule)
{
    return journaled<Boolean>("FreeLibrary", [&] { return module_name(hLibModule); }, [&] {
        State& s = state();
        if (hLibModule != ddraw_module() || s.module_references == 0)
            return FALSE;
        --s.module_references;
        return TRUE;
    });
}

DWORD WINAPI GetTickCount(VOID)
{
    return journaled<Number<DWORD>>("GetTickCount", no_args, [] { return host().ticks(); });
}

VOID WINAPI Sleep(DWORD dwMilliseconds)
{
    journaled<Nothing>("Sleep", [&] { return std::to_string(dwMilliseconds); }, [&] { host().sleep(dwMilliseconds); });
}

VOID WINAPI ExitProcess(UINT uExitCode)
{
    journaled<Infallible<Nothing>>("ExitProcess", [&] { return std::to_string(uExitCode); }, [] {});
    std::exit(static_cast<int>(uExitCode));
}
