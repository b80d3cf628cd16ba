#include "journal.h"

#include "core.h"

#include <cstdio>
#include <map>

namespace platform {
namespace {

struct Failure {
    int first, last;
    std::int64_t result;
};

struct JournalState {
    bool on = false;
    std::vector<JournalEntry> entries;
    std::map<std::string, int> calls;
    std::map<std::string, std::vector<Failure>> failures;
    std::map<const void*, std::string> objects;
};

JournalState& journal_state()
{
    static JournalState instance;
    return instance;
}

}  // namespace

bool journaling() { return journal_state().on; }
void set_journaling(bool on) { journal_state().on = on; }
std::vector<JournalEntry>& journal() { return journal_state().entries; }
void clear_journal() { journal_state().entries.clear(); }

void add_failure(const std::string& name, int nth, std::int64_t result, int times)
{
    journal_state().failures[name].push_back({nth, nth + times - 1, result});
}

void clear_failures()
{
    journal_state().failures.clear();
    journal_state().calls.clear();
}

void Call::begin(const char* name, std::string args)
{
    JournalState& journal = journal_state();
    const int number = ++journal.calls[name];
    for (const Failure& failure : journal.failures[name])
        if (number >= failure.first && number <= failure.last)
            forced_ = failure.result;
    index_ = static_cast<long>(journal.entries.size());
    journal.entries.push_back({name, std::move(args), ""});
}

void Call::record(const std::string& text)
{
    // A reset from inside the call (a test's window procedure) empties the journal.
    if (static_cast<std::size_t>(index_) < journal_state().entries.size())
        journal_state().entries[index_].result = text;
}

std::string hex(std::uint64_t value)
{
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(value));
    return buffer;
}

std::string text(const char* string) { return string ? '"' + std::string(string) + '"' : "NULL"; }
std::string pointer(const void* value) { return value ? "ptr" : "NULL"; }

std::string resource_text(const char* name)
{
    return name && IS_INTRESOURCE(name) ? '#' + std::to_string(reinterpret_cast<std::uintptr_t>(name)) : text(name);
}

std::string rect_text(const RECT* rect)
{
    if (!rect)
        return "NULL";
    return '{' + std::to_string(rect->left) + ',' + std::to_string(rect->top) + ',' + std::to_string(rect->right) +
           ',' + std::to_string(rect->bottom) + '}';
}

std::string message_name(UINT message)
{
    static const std::map<UINT, const char*> names = {
        {WM_NULL, "WM_NULL"},           {WM_DESTROY, "WM_DESTROY"},       {WM_PAINT, "WM_PAINT"},
        {WM_CLOSE, "WM_CLOSE"},         {WM_ACTIVATEAPP, "WM_ACTIVATEAPP"}, {WM_SETCURSOR, "WM_SETCURSOR"},
        {WM_KEYDOWN, "WM_KEYDOWN"},     {WM_KEYUP, "WM_KEYUP"},           {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"},
        {WM_SYSKEYUP, "WM_SYSKEYUP"},   {WM_SYSCOMMAND, "WM_SYSCOMMAND"}, {WM_QUIT, "WM_QUIT"},
    };
    const auto found = names.find(message);
    return found != names.end() ? found->second : hex(message);
}

std::string message_text(const MSG& message)
{
    return '{' + window_name(message.hwnd) + ", " + message_name(message.message) + ", " + hex(message.wParam) +
           ", " + hex(static_cast<std::uint64_t>(message.lParam)) + '}';
}

std::string hresult_name(HRESULT value)
{
    static const std::map<HRESULT, const char*> names = {
        {DD_OK, "DD_OK"},
        {DDERR_GENERIC, "DDERR_GENERIC"},
        {DDERR_INVALIDPARAMS, "DDERR_INVALIDPARAMS"},
        {DDERR_OUTOFMEMORY, "DDERR_OUTOFMEMORY"},
        {DDERR_UNSUPPORTED, "DDERR_UNSUPPORTED"},
        {DDERR_INVALIDCAPS, "DDERR_INVALIDCAPS"},
        {DDERR_INVALIDMODE, "DDERR_INVALIDMODE"},
        {DDERR_INVALIDOBJECT, "DDERR_INVALIDOBJECT"},
        {DDERR_INVALIDPIXELFORMAT, "DDERR_INVALIDPIXELFORMAT"},
        {DDERR_INVALIDRECT, "DDERR_INVALIDRECT"},
        {DDERR_NOCLIPLIST, "DDERR_NOCLIPLIST"},
        {DDERR_NOCOOPERATIVELEVELSET, "DDERR_NOCOOPERATIVELEVELSET"},
        {DDERR_NOEXCLUSIVEMODE, "DDERR_NOEXCLUSIVEMODE"},
        {DDERR_NOTFOUND, "DDERR_NOTFOUND"},
        {DDERR_OUTOFVIDEOMEMORY, "DDERR_OUTOFVIDEOMEMORY"},
        {DDERR_SURFACEBUSY, "DDERR_SURFACEBUSY"},
        {DDERR_SURFACELOST, "DDERR_SURFACELOST"},
        {DDERR_INVALIDDIRECTDRAWGUID, "DDERR_INVALIDDIRECTDRAWGUID"},
        {DDERR_NODIRECTDRAWHW, "DDERR_NODIRECTDRAWHW"},
        {DDERR_PRIMARYSURFACEALREADYEXISTS, "DDERR_PRIMARYSURFACEALREADYEXISTS"},
        {DDERR_EXCLUSIVEMODEALREADYSET, "DDERR_EXCLUSIVEMODEALREADYSET"},
        {DDERR_NOTFLIPPABLE, "DDERR_NOTFLIPPABLE"},
        {DDERR_NOTLOCKED, "DDERR_NOTLOCKED"},
        {DDERR_WRONGMODE, "DDERR_WRONGMODE"},
        {DDERR_UNSUPPORTEDMODE, "DDERR_UNSUPPORTEDMODE"},
    };
    const auto found = names.find(value);
    return found != names.end() ? found->second : hex(static_cast<std::uint32_t>(value));
}

std::string window_name(HWND window)
{
    if (!window)
        return "NULL";
    const int id = window_id(window);
    return id ? "hwnd#" + std::to_string(id) : "hwnd?" + hex(reinterpret_cast<std::uintptr_t>(window));
}

std::string module_name(HMODULE module)
{
    if (!module)
        return "NULL";
    return module == ddraw_module() ? "ddraw.dll" : "module?" + hex(reinterpret_cast<std::uintptr_t>(module));
}

std::string cursor_name(HCURSOR cursor)
{
    return cursor ? "cursor#" + std::to_string(cursor_resource(cursor)) : "NULL";
}

std::string handle_name(HWND window) { return window_name(window); }
std::string handle_name(HMODULE module) { return module_name(module); }
std::string handle_name(HCURSOR cursor) { return cursor_name(cursor); }
std::string handle_name(FARPROC procedure) { return procedure ? "DirectDrawCreate" : "NULL"; }

void name_object(const void* object, std::string name) { journal_state().objects[object] = std::move(name); }
void forget_object(const void* object) { journal_state().objects.erase(object); }

std::string object_name(const void* object)
{
    if (!object)
        return "NULL";
    const auto found = journal_state().objects.find(object);
    return found != journal_state().objects.end() ? found->second
                                                  : "object?" + hex(reinterpret_cast<std::uintptr_t>(object));
}

}  // namespace platform
